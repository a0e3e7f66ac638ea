#include "CliArguments.h"

#include <cstring>

#include "image/RasterImage.h"
#include "CliOperations.h"
#include "CutNames.h"
#include "OrderCommand.h"
#include "SheetCommand.h"
#include "StrictNumber.h"
#include "ViewCut.h"

namespace cli {

namespace {

struct CommandWord {
    const char* word;
    Command command;
};

// The print order's words take their options after the word (Command::Order).
constexpr CommandWord kCommandWords[] = {
    {"info", Command::Info},   {"meta", Command::Meta},       {"order", Command::Order},
    {"sheet", Command::Order}, {"contact", Command::Order},
};

std::string ParseFormatId(std::string_view option, std::string_view text, std::optional<uint32_t>& out) {
    const auto value = rastertool::ParseInteger(text, 0, RASTER_FORMAT_LAST);
    if (!value) {
        return std::string(option) + " needs a format id 0.." + std::to_string(RASTER_FORMAT_LAST) + ", not '" +
               std::string(text) + "'";
    }
    out = uint32_t(*value);
    return {};
}

}  // namespace

Command CommandOf(const Options& options) {
    if (options.positional.empty()) return Command::Convert;
    for (const CommandWord& entry : kCommandWords) {
        if (options.positional[0] == entry.word) return entry.command;
    }
    return Command::Convert;
}

// Options start with "--" (operation arguments such as "-25" have one dash only).
std::string ParseOptions(int argc, char** argv, Options& options) {
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
        if (arg == "--recompress" || arg == "--trim") {
            (arg == "--trim" ? options.trim : options.recompress) = true;
            continue;
        }
        if (i + 1 >= argc) return std::string(arg) + " needs a value";
        const std::string_view value = argv[++i];
        if (arg == "--in-type") {
            if (auto error = ParseFormatId(arg, value, options.inType); !error.empty()) return error;
        } else if (arg == "--type") {
            if (auto error = ParseFormatId(arg, value, options.outType); !error.empty()) return error;
        } else if (arg == "--quality") {
            const auto q = rastertool::ParseInteger(value, 1, 100);
            if (!q) return "--quality needs a number 1..100, not '" + std::string(value) + "'";
            options.quality = uint8_t(*q);
        } else {
            return "unknown option " + std::string(arg);
        }
    }
    return {};
}

bool WantsHelp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
    }
    return false;
}

std::string HelpText() {
    std::string text =
        "usage: snipwell-cli [--in-type N] [--type N] [--quality Q] [--strip] [--recompress] [--trim]\n"
        "                    IN OUT [OP ARGS]...\n"
        "       snipwell-cli [--in-type N] info IN\n"
        "       snipwell-cli [--in-type N] meta IN   (the kept metadata, one key=value a line)\n"
        "       snipwell-cli " + std::string(kOrderSynopsis) + "\n"
        "      " + kOrderHelp + "\n"
        "       snipwell-cli " + kSheetSynopsis + "\n"
        "      " + kSheetHelp + "\n"
        "       snipwell-cli " + kContactSynopsis + "\n"
        "      " + kContactHelp + "\n"
        "  --strip      OUT without IN's metadata (kept by default when both are JPEG or PNG)\n"
        "  --in-type N  format id of IN (0 = detect by content; default: from the extension)\n"
        "  --type N     format id of OUT (default: from the extension)\n"
        "  --quality Q  JPEG and WebP quality 1..100\n"
        "  --recompress JPEG to JPEG: decode and encode even when only crop, rotate-left,\n"
        "               rotate-right, mirror and flip are asked (by default those move the\n"
        "               file's DCT blocks, losing nothing)\n"
        "  --trim       a lossless turn may leave out the partial edge blocks it would bring to\n"
        "               the front (at most 15 pixels), instead of failing\n"
        "commands: info, meta, order, sheet, contact\n"
        "  (a file named like a command is given as ./NAME)\n"
        "operations, applied in order:\n";
    text += std::string("  ") + rastertool::kViewCutSynopsis + "\n";
    text += std::string("      ") + rastertool::kViewCutHelp + "\n";
    text += CutNamesHelp();
    text += OperationsHelp();
    return text;
}

}  // namespace cli
