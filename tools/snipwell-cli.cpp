// snipwell-cli: Snipwell's work without its window. Loads a picture, applies raster
// operations in order and saves the result; cuts it in the program's own picture view; or
// prints information about a picture. Used for scripted conversions, for trying the image
// core on real files, and by the tests.
//
//   snipwell-cli [--in-type N] [--type N] [--quality Q] [--strip] IN OUT [OP ARGS]...
//   snipwell-cli [--type N] [--quality Q] IN OUT cut CLIENT_W CLIENT_H SHAPE PRESET BORDER ROTATED
//                [L T R B] [OP ARGS]...
//   snipwell-cli [--in-type N] info IN
//   snipwell-cli [--in-type N] meta IN
//   snipwell-cli order [--to DIR] [--pattern P] [--quality Q] [--existing WHAT] PHOTO...
//   snipwell-cli sheet --paper PAPER [--size 6x4] [--gap MM] [--marks] OUT.pdf PHOTO...
//   snipwell-cli contact [--columns N] [--date] [--size] [--paper PAPER] OUT.pdf PHOTO...
//
// When IN and OUT are both JPEG or PNG files, OUT keeps IN's metadata (EXIF, XMP, IPTC, colour
// profile) the way the program's Save keeps it, with the picture turned upright; --strip
// leaves it out. Between JPEG files, crop, rotate-left, rotate-right, mirror and flip alone
// move IN's DCT blocks, losing nothing (LosslessCli.h); --recompress decodes and encodes.
//
// The whole command line is checked before any file is read, so a typo never leaves a
// half-written output behind. "cut" opens IN in the program's picture view (ViewCut.h), so
// it can only be the first operation.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "image/PictureMetadata.h"
#include "image/RasterImage.h"
#include "image/metadata/MetadataCheck.h"
#include "image/metadata/MetadataText.h"
#include "image/metadata/MetadataWriter.h"
#include "CliArguments.h"
#include "CliOperations.h"
#include "CutNames.h"
#include "LosslessCli.h"
#include "OrderCommand.h"
#include "SheetCommand.h"
#include "ViewCut.h"

namespace {

using cli::Options;

constexpr const char* kCutWord = "cut";

int Fail(const std::string& text) {
    std::fprintf(stderr, "snipwell-cli: %s\n", text.c_str());
    return 1;
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
    if (!image.Load(path.c_str(), type, load)) {
        return Fail(path + ": " + (image.LastErrorText()[0] ? image.LastErrorText() : "cannot be loaded"));
    }
    if (metadata && DropUnreadableMetadata(*metadata)) {
        std::fprintf(stderr, "snipwell-cli: %s: Metadata could not be read; the damaged block is left out\n",
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

// A leading "cut" and its arguments, names turned into the view's numbers; next moves past them.
std::string ParseLeadingCut(const Options& options, size_t& next, std::optional<rastertool::ViewCutArgs>& cut) {
    std::vector<std::string> words = options.positional;
    if (next >= words.size() || words[next] != kCutWord) return {};
    if (options.inType) return "cut opens IN by its extension as the program does; drop --in-type";
    ++next;
    if (std::string error = cli::CutNamesToNumbers(words, next); !error.empty()) return error;
    rastertool::ViewCutArgs args;
    if (std::string error = rastertool::ParseViewCutArgs(words, next, args); !error.empty()) return error;
    cut = args;
    return {};
}

int Convert(const Options& options) {
    const std::vector<std::string>& words = options.positional;
    if (words.size() < 2) return Fail("needs IN and OUT (see --help)");
    size_t next = 2;
    std::optional<rastertool::ViewCutArgs> cut;
    if (std::string error = ParseLeadingCut(options, next, cut); !error.empty()) return Fail(error);
    std::vector<cli::Step> steps;
    if (std::string error = cli::ParseSteps(words, next, steps); !error.empty()) return Fail(error);
    const std::string& outPath = words[1];
    const uint32_t outType = options.outType.value_or(RasterImage::TypeFromExtension(outPath.c_str()));
    if (!options.outType && outType == RASTER_FORMAT_UNKNOWN) {
        return Fail(outPath + ": unknown format extension (use --type N)");
    }

    const uint32_t inType = options.inType.value_or(RasterImage::TypeFromExtension(words[0].c_str()));
    if (cli::GoesLossless(options, cut.has_value(), steps, inType, outType)) {
        if (const std::string reason = UnreadableReason(words[0]); !reason.empty()) return Fail(reason);
        const std::string error = cli::RunLossless(options, words[0], outPath, steps);
        return error.empty() ? 0 : Fail(error);
    }
    const bool keepMetadata = !options.strip && FormatKeepsMetadata(inType) && FormatKeepsMetadata(outType);
    PictureMetadata metadata;
    PictureMetadata* kept = keepMetadata ? &metadata : nullptr;
    RasterImage image;
    if (int rc = cut ? CutInput(image, words[0], *cut, kept) : LoadInput(image, words[0], options, kept)) return rc;
    for (const cli::Step& step : steps) {
        if (std::string error; !cli::RunStep(step, image, error)) return Fail(error);
    }
    if (options.quality) image.SetJpegQuality(*options.quality);
    image.ClearLastError();
    errno = 0;
    const bool hadDropped = metadata.dropped;
    if (!image.Save(outPath.c_str(), outType, kept)) {
        const char* reason = image.LastErrorText()[0] ? image.LastErrorText()
                             : errno                  ? std::strerror(errno)
                                                      : "cannot be written";
        return Fail(outPath + ": " + reason);
    }
    if (metadata.dropped && !hadDropped) {
        std::fprintf(stderr, "snipwell-cli: %s: a metadata block could not be written and is left out\n",
                     outPath.c_str());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (cli::WantsHelp(argc, argv)) {
        std::fputs(cli::HelpText().c_str(), stdout);
        return 0;
    }
    // "order", "sheet" and "contact" take options of their own, after their word.
    if (argc > 1 && std::strcmp(argv[1], "order") == 0) return cli::RunOrderCommand(argc - 2, argv + 2);
    if (argc > 1 && std::strcmp(argv[1], "sheet") == 0) return cli::RunSheetCommand(argc - 2, argv + 2);
    if (argc > 1 && std::strcmp(argv[1], "contact") == 0) return cli::RunContactCommand(argc - 2, argv + 2);
    Options options;
    if (std::string error = cli::ParseOptions(argc, argv, options); !error.empty()) return Fail(error);
    if (options.positional.empty()) {
        std::fputs(cli::HelpText().c_str(), stderr);
        return 1;
    }
    switch (cli::CommandOf(options)) {
        case cli::Command::Info: return PrintInfo(options);
        case cli::Command::Meta: return PrintMetadata(options);
        case cli::Command::Order:
            return Fail(options.positional[0] + " takes its options after the word (a file named so is given as ./" +
                        options.positional[0] + ")");
        case cli::Command::Convert: break;
    }
    return Convert(options);
}
