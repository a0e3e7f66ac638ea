// Strict whole-number reading for snipwell-cli's command line: the whole text must be the
// number, so "12px", "+5" or " 5" never pass as 12 or 5.
#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

namespace rastertool {

// Whole text as an integer in [low, high] in the given base; no sign other than a leading
// '-', no spaces, no trailing characters.
inline std::optional<int64_t> ParseInteger(std::string_view text, int64_t low, int64_t high, int base = 10) {
    if (text.empty()) return std::nullopt;
    int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (error != std::errc() || stop != end || value < low || value > high) return std::nullopt;
    return value;
}

}  // namespace rastertool
