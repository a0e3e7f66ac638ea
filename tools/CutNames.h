// The names snipwell-cli's "cut" takes for the crop box choices, as the ribbon shows them:
// shape rect|round|oval, the print size ("6x4", "3.5x2.5", ... or "free") and the border
// ("none", "1%".."25%"). The numbers scripts passed before names existed (the view's shape
// numbers and the ribbon's command ids) are still read.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace cli {

// Turns the SHAPE, PRESET and BORDER names among words[first...] (first is the word after
// "cut": CLIENT_W CLIENT_H SHAPE PRESET BORDER ...) into the numbers the view keeps; numbers
// are left for the cut's own range checks. Returns the error text for a word that is neither
// a name nor a number, empty otherwise.
std::string CutNamesToNumbers(std::vector<std::string>& words, size_t first);

// The names, a few lines for --help; empty when this build has no "cut".
std::string CutNamesHelp();

}  // namespace cli
