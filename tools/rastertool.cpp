// rastertool: loads a picture, applies raster operations in order and saves the result; or
// prints one line of information about a picture. A developer's tool for trying the image
// core on real files and for scripting conversions in tests.
//
//   rastertool [--in-type N] [--type N] [--quality Q] IN OUT [OP ARGS]...
//   rastertool [--type N] [--quality Q] IN OUT cut CLIENT_W CLIENT_H SHAPE PRESET_ID BORDER_ID ROTATED
//              [L T R B] [OP ARGS]...
//   rastertool [--in-type N] info IN
//   rastertool [--in-type N] meta IN
//
// When IN and OUT are both JPEG or PNG files, OUT keeps IN's metadata (EXIF, XMP, IPTC, colour
// profile) the way the program's Save keeps it, with the picture turned upright; --strip
// leaves it out.
//
// The whole command line is checked before any file is read, so a typo never leaves a
// half-written output behind. "cut" opens IN in the program's picture view (ViewCut.h), so
// it can only be the first operation.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "image/PictureMetadata.h"
#include "image/RasterImage.h"
#include "image/metadata/MetadataCheck.h"
#include "image/metadata/MetadataText.h"
#include "image/metadata/MetadataWriter.h"
#include "StrictNumber.h"
#include "ViewCut.h"

namespace {

using rastertool::ParseInteger;

constexpr std::string_view kCutWord = "cut";

constexpr uint32_t kWhite = 0xFFFFFF;

// ---- strict number parsing ------------------------------------------------------------

// A COLORREF 0x00BBGGRR, decimal or 0x-prefixed hexadecimal.
std::optional<int64_t> ParseColour(std::string_view text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        // from_chars would accept a second sign or prefix after "0x"; allow hex digits only.
        if (text[2] == '-' || text[2] == '+') return std::nullopt;
        return ParseInteger(text.substr(2), 0, kWhite, 16);
    }
    return ParseInteger(text, 0, kWhite);
}

// ---- the operation table ----------------------------------------------------------------

enum class ArgKind { Int32, Size, Colour };

struct ArgDef {
    const char* name;
    ArgKind kind;
};

using Values = std::vector<int64_t>;
using ApplyFn = bool (*)(RasterImage&, const Values&);

struct Operation {
    const char* name;
    std::vector<ArgDef> args;
    ApplyFn apply;
    const char* help;
};

