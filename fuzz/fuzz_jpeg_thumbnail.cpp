// Arbitrary bytes into the quick JPEG path of the picture browser: the scan walk that leaves
// out a progressive stream's AC scans, and the reduced decode that relies on it. What the walk
// keeps is never longer than its input, and a decoded thumbnail is a sound 24-bit picture.
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/formats/RasterJpegThumbnail.h"
#include "image/formats/RasterJpegThumbnailScans.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact copy, so that a read past the end shows.
    const std::vector<uint8_t> bytes(data, data + size);
    std::bitset<256> dcOnly;
    for (size_t id = 0; id < dcOnly.size(); id += 2) dcOnly.set(id + (size & 1));
    std::vector<uint8_t> lean;
    size_t dropped = 0;
    if (DropAcScans(bytes.data(), bytes.size(), dcOnly, lean, dropped) && lean.size() > bytes.size()) __builtin_trap();
    RasterImage reduced;
    if (DecodeJpegReduced(bytes.data(), bytes.size(), 16, 16, reduced)) {
        if (!reduced.IsValid() || reduced.GetBpp() != 24 || reduced.GetWidth() == 0 || reduced.GetHeight() == 0) {
            __builtin_trap();
        }
    }
    uint32_t width = 0;
    uint32_t height = 0;
    if (ReadJpegFrameSize(bytes.data(), bytes.size(), width, height) && (width == 0 || height == 0)) __builtin_trap();
    return 0;
}
