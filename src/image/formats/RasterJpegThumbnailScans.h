// Leaving out the scans of a progressive JPEG stream that a small decode does not need.
//
// A progressive file sends a component's DC coefficients and its AC coefficients in separate
// scans. Decoding at 1/8 scale turns every 8 x 8 block of a component into one pixel computed
// from its DC coefficient alone (unless the decoder enlarges that component in the transform,
// as it does with subsampled chroma). The AC scans of such components can be dropped before
// the decode without changing a single output pixel; they hold most of the file's bits, and
// their entropy decoding is most of the cost of a progressive decode.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <vector>

// Copies the stream data[0, size) into out without the scans that carry only AC coefficients
// (first coefficient of the scan above 0) of one component whose id is set in dcOnly; everything
// else, markers and tables between the scans included, is kept byte for byte. dropped receives
// the number of scans left out. False when the stream cannot be followed from its start to its
// end marker (damaged or cut short): out is then not meant to be used.
bool DropAcScans(const uint8_t* data, size_t size, const std::bitset<256>& dcOnly, std::vector<uint8_t>& out,
                 size_t& dropped);
