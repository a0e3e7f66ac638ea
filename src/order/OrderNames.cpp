#include "order/OrderNames.h"

#include <cctype>
#include <string_view>

#include "doc/CropBoxModel.h"

#include "image/RasterFormatIds.h"
#include "image/RasterFormatTable.h"
#include "image/RasterImage.h"

namespace order {

namespace {

constexpr std::string_view kNameToken = "{name}";
constexpr std::string_view kPresetToken = "{preset}";
constexpr std::string_view kNumberToken = "{n}";
// The preset of a box whose print size is not known: the free size.
constexpr const char* kFreeToken = "free";

// Position of the extension's dot in a file name, or npos; a leading dot starts no extension.
size_t ExtensionDot(std::string_view fileName) {
    const size_t dot = fileName.find_last_of('.');
    return dot == std::string_view::npos || dot == 0 ? std::string_view::npos : dot;
}

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string PaddedNumber(int number, int count) {
    const std::string digits = std::to_string(number);
    const size_t width = std::to_string(count).size();
    return digits.size() >= width ? digits : std::string(width - digits.size(), '0') + digits;
}

}  // namespace

std::string PresetToken(uint32_t presetId) {
    const cropbox::PrintSizePreset* preset = cropbox::FindPreset(presetId);
    if (preset == nullptr || !(preset->width > 0)) return kFreeToken;
    std::string token = preset->name;
    for (char& c : token) c = char(std::tolower(static_cast<unsigned char>(c)));
    return token;
}

std::string BaseNameOf(const std::string& path) {
    const std::string name = FileNameOf(path);
    const size_t dot = ExtensionDot(name);
    return dot == std::string::npos ? name : name.substr(0, dot);
}

uint32_t PatternFormat(const std::string& pattern) {
    const size_t dot = ExtensionDot(pattern);
    if (dot == std::string::npos) return RASTER_FORMAT_UNKNOWN;
    return RasterImage::TypeFromExtension(pattern.c_str() + dot);
}

std::string PatternProblem(const std::string& pattern) {
    if (pattern.find('/') != std::string::npos) return "a name pattern names a file, not a folder: it holds no '/'";
    for (size_t open = pattern.find('{'); open != std::string::npos; open = pattern.find('{', open + 1)) {
        const std::string_view rest = std::string_view(pattern).substr(open);
        if (!rest.starts_with(kNameToken) && !rest.starts_with(kPresetToken) && !rest.starts_with(kNumberToken)) {
            const size_t close = rest.find('}');
            return "the name pattern's " +
                   std::string(rest.substr(0, close == std::string_view::npos ? 1 : close + 1)) +
                   " is no token (use {name}, {preset} and {n})";
        }
    }
    const size_t dot = ExtensionDot(pattern);
    if (dot == std::string::npos) return "the name pattern needs an extension that names the format, such as .jpg";
    const RasterFormat* format = RasterFormatById(PatternFormat(pattern));
    if (format == nullptr || format->encode == nullptr) {
        return "the name pattern's extension " + pattern.substr(dot) + " names no format this program writes";
    }
    return {};
}

std::string ExpandPattern(const std::string& pattern, const NameFields& fields) {
    std::string name;
    for (size_t at = 0; at < pattern.size();) {
        const std::string_view rest = std::string_view(pattern).substr(at);
        if (rest.starts_with(kNameToken)) {
            name += BaseNameOf(fields.photo);
            at += kNameToken.size();
        } else if (rest.starts_with(kPresetToken)) {
            name += PresetToken(fields.presetId);
            at += kPresetToken.size();
        } else if (rest.starts_with(kNumberToken)) {
            name += PaddedNumber(fields.number, fields.count);
            at += kNumberToken.size();
        } else {
            name += pattern[at++];
        }
    }
    return name;
}

std::string NumberedName(const std::string& fileName, int number) {
    const size_t dot = ExtensionDot(fileName);
    const std::string suffix = "-" + std::to_string(number);
    if (dot == std::string::npos) return fileName + suffix;
    return fileName.substr(0, dot) + suffix + fileName.substr(dot);
}

std::string WithExtension(const std::string& pattern, const std::string& extension) {
    const size_t dot = ExtensionDot(pattern);
    return (dot == std::string::npos ? pattern : pattern.substr(0, dot)) + "." + extension;
}

}  // namespace order
