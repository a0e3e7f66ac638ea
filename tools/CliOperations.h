// The raster operations snipwell-cli applies after loading IN, in the order given: their
// names, arguments, help lines and how each runs on a RasterImage.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class RasterImage;

namespace cli {

// The colour the image core blends transparency onto when the program opens a picture.
inline constexpr uint32_t kWhite = 0xFFFFFF;

using Values = std::vector<int64_t>;

struct Operation;

// One operation with its arguments read, ready to run.
struct Step {
    const Operation* op = nullptr;
    Values values;
};

// A colour argument as a COLORREF 0x00BBGGRR: "#RRGGBB", or a bare COLORREF number
// (decimal or 0x hex, as scripts wrote it before colours had names).
std::optional<uint32_t> ParseColour(std::string_view text);

// Reads the operations of words[first...]; the error text, or empty with steps filled.
std::string ParseSteps(const std::vector<std::string>& words, size_t first, std::vector<Step>& steps);

// Runs step on image; false with the image's error text (or a description of the image) in
// error when it cannot be done.
bool RunStep(const Step& step, RasterImage& image, std::string& error);

// The operation's name as the command line gives it ("crop", "rotate-right", ...).
std::string_view StepName(const Step& step);

// One line per operation, "  SYNOPSIS  help", for --help.
std::string OperationsHelp();

}  // namespace cli
