// snipwell-cli's lossless JPEG path: between JPEG files, a chain of only crop, rotate-left,
// rotate-right, mirror and flip moves IN's DCT blocks into OUT (image/formats/LosslessJpeg.h)
// instead of decoding and encoding, so not one kept pixel changes.
//
// When the chain cannot be done exactly the tool fails with the reason rather than lose
// quality or pixels unasked: a crop whose top-left corner (as OUT shows it) is off the block
// grid is told with the nearest crop that is on it; a turn that would bring partial edge
// blocks to the front needs --trim (those few pixels are left out, as jpegtran -trim does);
// --recompress takes the decode and encode path for either.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "CliArguments.h"
#include "CliOperations.h"

namespace cli {

// Whether the command goes the lossless way: IN and OUT JPEG, no --recompress and no
// --quality (both ask for an encode), no leading cut, and at least one step, all of them crop,
// rotate-left, rotate-right, mirror or flip.
bool GoesLossless(const Options& options, bool leadingCut, const std::vector<Step>& steps, uint32_t inType,
                  uint32_t outType);

// Applies steps to IN's blocks and writes OUT; empty, or the error text.
std::string RunLossless(const Options& options, const std::string& in, const std::string& out,
                        const std::vector<Step>& steps);

}  // namespace cli
