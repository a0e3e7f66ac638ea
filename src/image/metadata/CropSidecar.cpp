#include "image/metadata/CropSidecar.h"

#include <exiv2/exiv2.hpp>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

#include "image/FileBeside.h"
#include "image/formats/RasterJpegThumbnail.h"
#include "image/metadata/Exiv2Setup.h"

namespace {

constexpr const char* kHasCrop = "Xmp.crs.HasCrop";
constexpr const char* kCropLeft = "Xmp.crs.CropLeft";
constexpr const char* kCropTop = "Xmp.crs.CropTop";
constexpr const char* kCropRight = "Xmp.crs.CropRight";
constexpr const char* kCropBottom = "Xmp.crs.CropBottom";
constexpr const char* kCropAngle = "Xmp.crs.CropAngle";
constexpr const char* kCrsCropKeys[] = {kHasCrop, kCropLeft, kCropTop, kCropRight, kCropBottom, kCropAngle};
constexpr const char* kShape = "Xmp.snipwell.Shape";
constexpr const char* kPreset = "Xmp.snipwell.Preset";
constexpr const char* kBorder = "Xmp.snipwell.Border";
constexpr const char* kPlacedWidth = "Xmp.snipwell.PlacedWidth";
constexpr const char* kPlacedHeight = "Xmp.snipwell.PlacedHeight";
constexpr const char* kOwnKeys[] = {kShape, kPreset, kBorder, kPlacedWidth, kPlacedHeight};
// Camera Raw writes six decimals; so do we.
constexpr int kFractionDigits = 6;
// A sidecar is a few kilobytes; anything this large is not one.
constexpr uint64_t kMaxSidecarBytes = 4 << 20;

void Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
}

std::optional<std::string> Value(const Exiv2::XmpData& xmp, const char* key) {
    const auto it = xmp.findKey(Exiv2::XmpKey(key));
    if (it == xmp.end()) return std::nullopt;
    return it->toString();
}

std::optional<double> Number(const Exiv2::XmpData& xmp, const char* key) {
    const std::optional<std::string> text = Value(xmp, key);
    if (!text) return std::nullopt;
    double value = 0;
    const char* end = text->data() + text->size();
    const auto [at, code] = std::from_chars(text->data(), end, value);
    if (code != std::errc() || at != end || !std::isfinite(value)) return std::nullopt;
    return value;
}

template <class T>
bool Whole(const Exiv2::XmpData& xmp, const char* key, T& out) {
    const std::optional<std::string> text = Value(xmp, key);
    if (!text) return false;
    const char* end = text->data() + text->size();
    const auto [at, code] = std::from_chars(text->data(), end, out);
    return code == std::errc() && at == end;
}

std::string Fixed(double value) {
    char text[64];
    const auto [end, code] = std::to_chars(text, text + sizeof(text), value, std::chars_format::fixed, kFractionDigits);
    return code == std::errc() ? std::string(text, end) : std::string("0");
}

bool Decode(Exiv2::XmpData& xmp, const std::string& packet, std::string* error) {
    EnsureExiv2Ready();
    if (packet.empty()) return true;
    try {
        if (Exiv2::XmpParser::decode(xmp, packet) == 0) return true;
    } catch (const Exiv2::AnyError&) {
    }
    Fail(error, "the sidecar's XMP cannot be read");
    return false;
}

bool Encode(std::string& packet, const Exiv2::XmpData& xmp, std::string* error) {
    if (xmp.empty()) {
        packet.clear();
        return true;
    }
    try {
        if (Exiv2::XmpParser::encode(packet, xmp, Exiv2::XmpParser::omitPacketWrapper) == 0) return true;
    } catch (const Exiv2::AnyError&) {
    }
    Fail(error, "the sidecar's XMP cannot be written");
    return false;
}

void EraseKeys(Exiv2::XmpData& xmp, const char* const* keys, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const auto it = xmp.findKey(Exiv2::XmpKey(keys[i]));
        if (it != xmp.end()) xmp.erase(it);
    }
}

bool InUnitRange(double low, double high) { return low >= 0.0 && high <= 1.0 && low < high; }

bool FileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// NAME.xmp as other tools name a sidecar: the photo's name without its extension.
std::string ToolSidecarPathOf(const std::string& photo) {
    const size_t slash = photo.find_last_of('/');
    const size_t dot = photo.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return photo + ".xmp";
    return photo.substr(0, dot) + ".xmp";
}

// The sidecar's text; its size is checked before anything is read.
bool ReadSidecarText(const std::string& path, std::string& content, std::string* error) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path.c_str(), bytes, kMaxSidecarBytes)) {
        Fail(error, "the sidecar cannot be read, or is too large to be one");
        return false;
    }
    content.assign(bytes.begin(), bytes.end());
    return true;
}

