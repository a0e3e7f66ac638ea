#include "CliOperations.h"

#include <cstdio>
#include <limits>

#include "doc/StraightenGeometry.h"
#include "image/RasterImage.h"
#include "image/resample/RasterRotateFine.h"
#include "StrictNumber.h"

namespace cli {

using rastertool::ParseInteger;

namespace {

constexpr std::string_view kCutWord = "cut";
constexpr size_t kHexColourDigits = 6;

enum class ArgKind { Int32, Size, Colour, Tenths };

// Tenths of a degree in a straighten angle: the control's step.
constexpr int64_t kTenths = 10;

struct ArgDef {
    const char* name;
    ArgKind kind;
};

using ApplyFn = bool (*)(RasterImage&, const Values&);

// "-3.5" as -35: whole degrees and at most one decimal, within the straighten range.
std::optional<int64_t> ParseTenths(std::string_view text) {
    const auto most = int64_t(straighten::kMostDegrees) * kTenths;
    const size_t point = text.find('.');
    if (point == std::string_view::npos) {
        const auto whole = ParseInteger(text, -most / kTenths, most / kTenths);
        return whole ? std::optional<int64_t>(*whole * kTenths) : std::nullopt;
    }
    const std::string_view fraction = text.substr(point + 1);
    if (fraction.size() != 1 || fraction[0] < '0' || fraction[0] > '9') return std::nullopt;
    const bool negative = !text.empty() && text[0] == '-';
    const auto whole = ParseInteger(text.substr(0, point), -most / kTenths, most / kTenths);
    if (!whole) return std::nullopt;
    const int64_t tenths = *whole * kTenths + (negative ? -1 : 1) * (fraction[0] - '0');
    if (tenths < -most || tenths > most) return std::nullopt;
    return tenths;
}

std::optional<int64_t> ParseArg(ArgKind kind, std::string_view text) {
    switch (kind) {
        case ArgKind::Int32:
            return ParseInteger(text, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
        case ArgKind::Size:
            return ParseInteger(text, 1, std::numeric_limits<int32_t>::max());
        case ArgKind::Colour:
            if (const auto colour = ParseColour(text)) return int64_t(*colour);
            return std::nullopt;
        case ArgKind::Tenths:
            return ParseTenths(text);
    }
    return std::nullopt;
}

const char* KindText(ArgKind kind) {
    switch (kind) {
        case ArgKind::Int32: return "a 32-bit integer";
        case ArgKind::Size: return "a whole number of at least 1";
        case ArgKind::Colour: return "a colour #RRGGBB (or a number 0x00BBGGRR, at most 0xFFFFFF)";
        case ArgKind::Tenths: return "degrees from -45 to 45 in steps of 0.1 (such as -3.5)";
    }
    return "a number";
}

int32_t I32(int64_t v) { return int32_t(v); }
uint32_t U32(int64_t v) { return uint32_t(v); }

// What the program does to every picture it opens: transparency becomes an alpha plane,
// the picture becomes 24-bit, transparent parts become white, and the plane goes away.
bool Normalize(RasterImage& image, const Values&) {
    if (image.IsTransparent()) image.AlphaFromTransparentIndex();
    if (!image.IncreaseBpp(24)) return false;
    if (image.HasAlpha() && !image.FlattenAlpha(kWhite)) return false;
    image.DeleteAlpha();
    return true;
}

// Turns the picture and keeps the largest upright part of its own ratio that holds no corner
// of the background.
bool Straighten(RasterImage& image, const Values& values) {
    if (image.GetBpp() != 24) return false;
    const double degrees = double(values[0]) / kTenths;
    const straighten::TurnedPicture turned{double(image.GetWidth()), double(image.GetHeight()), degrees};
    const RasterRect kept = straighten::InnerPixels(straighten::LargestUprightOfOwnRatio(turned));
    RasterImage result;
    if (!raster_resample::RenderTurnedRegion(image, degrees, kept, result, {0})) {
        image.SetLastError(result.LastErrorText());
        return false;
    }
    return image.TakeOver(result);
}

}  // namespace

struct Operation {
    const char* name;
    std::vector<ArgDef> args;
    ApplyFn apply;
    const char* help;
};

namespace {

const std::vector<Operation>& Operations() {
    static const std::vector<Operation> table = {
        {"normalize", {}, Normalize, "transparency to alpha, 24 bits, alpha flattened onto white"},
        {"rescale", {{"W", ArgKind::Size}, {"H", ArgKind::Size}, {"MODE", ArgKind::Int32}},
         [](RasterImage& im, const Values& v) { return im.Rescale(U32(v[0]), U32(v[1]), I32(v[2])); },
         "resize to W x H (mode 1 nearest, 3 area shrink / bilinear)"},
        {"rotate-left", {}, [](RasterImage& im, const Values&) { return im.RotateLeft(); },
         "turn 90 degrees counter-clockwise"},
        {"rotate-right", {}, [](RasterImage& im, const Values&) { return im.RotateRight(); },
         "turn 90 degrees clockwise"},
        {"straighten", {{"DEGREES", ArgKind::Tenths}}, Straighten,
         "turn anticlockwise (negative: clockwise), keep the largest upright part of the same ratio"},
        {"mirror", {}, [](RasterImage& im, const Values&) { return im.Mirror(); }, "mirror left-right"},
        {"flip", {}, [](RasterImage& im, const Values&) { return im.Flip(); }, "turn upside down"},
        {"crop", {{"L", ArgKind::Int32}, {"T", ArgKind::Int32}, {"R", ArgKind::Int32}, {"B", ArgKind::Int32}},
         [](RasterImage& im, const Values& v) { return im.Crop(RasterRect{I32(v[0]), I32(v[1]), I32(v[2]), I32(v[3])}); },
         "keep the rectangle (top-down coordinates, right and bottom exclusive)"},
        {"gray", {}, [](RasterImage& im, const Values&) { return im.GrayAverage(); }, "average the channels"},
        {"shift", {{"R", ArgKind::Int32}, {"G", ArgKind::Int32}, {"B", ArgKind::Int32}},
         [](RasterImage& im, const Values& v) { return im.ShiftChannels(I32(v[0]), I32(v[1]), I32(v[2])); },
         "add offsets to red, green and blue"},
        {"light", {{"BRIGHTNESS", ArgKind::Int32}, {"CONTRAST", ArgKind::Int32}},
         [](RasterImage& im, const Values& v) { return im.AdjustLight(I32(v[0]), I32(v[1])); },
         "brightness and contrast"},
        {"increase-bpp", {{"BPP", ArgKind::Int32}},
         [](RasterImage& im, const Values& v) { return im.IncreaseBpp(U32(v[0])); }, "raise the depth to 4, 8 or 24"},
        {"flatten", {{"#RRGGBB", ArgKind::Colour}},
         [](RasterImage& im, const Values& v) { return im.FlattenAlpha(U32(v[0])); },
         "blend the alpha plane onto a background colour"},
        {"delete-alpha", {}, [](RasterImage& im, const Values&) { im.DeleteAlpha(); return true; },
         "drop the alpha plane"},
    };
    return table;
}

const Operation* FindOperation(std::string_view name) {
    for (const Operation& op : Operations()) {
        if (name == op.name) return &op;
    }
    return nullptr;
}

// "#RRGGBB" as 0x00BBGGRR; the digits in either letter case.
std::optional<uint32_t> ParseHashColour(std::string_view digits) {
    if (digits.size() != kHexColourDigits || digits[0] == '-' || digits[0] == '+') return std::nullopt;
    const auto rgb = ParseInteger(digits, 0, kWhite, 16);
    if (!rgb) return std::nullopt;
    const uint32_t red = uint32_t(*rgb >> 16) & 0xFF;
    const uint32_t green = uint32_t(*rgb >> 8) & 0xFF;
    const uint32_t blue = uint32_t(*rgb) & 0xFF;
    return red | (green << 8) | (blue << 16);
}

}  // namespace

std::optional<uint32_t> ParseColour(std::string_view text) {
    if (!text.empty() && text[0] == '#') return ParseHashColour(text.substr(1));
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        // from_chars would accept a second sign or prefix after "0x"; allow hex digits only.
        if (text[2] == '-' || text[2] == '+') return std::nullopt;
        if (const auto value = ParseInteger(text.substr(2), 0, kWhite, 16)) return uint32_t(*value);
        return std::nullopt;
    }
    if (const auto value = ParseInteger(text, 0, kWhite)) return uint32_t(*value);
    return std::nullopt;
}

std::string ParseSteps(const std::vector<std::string>& words, size_t first, std::vector<Step>& steps) {
    for (size_t i = first; i < words.size();) {
        if (words[i] == kCutWord) return "cut opens IN itself, so it must be the first operation";
        const Operation* op = FindOperation(words[i]);
        if (!op) return "unknown operation '" + words[i] + "'";
        ++i;
        Step step{op, {}};
        for (const ArgDef& param : op->args) {
            if (i >= words.size()) {
                return std::string(op->name) + ": missing " + param.name + " (" + KindText(param.kind) + ")";
            }
            const auto value = ParseArg(param.kind, words[i]);
            if (!value) {
                return std::string(op->name) + ": " + param.name + " must be " + KindText(param.kind) + ", not '" +
                       words[i] + "'";
            }
            step.values.push_back(*value);
            ++i;
        }
        steps.push_back(std::move(step));
    }
    return {};
}

bool RunStep(const Step& step, RasterImage& image, std::string& error) {
    image.ClearLastError();
    if (step.op->apply(image, step.values)) return true;
    error = std::string(step.op->name) + " failed: ";
    if (image.LastErrorText()[0] != '\0') {
        error += image.LastErrorText();
    } else {
        error += "not possible on this image (" + std::to_string(image.GetBpp()) + " bpp, " +
                 (image.HasAlpha() ? "with" : "without") + " alpha)";
    }
    return false;
}

std::string_view StepName(const Step& step) { return step.op->name; }

std::string OperationsHelp() {
    std::string text;
    for (const Operation& op : Operations()) {
        std::string synopsis = op.name;
        for (const ArgDef& arg : op.args) synopsis += std::string(" ") + arg.name;
        char line[160];
        std::snprintf(line, sizeof line, "  %-28s %s\n", synopsis.c_str(), op.help);
        text += line;
    }
    return text;
}

}  // namespace cli
