// What a photo carries beside its pixels: the metadata blocks as its file held them.
// A load fills one when asked to (RasterLoadOptions::metadata); the pixels never depend on it.
#pragma once

#include <cstdint>
#include <vector>

struct PictureMetadata {
    // The EXIF block as a TIFF structure ("II*\0" or "MM\0*" first), without the "Exif\0\0"
    // prefix JPEG puts before it.
    std::vector<uint8_t> exif;
    // The XMP packet (UTF-8 XML).
    std::vector<uint8_t> xmp;
    // The IPTC-IIM records (a sequence of 0x1C datasets).
    std::vector<uint8_t> iptc;
    // The ICC colour profile, whole.
    std::vector<uint8_t> icc;
    // A block the file carried could not be read and was left out.
    bool dropped = false;

    bool Empty() const { return exif.empty() && xmp.empty() && iptc.empty() && icc.empty(); }
    void Clear() { *this = PictureMetadata{}; }
};