std::optional<int64_t> ParseArg(ArgKind kind, std::string_view text) {
    switch (kind) {
        case ArgKind::Int32:
            return ParseInteger(text, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
        case ArgKind::Size:
            return ParseInteger(text, 1, std::numeric_limits<int32_t>::max());
        case ArgKind::Colour:
            return ParseColour(text);
    }
    return std::nullopt;
}

const char* KindText(ArgKind kind) {
    switch (kind) {
        case ArgKind::Int32: return "a 32-bit integer";
        case ArgKind::Size: return "a whole number of at least 1";
        case ArgKind::Colour: return "a colour 0x00BBGGRR (decimal or 0x hex, at most 0xFFFFFF)";
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
        {"flatten", {{"COLORREF", ArgKind::Colour}},
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

struct Step {
    const Operation* op;
    Values values;
};

// ---- command line -----------------------------------------------------------------------

struct Options {
    std::optional<uint32_t> inType;
    std::optional<uint32_t> outType;
    std::optional<uint8_t> quality;
    bool strip = false;   // OUT without IN's metadata
    std::vector<std::string> positional;
};

// Argument errors carry their text up to main, which prints it with the usage hint.
struct ArgError {
    std::string text;
};

void PrintUsage(FILE* out) {
    std::fprintf(out,
                 "usage: rastertool [--in-type N] [--type N] [--quality Q] IN OUT [OP ARGS]...\n"
                 "       rastertool [--in-type N] info IN\n"
                 "       rastertool [--in-type N] meta IN   (the kept metadata, one key=value a line)\n"
                 "  --strip      OUT without IN's metadata (kept by default when both are JPEG or PNG)\n"
                 "  --in-type N  format id of IN (0 = detect by content; default: from the extension)\n"
                 "  --type N     format id of OUT (default: from the extension)\n"
                 "  --quality Q  JPEG and WebP quality 1..100\n"
                 "operations, applied in order:\n");
    std::fprintf(out, "  %s\n  %-28s %s\n", rastertool::kViewCutSynopsis, "", rastertool::kViewCutHelp);
    for (const Operation& op : Operations()) {
        std::string synopsis = op.name;
        for (const ArgDef& arg : op.args) synopsis += std::string(" ") + arg.name;
        std::fprintf(out, "  %-28s %s\n", synopsis.c_str(), op.help);
    }
}

std::optional<ArgError> ParseFormatId(std::string_view option, std::string_view text, std::optional<uint32_t>& out) {
    const auto value = ParseInteger(text, 0, RASTER_FORMAT_LAST);
    if (!value) {
        return ArgError{std::string(option) + " needs a format id 0.." + std::to_string(RASTER_FORMAT_LAST) +
                        ", not '" + std::string(text) + "'"};
    }
    out = uint32_t(*value);
    return std::nullopt;
}

// Options start with "--" (operation arguments such as "-25" have one dash only).
std::optional<ArgError> ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.size() < 2 || arg.substr(0, 2) != "--") {
            options.positional.emplace_back(arg);
            continue;
        }
        if (arg == "--strip") {
            options.strip = true;
            continue;
        }
        if (i + 1 >= argc) return ArgError{std::string(arg) + " needs a value"};
        const std::string_view value = argv[++i];
        if (arg == "--in-type") {
            if (auto e = ParseFormatId(arg, value, options.inType)) return e;
        } else if (arg == "--type") {
            if (auto e = ParseFormatId(arg, value, options.outType)) return e;
        } else if (arg == "--quality") {
            const auto q = ParseInteger(value, 1, 100);
            if (!q) return ArgError{"--quality needs a number 1..100, not '" + std::string(value) + "'"};
            options.quality = uint8_t(*q);
        } else {
            return ArgError{"unknown option " + std::string(arg)};
        }
    }
    return std::nullopt;
}

std::optional<ArgError> ParseSteps(const std::vector<std::string>& words, size_t first, std::vector<Step>& steps) {
    for (size_t i = first; i < words.size();) {
        if (words[i] == kCutWord) return ArgError{"cut opens IN itself, so it must be the first operation"};
        const Operation* op = FindOperation(words[i]);
        if (!op) return ArgError{"unknown operation '" + words[i] + "'"};
        ++i;
        Step step{op, {}};
        for (const ArgDef& param : op->args) {
            if (i >= words.size()) {
                return ArgError{std::string(op->name) + ": missing " + param.name + " (" + KindText(param.kind) + ")"};
            }
            const auto value = ParseArg(param.kind, words[i]);
            if (!value) {
                return ArgError{std::string(op->name) + ": " + param.name + " must be " + KindText(param.kind) +
                                ", not '" + words[i] + "'"};
            }
            step.values.push_back(*value);
            ++i;
        }
        steps.push_back(std::move(step));
    }
    return std::nullopt;
}

// ---- running ----------------------------------------------------------------------------

int Fail(const std::string& text) {
    std::fprintf(stderr, "rastertool: %s\n", text.c_str());
    return 1;
}

// The image's own error text, or what the system says about the file, or a fallback.
std::string ErrorOf(const RasterImage& image, const std::string& fallback) {
    if (image.LastErrorText()[0] != '\0') return image.LastErrorText();
    return fallback;
}

// Why path cannot be read as a picture file, or empty. Only a regular file is opened: a FIFO
// or a device could keep the tool waiting for ever (opening a FIFO waits for a writer). The
// loaders report an unopenable file without saying why, so the system's reason is given.
std::string UnreadableReason(const std::string& path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (error) return path + ": " + error.message();
    if (!std::filesystem::is_regular_file(status)) return path + ": not a regular file";
    FILE* probe = std::fopen(path.c_str(), "rb");
    if (!probe) return path + ": " + std::strerror(errno);
    std::fclose(probe);
    return {};
}

// With metadata: the blocks are read too, with the picture turned upright as the program
// shows it; blocks that cannot be read are left out with a warning.
int LoadInput(RasterImage& image, const std::string& path, const Options& options,
              PictureMetadata* metadata = nullptr) {
    if (const std::string reason = UnreadableReason(path); !reason.empty()) return Fail(reason);
    const uint32_t type = options.inType.value_or(RasterImage::TypeFromExtension(path.c_str()));
    image.ClearLastError();
    RasterLoadOptions load;
    if (metadata) {
        load.upright = RasterUpright::Turn;
        load.metadata = metadata;
    }
    if (!image.Load(path.c_str(), type, load)) return Fail(path + ": " + ErrorOf(image, "cannot be loaded"));
    if (metadata && DropUnreadableMetadata(*metadata)) {
        std::fprintf(stderr, "rastertool: %s: Metadata could not be read; the damaged block is left out\n",
                     path.c_str());
    }
    return 0;
}

int PrintMetadata(const Options& options) {
    if (options.positional.size() != 2) return Fail("meta takes exactly one file (see --help)");
    RasterImage image;
    PictureMetadata metadata;
    if (int rc = LoadInput(image, options.positional[1], options, &metadata)) return rc;
    std::fputs(MetadataAsText(metadata).c_str(), stdout);
    return 0;
}

int PrintInfo(const Options& options) {
    if (options.positional.size() != 2) return Fail("info takes exactly one file (see --help)");
    RasterImage image;
    if (int rc = LoadInput(image, options.positional[1], options)) return rc;
    std::printf("%u %u %u %u alpha=%d transparent=%d dpi=%d,%d\n", image.GetWidth(), image.GetHeight(),
                image.GetBpp(), image.GetType(), image.HasAlpha() ? 1 : 0, image.GetTransparentIndex(),
                image.GetXDpi(), image.GetYDpi());
    return 0;
}

// The picture the program shows after Cut in its view; IN is read the program's way.
int CutInput(RasterImage& image, const std::string& path, const rastertool::ViewCutArgs& cut,
             PictureMetadata* metadata) {
    if (const std::string reason = UnreadableReason(path); !reason.empty()) return Fail(reason);
    if (const std::string error = rastertool::RunViewCut(path, cut, image, metadata); !error.empty()) return Fail(error);
    return 0;
}

// A leading "cut" and its arguments; next moves past them.
std::optional<ArgError> ParseLeadingCut(const Options& options, size_t& next,
                                        std::optional<rastertool::ViewCutArgs>& cut) {
    const std::vector<std::string>& words = options.positional;
    if (next >= words.size() || words[next] != kCutWord) return std::nullopt;
    if (options.inType) return ArgError{"cut opens IN by its extension as the program does; drop --in-type"};
    rastertool::ViewCutArgs args;
    ++next;
    if (std::string error = rastertool::ParseViewCutArgs(words, next, args); !error.empty()) {
        return ArgError{std::move(error)};
    }
    cut = args;
    return std::nullopt;
}

int Convert(const Options& options) {
    const std::vector<std::string>& words = options.positional;
    if (words.size() < 2) return Fail("needs IN and OUT (see --help)");
    size_t next = 2;
    std::optional<rastertool::ViewCutArgs> cut;
    if (auto e = ParseLeadingCut(options, next, cut)) return Fail(e->text);
    std::vector<Step> steps;
    if (auto e = ParseSteps(words, next, steps)) return Fail(e->text);
    const std::string& outPath = words[1];
    const uint32_t outType = options.outType.value_or(RasterImage::TypeFromExtension(outPath.c_str()));
    if (!options.outType && outType == RASTER_FORMAT_UNKNOWN) {
        return Fail(outPath + ": unknown format extension (use --type N)");
    }

    const uint32_t inType = options.inType.value_or(RasterImage::TypeFromExtension(words[0].c_str()));
    const bool keepMetadata = !options.strip && FormatKeepsMetadata(inType) && FormatKeepsMetadata(outType);
    PictureMetadata metadata;
    PictureMetadata* kept = keepMetadata ? &metadata : nullptr;
    RasterImage image;
    if (int rc = cut ? CutInput(image, words[0], *cut, kept) : LoadInput(image, words[0], options, kept)) return rc;
    for (const Step& step : steps) {
        image.ClearLastError();
        if (!step.op->apply(image, step.values)) {
            return Fail(std::string(step.op->name) + " failed: " +
                        ErrorOf(image, "not possible on this image (" + std::to_string(image.GetBpp()) + " bpp, " +
                                           (image.HasAlpha() ? "with" : "without") + " alpha)"));
        }
    }
    if (options.quality) image.SetJpegQuality(*options.quality);
    image.ClearLastError();
    errno = 0;
    const bool hadDropped = metadata.dropped;
    if (!image.Save(outPath.c_str(), outType, kept)) {
        return Fail(outPath + ": " + ErrorOf(image, errno ? std::strerror(errno) : "cannot be written"));
    }
    if (metadata.dropped && !hadDropped) {
        std::fprintf(stderr, "rastertool: %s: a metadata block could not be written and is left out\n",
                     outPath.c_str());
    }
    return 0;
}

bool WantsHelp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (WantsHelp(argc, argv)) {
        PrintUsage(stdout);
        return 0;
    }
    Options options;
    if (auto e = ParseOptions(argc, argv, options)) return Fail(e->text);
    if (options.positional.empty()) {
        PrintUsage(stderr);
        return 1;
    }
    if (options.positional[0] == "info") return PrintInfo(options);
    if (options.positional[0] == "meta") return PrintMetadata(options);
    return Convert(options);
}
