// The box a photo keeps before it is cut, in an XMP sidecar beside it (NAME.EXT.xmp): the
// rectangle in the Camera Raw crop fields that other photo tools read and write (crs:HasCrop,
// crs:CropLeft/Top/Right/Bottom as fractions of the picture as stored in the file, before its
// EXIF orientation, and crs:CropAngle), and this program's own choices (shape, print size,
// border and the pixel size the box was placed on) in its own namespace. A sidecar holds what
// other tools put there too: it is merged into, never replaced.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace Exiv2 {
class XmpData;
}

struct KeptCrop {
    double left = 0.0;   // fractions of the stored picture's width and height
    double top = 0.0;
    double right = 1.0;
    double bottom = 1.0;
    double angle = 0.0;  // degrees, as crs:CropAngle
    // This program's own fields; false when only another tool's crs fields were found.
    bool ownFields = false;
    int shape = 0;
    uint32_t preset = 0;
    uint32_t border = 0;
    uint32_t placedWidth = 0;   // the stored picture's size when the box was placed
    uint32_t placedHeight = 0;
};

// ---- XMP packets ------------------------------------------------------------------------------
// The crop a packet holds; nullopt when it holds none or cannot be read (error says which, when
// given). A rectangle outside 0..1 or turned inside out is no crop.
std::optional<KeptCrop> ReadKeptCrop(const std::string& packet, std::string* error = nullptr);
// packet with crop written into it (an empty packet starts a new one); every other field stays.
bool WriteKeptCrop(std::string& packet, const KeptCrop& crop, std::string* error = nullptr);
// packet without its crop fields; true also when it had none. Empty when nothing else is left.
bool RemoveKeptCrop(std::string& packet, std::string* error = nullptr);

// Takes the Camera Raw crop fields out of xmp; true when there were any. A saved picture is
// already cut: another tool must not crop it again.
bool EraseCrsCrop(Exiv2::XmpData& xmp);

// ---- sidecar files ----------------------------------------------------------------------------
// NAME.EXT.xmp of the photo at path.
std::string SidecarPathOf(const std::string& photo);
// The crop kept for the photo: from NAME.EXT.xmp, or from NAME.xmp that another tool wrote when
// there is none. nullopt without a sidecar or crop; a sidecar that cannot be read sets error.
std::optional<KeptCrop> ReadSidecarCrop(const std::string& photo, std::string* error = nullptr);
// Merges crop into NAME.EXT.xmp (made when missing; another tool's NAME.xmp is taken as its
// start), written beside it and renamed over it: a failed write leaves the old sidecar whole.
bool WriteSidecarCrop(const std::string& photo, const KeptCrop& crop, std::string* error = nullptr);
// Takes the crop out of NAME.EXT.xmp; the file goes when nothing else is left in it.
bool RemoveSidecarCrop(const std::string& photo, std::string* error = nullptr);
