// EXIF Orientation: a small reader of the JPEG header segments and of the TIFF structure in
// the Exif APP1 block (only IFD0 is needed), and the matching geometric turn.
#include "image/formats/RasterExifOrientation.h"

#include <climits>
#include <cstring>
#include <vector>

#include "image/RasterFile.h"
#include "image/formats/RasterFormatSupport.h"
#include "image/RasterImage.h"

namespace {

constexpr uint8_t kMarkerPrefix = 0xFF;
constexpr uint8_t kMarkerSoi = 0xD8;
constexpr uint8_t kMarkerEoi = 0xD9;
constexpr uint8_t kMarkerSos = 0xDA;
constexpr uint8_t kMarkerApp1 = 0xE1;
constexpr uint8_t kMarkerTem = 0x01;
constexpr uint8_t kMarkerRst0 = 0xD0;
constexpr uint8_t kMarkerRst7 = 0xD7;

constexpr char kExifSignature[6] = {'E', 'x', 'i', 'f', '\0', '\0'};
constexpr uint16_t kTiffMagic = 42;
constexpr size_t kTiffHeaderSize = 8;
constexpr size_t kIfdEntrySize = 12;
constexpr uint16_t kTagOrientation = 0x0112;
constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTypeLong = 4;

// Markers that stand alone, without a length field.
bool IsStandaloneMarker(uint8_t marker) {
    return marker == kMarkerTem || marker == kMarkerSoi || (marker >= kMarkerRst0 && marker <= kMarkerRst7);
}

int ValidOrientation(uint32_t value) {
    return value >= RASTER_EXIF_ORIENTATION_UPRIGHT && value <= RASTER_EXIF_ORIENTATION_MAX
               ? int(value)
               : RASTER_EXIF_ORIENTATION_NONE;
}

// The TIFF structure that follows "Exif\0\0": byte order, magic 42, IFD0 offset, entries.
int OrientationFromTiff(const uint8_t* tiff, size_t size) {
    if (size < kTiffHeaderSize) return RASTER_EXIF_ORIENTATION_NONE;
    bool little;
    if (tiff[0] == 'I' && tiff[1] == 'I') {
        little = true;
    } else if (tiff[0] == 'M' && tiff[1] == 'M') {
        little = false;
    } else {
        return RASTER_EXIF_ORIENTATION_NONE;
    }
    auto u16 = [&](size_t offset) { return little ? Le16(tiff + offset) : Be16(tiff + offset); };
    auto u32 = [&](size_t offset) { return little ? Le32(tiff + offset) : Be32(tiff + offset); };
    if (u16(2) != kTiffMagic) return RASTER_EXIF_ORIENTATION_NONE;

    const uint64_t ifd = u32(4);
    if (ifd > size || size - ifd < 2) return RASTER_EXIF_ORIENTATION_NONE;
    const size_t first = size_t(ifd) + 2;
    // A count that promises more entries than the block holds is cut to what is there.
    size_t count = u16(size_t(ifd));
    const size_t fitting = (size - first) / kIfdEntrySize;
    if (count > fitting) count = fitting;

    for (size_t i = 0; i < count; ++i) {
        const size_t entry = first + i * kIfdEntrySize;
        if (u16(entry) != kTagOrientation) continue;
        const uint16_t type = u16(entry + 2);
        const uint32_t values = u32(entry + 4);
        // The value lies in the entry itself (a count of one; some writers say two shorts).
        if (type == kTypeShort && (values == 1 || values == 2)) return ValidOrientation(u16(entry + 8));
        if (type == kTypeLong && values == 1) return ValidOrientation(u32(entry + 8));
        return RASTER_EXIF_ORIENTATION_NONE;
    }
    return RASTER_EXIF_ORIENTATION_NONE;
}

// Same turn as the image is told, but into a new image, then a mirror or flip of that image;
// the result replaces image only when both steps worked.
bool TurnRightThen(RasterImage& image, bool (RasterImage::*finish)(bool, bool)) {
    RasterImage turned;
    if (!image.RotateRight(&turned)) return false;
    if (!(turned.*finish)(false, true)) {
        image.SetLastError(turned.LastErrorText());
        return false;
    }
    return image.TakeOver(turned);
}

// Half turn: flip (one row of scratch memory) first, so that a failing mirror can be undone.
bool HalfTurn(RasterImage& image) {
    if (!image.Flip()) return false;
    if (image.Mirror()) return true;
    image.Flip();
    return false;
}

}  // namespace

int ReadExifOrientation(RasterFile* file) {
    if (!file) return RASTER_EXIF_ORIENTATION_NONE;
    uint8_t soi[2];
    if (!ReadExact(file, soi, sizeof(soi)) || soi[0] != kMarkerPrefix || soi[1] != kMarkerSoi) {
        return RASTER_EXIF_ORIENTATION_NONE;
    }
    for (;;) {
        uint8_t prefix = 0;
        if (!ReadU8(file, prefix) || prefix != kMarkerPrefix) return RASTER_EXIF_ORIENTATION_NONE;
        uint8_t marker = kMarkerPrefix;
        while (marker == kMarkerPrefix) {  // fill bytes
            if (!ReadU8(file, marker)) return RASTER_EXIF_ORIENTATION_NONE;
        }
        if (marker == kMarkerSos || marker == kMarkerEoi) return RASTER_EXIF_ORIENTATION_NONE;
        if (IsStandaloneMarker(marker)) continue;

        uint16_t length = 0;
        if (!ReadBe16(file, length) || length < 2) return RASTER_EXIF_ORIENTATION_NONE;
        const size_t payload = size_t(length) - 2;
        if (marker == kMarkerApp1 && payload >= sizeof(kExifSignature)) {
            std::vector<uint8_t> segment(payload);
            if (!ReadExact(file, segment.data(), payload)) return RASTER_EXIF_ORIENTATION_NONE;
            if (std::memcmp(segment.data(), kExifSignature, sizeof(kExifSignature)) == 0) {
                return OrientationFromTiff(segment.data() + sizeof(kExifSignature),
                                           payload - sizeof(kExifSignature));
            }
            continue;  // another APP1 (XMP): keep looking
        }
        if (!file->Seek(int64_t(payload), RASTER_SEEK_CUR)) return RASTER_EXIF_ORIENTATION_NONE;
    }
}

int ReadExifOrientation(const uint8_t* data, size_t size) {
    if (!data) return RASTER_EXIF_ORIENTATION_NONE;
    // The Exif block sits at the start of the stream: a longer buffer is read only in part.
    const uint32_t readable = size > size_t(INT32_MAX) ? uint32_t(INT32_MAX) : uint32_t(size);
    // Only read through the memory file; it never writes to a buffer it does not own.
    RasterMemFile file(const_cast<uint8_t*>(data), readable);
    return ReadExifOrientation(&file);
}

int ReadExifOrientationFromFile(const char* path) {
    RasterIOFile file;
    if (!path || !file.Open(path, "rb")) return RASTER_EXIF_ORIENTATION_NONE;
    return ReadExifOrientation(&file);
}

bool ApplyExifOrientation(RasterImage& image, int orientation) {
    if (!image.IsValid()) return false;
    switch (orientation) {
        case 2: return image.Mirror();
        case 3: return HalfTurn(image);
        case 4: return image.Flip();
        case 5: return TurnRightThen(image, &RasterImage::Mirror);
        case 6: return image.RotateRight();
        case 7: return TurnRightThen(image, &RasterImage::Flip);
        case 8: return image.RotateLeft();
        default: return true;
    }
}
