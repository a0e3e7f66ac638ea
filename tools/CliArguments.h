// snipwell-cli's command line: the options, the words that are commands rather than IN, and
// the help text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

struct Options {
    std::optional<uint32_t> inType;
    std::optional<uint32_t> outType;
    std::optional<uint8_t> quality;
    bool strip = false;   // OUT without IN's metadata
    bool recompress = false;   // JPEG to JPEG cuts and turns decoded and encoded, not moved block by block
    bool trim = false;         // a lossless turn may leave out the partial edge blocks it brings to the front
    std::vector<std::string> positional;
};

// What the first word asks for. A first word that names a command is never read as IN, so
// the commands still to come can take their word without changing what a script means; a
// file named so is given as ./NAME.
enum class Command { Convert, Info, Meta, Order };

Command CommandOf(const Options& options);

// Reads the options (words starting with "--") and collects the other words in order.
// Returns the error text, empty when the options are sound.
std::string ParseOptions(int argc, char** argv, Options& options);

// True when --help or -h is among the arguments.
bool WantsHelp(int argc, char** argv);

std::string HelpText();

}  // namespace cli
