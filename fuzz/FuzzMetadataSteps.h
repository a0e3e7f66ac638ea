// The steps a metadata block goes through in the program, for the metadata fuzz target and
// for the test that replays its findings: read from a JPEG's header segments (or given
// directly as one kind of block), checked, printed, used for the colour conversion and
// written into a freshly encoded JPEG, which must still decode and carry what was kept.
// Returns false when one of those promises is broken; crashes are the sanitizers' to catch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "image/PictureMetadata.h"
#include "image/RasterFile.h"
#include "image/RasterImage.h"
#include "image/metadata/ColourConversion.h"
#include "image/metadata/MetadataBlocks.h"
#include "image/metadata/MetadataCheck.h"
#include "image/metadata/MetadataText.h"
#include "image/metadata/MetadataWriter.h"

namespace fuzzmeta {

// The first byte of an input that is no JPEG says which block the rest is.
enum BlockKind : uint8_t { kExif, kXmp, kIptc, kIcc, kPngRawProfile, kPhotoshop, kKinds };

inline void FillFromBlock(const uint8_t* data, size_t size, PictureMetadata& metadata) {
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xD8) {
        ReadJpegMetadata(data, size, metadata);
        return;
    }
    if (size == 0) return;
    const std::vector<uint8_t> payload(data + 1, data + size);
    switch (data[0] % kKinds) {
        case kExif: metadata.exif = payload; break;
        case kXmp: metadata.xmp = payload; break;
        case kIptc: metadata.iptc = payload; break;
        case kIcc: metadata.icc = payload; break;
        case kPngRawProfile: {
            static const char* const keys[] = {"Raw profile type exif", "Raw profile type iptc",
                                               "Raw profile type xmp", "Raw profile type icc"};
            const std::string text(payload.begin(), payload.end());
            AddPngTextChunk(keys[size % 4], text.c_str(), text.size(), metadata);
            break;
        }
        default: IptcFromPhotoshopResources(payload.data(), payload.size(), metadata.iptc); break;
    }
}

inline RasterImage SmallPicture() {
    RasterImage picture;
    if (!picture.Create(12, 8, 24, RASTER_FORMAT_JPG)) return picture;
    for (uint32_t y = 0; y < 8; ++y) {
        uint8_t* row = picture.RowPointer(y);
        for (uint32_t i = 0; i < 12 * 3; ++i) row[i] = uint8_t(i * 7 + y * 31);
    }
    return picture;
}

inline bool RunMetadataSteps(const uint8_t* data, size_t size) {
    PictureMetadata metadata;
    FillFromBlock(data, size, metadata);
    DropUnreadableMetadata(metadata);
    if (metadata.exif.size() > kMaxExifBytes || metadata.xmp.size() > kMaxXmpBytes ||
        metadata.iptc.size() > kMaxIptcBytes || metadata.icc.size() > kMaxIccBytes) {
        return false;
    }
    MetadataAsText(metadata);
    RasterImage picture = SmallPicture();
    RasterImage shown(picture);
    ConvertToScreenColours(shown, metadata.icc);

    RasterMemFile encoded;
    if (!encoded.Open() || !picture.Encode(&encoded, RASTER_FORMAT_JPG)) return true;   // memory
    std::vector<uint8_t> file(encoded.GetBuffer(), encoded.GetBuffer() + encoded.Size());
    if (!EmbedMetadata(file, picture, metadata)) return false;
    RasterImage back;
    if (!back.Decode(file.data(), uint32_t(file.size()), RASTER_FORMAT_JPG)) return false;
    PictureMetadata written;
    ReadJpegMetadata(file.data(), file.size(), written);
    return written.icc == metadata.icc;
}

}  // namespace fuzzmeta
