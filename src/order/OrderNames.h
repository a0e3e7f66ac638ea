// The names a print order's export gives its files: a pattern with tokens filled in per
// photo, and the numbered names that keep two files from taking one name.
//
//   {name}    the photo's file name without its extension ("IMG_0001")
//   {preset}  the print size the box was placed for, as the ribbon names it in lower case
//             ("6x4", "free")
//   {n}       the photo's place in the order, counting from 1, padded with zeros to the
//             width of the order's length (01 .. 20 in an order of 20), so the files sort in
//             the order's sequence
//
// The pattern's extension decides the written format.
#pragma once

#include <cstdint>
#include <string>

namespace order {

inline constexpr const char* kDefaultPattern = "{name}-{preset}.jpg";

struct NameFields {
    std::string photo;      // the photo's path
    uint32_t presetId = 0;  // the box's print-size command id (0 or unknown: free)
    int number = 1;         // 1-based place in the order
    int count = 1;          // photos in the order
};

// Why pattern cannot name the files (an unknown token, a folder separator, no name before
// the extension, an extension that names no writable format); empty when it can.
std::string PatternProblem(const std::string& pattern);
// The picture format the pattern's extension names (RASTER_FORMAT_UNKNOWN when none).
uint32_t PatternFormat(const std::string& pattern);
// The pattern with its tokens filled in.
std::string ExpandPattern(const std::string& pattern, const NameFields& fields);
// The token {preset} stands for.
std::string PresetToken(uint32_t presetId);
// fileName with "-number" before its extension: "IMG_0001-6x4-2.jpg" for number 2.
std::string NumberedName(const std::string& fileName, int number);
// The file name of path without its folder and extension.
std::string BaseNameOf(const std::string& path);
// pattern with its extension replaced by extension (given without the dot); one is added
// when it has none.
std::string WithExtension(const std::string& pattern, const std::string& extension);

}  // namespace order
