#include "image/formats/RasterMetadataBlocks.h"

#include <cstring>

#include "image/formats/RasterFormatSupport.h"

namespace {
constexpr size_t kOffsetFieldSize = 4;
constexpr uint8_t kExifPrefix[] = {'E', 'x', 'i', 'f', 0, 0};
}  // namespace

bool ExifFromOffsetBlock(const uint8_t* data, size_t size, std::vector<uint8_t>& exif) {
    exif.clear();
    if (!data || size < kOffsetFieldSize) return false;
    const uint64_t start = uint64_t(kOffsetFieldSize) + Be32(data);
    if (start >= size) return false;
    // Some writers count the offset to an "Exif\0\0" prefix instead of the TIFF header.
    ExifWithoutPrefix(data + start, size_t(size - start), exif);
    return !exif.empty();
}

void ExifWithoutPrefix(const uint8_t* data, size_t size, std::vector<uint8_t>& exif) {
    exif.clear();
    if (!data) return;
    if (size >= sizeof(kExifPrefix) && std::memcmp(data, kExifPrefix, sizeof(kExifPrefix)) == 0) {
        data += sizeof(kExifPrefix);
        size -= sizeof(kExifPrefix);
    }
    exif.assign(data, data + size);
}