// The packet a write starts from: the photo's own sidecar, else another tool's.
bool StartingPacket(const std::string& photo, std::string& packet, std::string* error) {
    packet.clear();
    for (const std::string& path : {SidecarPathOf(photo), ToolSidecarPathOf(photo)}) {
        if (FileExists(path)) return ReadSidecarText(path, packet, error);
    }
    return true;
}

}  // namespace

std::optional<KeptCrop> ReadKeptCrop(const std::string& packet, std::string* error) {
    Exiv2::XmpData xmp;
    if (!Decode(xmp, packet, error)) return std::nullopt;
    try {
        const std::optional<std::string> has = Value(xmp, kHasCrop);
        if (!has || (*has != "True" && *has != "true")) return std::nullopt;
        KeptCrop crop;
        const auto left = Number(xmp, kCropLeft), top = Number(xmp, kCropTop);
        const auto right = Number(xmp, kCropRight), bottom = Number(xmp, kCropBottom);
        if (!left || !top || !right || !bottom || !InUnitRange(*left, *right) || !InUnitRange(*top, *bottom)) {
            Fail(error, "the sidecar's crop rectangle is not one");
            return std::nullopt;
        }
        crop.left = *left;
        crop.top = *top;
        crop.right = *right;
        crop.bottom = *bottom;
        crop.angle = Number(xmp, kCropAngle).value_or(0.0);
        crop.ownFields = Whole(xmp, kShape, crop.shape) && Whole(xmp, kPreset, crop.preset) &&
                         Whole(xmp, kBorder, crop.border) && Whole(xmp, kPlacedWidth, crop.placedWidth) &&
                         Whole(xmp, kPlacedHeight, crop.placedHeight);
        if (!crop.ownFields) {
            crop.shape = 0;
            crop.preset = crop.border = crop.placedWidth = crop.placedHeight = 0;
        }
        return crop;
    } catch (const Exiv2::AnyError&) {
        Fail(error, "the sidecar's XMP cannot be read");
        return std::nullopt;
    }
}

bool WriteKeptCrop(std::string& packet, const KeptCrop& crop, std::string* error) {
    Exiv2::XmpData xmp;
    if (!Decode(xmp, packet, error)) return false;
    try {
        xmp[kHasCrop] = "True";
        xmp[kCropLeft] = Fixed(crop.left);
        xmp[kCropTop] = Fixed(crop.top);
        xmp[kCropRight] = Fixed(crop.right);
        xmp[kCropBottom] = Fixed(crop.bottom);
        xmp[kCropAngle] = Fixed(crop.angle);
        if (crop.ownFields) {
            xmp[kShape] = std::to_string(crop.shape);
            xmp[kPreset] = std::to_string(crop.preset);
            xmp[kBorder] = std::to_string(crop.border);
            xmp[kPlacedWidth] = std::to_string(crop.placedWidth);
            xmp[kPlacedHeight] = std::to_string(crop.placedHeight);
        } else {
            EraseKeys(xmp, kOwnKeys, std::size(kOwnKeys));
        }
    } catch (const Exiv2::AnyError&) {
        Fail(error, "the sidecar's XMP cannot be written");
        return false;
    }
    return Encode(packet, xmp, error);
}

bool RemoveKeptCrop(std::string& packet, std::string* error) {
    Exiv2::XmpData xmp;
    if (!Decode(xmp, packet, error)) return false;
    try {
        EraseKeys(xmp, kCrsCropKeys, std::size(kCrsCropKeys));
        EraseKeys(xmp, kOwnKeys, std::size(kOwnKeys));
    } catch (const Exiv2::AnyError&) {
        Fail(error, "the sidecar's XMP cannot be written");
        return false;
    }
    return Encode(packet, xmp, error);
}

bool EraseCrsCrop(Exiv2::XmpData& xmp) {
    const long before = xmp.count();
    EraseKeys(xmp, kCrsCropKeys, std::size(kCrsCropKeys));
    return xmp.count() != before;
}

std::string SidecarPathOf(const std::string& photo) { return photo + ".xmp"; }

std::optional<KeptCrop> ReadSidecarCrop(const std::string& photo, std::string* error) {
    std::string packet;
    if (!StartingPacket(photo, packet, error) || packet.empty()) return std::nullopt;
    return ReadKeptCrop(packet, error);
}

bool WriteSidecarCrop(const std::string& photo, const KeptCrop& crop, std::string* error) {
    std::string packet;
    if (!StartingPacket(photo, packet, error) || !WriteKeptCrop(packet, crop, error)) return false;
    return WriteFileBeside(SidecarPathOf(photo), packet.data(), packet.size(), error);
}

bool RemoveSidecarCrop(const std::string& photo, std::string* error) {
    const std::string path = SidecarPathOf(photo);
    if (!FileExists(path)) return true;
    std::string packet;
    if (!ReadSidecarText(path, packet, error) || !RemoveKeptCrop(packet, error)) return false;
    if (packet.empty()) {
        if (unlink(path.c_str()) == 0) return true;
        Fail(error, std::strerror(errno));
        return false;
    }
    return WriteFileBeside(path, packet.data(), packet.size(), error);
}
