#include "CutNames.h"

#include <cctype>
#include <cstdio>
#include <limits>
#include <optional>
#include <string_view>

#include "commands/CommandIds.h"
#include "doc/CropBoxModel.h"
#include "StrictNumber.h"

namespace cli {

namespace {

// Positions after "cut" of the words that take names.
constexpr size_t kShapeWord = 2;
constexpr size_t kPresetWord = 3;
constexpr size_t kBorderWord = 4;

constexpr std::string_view kNoBorder = "none";

struct ShapeName {
    const char* name;
    int shape;
};

constexpr ShapeName kShapeNames[] = {
    {"rect", cropbox::kShapeRectangle},
    {"round", cropbox::kShapeRoundCorner},
    {"oval", cropbox::kShapeOval},
};

// Names are read in any letter case: the ribbon writes "Free", the help "free".
bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

std::optional<uint32_t> ShapeOf(std::string_view word) {
    for (const ShapeName& entry : kShapeNames) {
        if (SameIgnoringCase(word, entry.name)) return uint32_t(entry.shape);
    }
    return std::nullopt;
}

std::optional<uint32_t> PresetOf(std::string_view word) {
    for (const cropbox::PrintSizePreset* preset = cropbox::kPrintSizePresets; preset->name; ++preset) {
        if (SameIgnoringCase(word, preset->name)) return preset->commandId;
    }
    return std::nullopt;
}

std::optional<uint32_t> BorderOf(std::string_view word) {
    if (SameIgnoringCase(word, kNoBorder)) return cmd::ID_BORDER_NONE;
    if (word.size() < 2 || word.back() != '%') return std::nullopt;
    const auto percent = rastertool::ParseInteger(word.substr(0, word.size() - 1), 1,
                                                  cmd::ID_BORDER_LAST - cmd::ID_BORDER_NONE);
    if (!percent) return std::nullopt;
    return cmd::ID_BORDER_NONE + uint32_t(*percent);
}

std::string ShapeNames() {
    std::string text;
    for (const ShapeName& entry : kShapeNames) text += std::string(text.empty() ? "" : "|") + entry.name;
    return text;
}

std::string PresetNames() {
    std::string text;
    for (const cropbox::PrintSizePreset* preset = cropbox::kPrintSizePresets; preset->name; ++preset) {
        std::string name = preset->name;
        if (preset->commandId == cmd::ID_PRESET_FREE) name = "free";
        text += (text.empty() ? "" : "|") + name;
    }
    return text;
}

std::string BorderNames() {
    return std::string(kNoBorder) + "|1%.." + std::to_string(cmd::ID_BORDER_LAST - cmd::ID_BORDER_NONE) + "%";
}

struct NamedWord {
    size_t position;
    const char* what;
    std::optional<uint32_t> (*lookUp)(std::string_view);
    std::string (*names)();
};

constexpr NamedWord kNamedWords[] = {
    {kShapeWord, "SHAPE", ShapeOf, ShapeNames},
    {kPresetWord, "PRESET", PresetOf, PresetNames},
    {kBorderWord, "BORDER", BorderOf, BorderNames},
};

bool IsNumber(std::string_view word) {
    return rastertool::ParseInteger(word, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max())
        .has_value();
}

}  // namespace

std::string CutNamesToNumbers(std::vector<std::string>& words, size_t first) {
    for (const NamedWord& named : kNamedWords) {
        const size_t at = first + named.position;
        if (at >= words.size()) break;   // the cut's own reading names what is missing
        if (const auto number = named.lookUp(words[at])) {
            words[at] = std::to_string(*number);
        } else if (!IsNumber(words[at])) {
            return std::string("cut: ") + named.what + " must be one of " + named.names() + ", not '" + words[at] +
                   "'";
        }
    }
    return {};
}

std::string CutNamesHelp() {
    std::string text;
    for (const NamedWord& named : kNamedWords) {
        char line[256];
        std::snprintf(line, sizeof line, "      %-7s %s\n", named.what, named.names().c_str());
        text += line;
    }
    return text + "      (any letter case; the numbers earlier versions took are still read)\n";
}

}  // namespace cli
