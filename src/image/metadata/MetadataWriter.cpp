#include "image/metadata/MetadataWriter.h"

#include <exiv2/exiv2.hpp>
#include <zlib.h>

#include <cstring>
#include <string>

#include "image/metadata/ExifThumbnail.h"
#include "image/metadata/CropSidecar.h"
#include "image/metadata/Exiv2Setup.h"
#include "image/metadata/MetadataBlocks.h"
#include "image/RasterFile.h"

namespace {

constexpr uint16_t kOrientationUpright = 1;
// Side of the stand-in picture whose file exiv2 writes the JPEG segments into.
constexpr uint32_t kStandInSide = 8;
constexpr uint16_t kResolutionUnitInch = 2;

// Sets key to value only where the block already has it.
void UpdateIfPresent(Exiv2::ExifData& exif, const char* key, uint32_t value) {
    const auto found = exif.findKey(Exiv2::ExifKey(key));   // unlike operator[], makes no entry
    if (found != exif.end()) *found = value;
}

// The EXIF block brought in line with the picture it now describes.
void FitExifToPicture(Exiv2::ExifData& exif, const MetadataTarget& picture) {
    const uint32_t width = picture.width;
    const uint32_t height = picture.height;
    exif["Exif.Image.Orientation"] = kOrientationUpright;
    exif["Exif.Photo.PixelXDimension"] = width;
    exif["Exif.Photo.PixelYDimension"] = height;
    UpdateIfPresent(exif, "Exif.Image.ImageWidth", width);
    UpdateIfPresent(exif, "Exif.Image.ImageLength", height);
    exif["Exif.Image.XResolution"] = Exiv2::URational(uint32_t(picture.xDpi), 1);
    exif["Exif.Image.YResolution"] = Exiv2::URational(uint32_t(picture.yDpi), 1);
    exif["Exif.Image.ResolutionUnit"] = kResolutionUnitInch;

    Exiv2::ExifThumb thumb(exif);
    thumb.erase();
    std::vector<uint8_t> jpeg;
    if (picture.thumbnailSource && MakeExifThumbnail(*picture.thumbnailSource, jpeg)) {
        thumb.setJpegThumbnail(jpeg.data(), long(jpeg.size()), Exiv2::URational(uint32_t(picture.xDpi), 1),
                               Exiv2::URational(uint32_t(picture.yDpi), 1), kResolutionUnitInch);
    }
}

// The XMP properties that describe the pixels, and no Camera Raw crop (the written picture is
// what a crop gives: no tool may crop it again); true when one of them was there to change.
bool FitXmpToPicture(Exiv2::XmpData& xmp, const MetadataTarget& picture) {
    const auto has = [&xmp](const char* key) { return xmp.findKey(Exiv2::XmpKey(key)) != xmp.end(); };
    bool changed = false;
    const auto set = [&](const char* key, const std::string& value) {
        if (!has(key)) return;
        xmp[key] = value;
        changed = true;
    };
    set("Xmp.tiff.Orientation", std::to_string(kOrientationUpright));
    set("Xmp.tiff.ImageWidth", std::to_string(picture.width));
    set("Xmp.tiff.ImageLength", std::to_string(picture.height));
    set("Xmp.exif.PixelXDimension", std::to_string(picture.width));
    set("Xmp.exif.PixelYDimension", std::to_string(picture.height));
    set("Xmp.tiff.XResolution", std::to_string(picture.xDpi) + "/1");
    set("Xmp.tiff.YResolution", std::to_string(picture.yDpi) + "/1");
    set("Xmp.tiff.ResolutionUnit", std::to_string(kResolutionUnitInch));
    if (EraseCrsCrop(xmp)) changed = true;
    return changed;
}

// The PNG signature and the IHDR chunk, which every other chunk follows.
constexpr size_t kPngHeaderBytes = 8 + 4 + 4 + 13 + 4;
constexpr char kPngProfileName[] = "ICC profile";

void PutBe32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(value >> shift));
}

// Adds an iCCP chunk (the profile deflated) right after IHDR; false when it cannot be made.
bool InsertPngIccProfile(std::vector<uint8_t>& png, const std::vector<uint8_t>& icc) {
    if (png.size() < kPngHeaderBytes || std::memcmp(png.data() + 12, "IHDR", 4) != 0) return false;
    uLongf packedSize = compressBound(uLong(icc.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, icc.data(), uLong(icc.size()), Z_BEST_COMPRESSION) != Z_OK) return false;
    std::vector<uint8_t> chunk;
    const size_t dataLength = sizeof(kPngProfileName) + 1 + packedSize;   // name, NUL, method
    PutBe32(chunk, uint32_t(dataLength));
    const size_t typeAt = chunk.size();
    chunk.insert(chunk.end(), {'i', 'C', 'C', 'P'});
    chunk.insert(chunk.end(), kPngProfileName, kPngProfileName + sizeof(kPngProfileName));   // with its NUL
    chunk.push_back(0);   // deflate
    chunk.insert(chunk.end(), packed.begin(), packed.begin() + long(packedSize));
    PutBe32(chunk, uint32_t(crc32(0, chunk.data() + typeAt, uInt(chunk.size() - typeAt))));
    png.insert(png.begin() + long(kPngHeaderBytes), chunk.begin(), chunk.end());
    return true;
}

// Which blocks a pass writes.
struct BlockChoice {
    bool exif, xmp, iptc, icc;
};

void PutExif(Exiv2::Image& image, const std::vector<uint8_t>& block, const MetadataTarget& picture) {
    Exiv2::ExifData exif;
    const Exiv2::ByteOrder order = Exiv2::ExifParser::decode(exif, block.data(), uint32_t(block.size()));
    if (exif.empty()) throw Exiv2::Error(Exiv2::kerCorruptedMetadata);
    FitExifToPicture(exif, picture);
    // The camera's byte order stays, as the rest of its block does.
    if (order != Exiv2::invalidByteOrder) image.setByteOrder(order);
    image.setExifData(exif);
}

void PutXmp(Exiv2::Image& image, const std::vector<uint8_t>& block, const MetadataTarget& picture) {
    const std::string packet(block.begin(), block.end());
    Exiv2::XmpData xmp;
    if (Exiv2::XmpParser::decode(xmp, packet) != 0) throw Exiv2::Error(Exiv2::kerCorruptedMetadata);
    if (FitXmpToPicture(xmp, picture)) {
        image.setXmpData(xmp);
        image.writeXmpFromPacket(false);
    } else {
        // Nothing to change: the packet goes in as the file had it.
        image.setXmpPacket(packet);
        image.writeXmpFromPacket(true);
    }
}

void PutIptc(Exiv2::Image& image, const std::vector<uint8_t>& block) {
    Exiv2::IptcData iptc;
    if (Exiv2::IptcParser::decode(iptc, block.data(), uint32_t(block.size())) != 0) {
        throw Exiv2::Error(Exiv2::kerCorruptedMetadata);
    }
    image.setIptcData(iptc);
}

// One pass of exiv2 over the encoded file; throws when a chosen block cannot be written.
std::vector<uint8_t> WriteBlocks(const std::vector<uint8_t>& file, const MetadataTarget& picture,
                                 const PictureMetadata& metadata, BlockChoice choice) {
    std::unique_ptr<Exiv2::Image> image = OpenExiv2Image(file.data(), file.size());
    if (!image) throw Exiv2::Error(Exiv2::kerFileContainsUnknownImageType);
    image->readMetadata();
    if (choice.exif && !metadata.exif.empty()) PutExif(*image, metadata.exif, picture);
    if (choice.xmp && !metadata.xmp.empty()) PutXmp(*image, metadata.xmp, picture);
    if (choice.iptc && !metadata.iptc.empty()) PutIptc(*image, metadata.iptc);
    // exiv2 writes a PNG's iCCP chunk without the profile name that libpng (and so most
    // readers) require: the PNG's chunk is added here instead.
    const bool png = image->imageType() == Exiv2::ImageType::png;
    if (choice.icc && !metadata.icc.empty() && !png) {
        Exiv2::DataBuf profile(metadata.icc.data(), long(metadata.icc.size()));
        image->setIccProfile(profile, false);
    }
    image->writeMetadata();
    Exiv2::BasicIo& io = image->io();
    io.seek(0, Exiv2::BasicIo::beg);
    const Exiv2::DataBuf written = io.read(long(io.size()));
    if (written.size_ <= 0 || size_t(written.size_) < file.size() / 2) throw Exiv2::Error(Exiv2::kerImageWriteFailed);
    std::vector<uint8_t> result(written.pData_, written.pData_ + written.size_);
    if (choice.icc && !metadata.icc.empty() && png && !InsertPngIccProfile(result, metadata.icc)) {
        throw Exiv2::Error(Exiv2::kerImageWriteFailed);
    }
    return result;
}

}  // namespace

bool FormatKeepsMetadata(uint32_t type) {
    return type == RASTER_FORMAT_JPG || type == RASTER_FORMAT_PNG || type == RASTER_FORMAT_HEIF ||
           type == RASTER_FORMAT_AVIF || type == RASTER_FORMAT_JXL;
}

PictureMetadata FitMetadataBlocks(const RasterImage& image, PictureMetadata& metadata) {
    EnsureExiv2Ready();
    const MetadataTarget picture = MetadataTarget::Of(image);
    PictureMetadata fitted;
    fitted.icc = metadata.icc;
    try {
        if (!metadata.exif.empty()) {
            Exiv2::ExifData exif;
            const Exiv2::ByteOrder order =
                Exiv2::ExifParser::decode(exif, metadata.exif.data(), uint32_t(metadata.exif.size()));
            if (exif.empty()) throw Exiv2::Error(Exiv2::kerCorruptedMetadata);
            FitExifToPicture(exif, picture);
            Exiv2::Blob block;
            Exiv2::ExifParser::encode(block, order == Exiv2::invalidByteOrder ? Exiv2::littleEndian : order, exif);
            fitted.exif.assign(block.begin(), block.end());
        }
    } catch (...) {
        metadata.exif.clear();
        metadata.dropped = true;
    }
    try {
        if (!metadata.xmp.empty()) {
            const std::string packet(metadata.xmp.begin(), metadata.xmp.end());
            Exiv2::XmpData xmp;
            if (Exiv2::XmpParser::decode(xmp, packet) != 0) throw Exiv2::Error(Exiv2::kerCorruptedMetadata);
            std::string written = packet;
            if (FitXmpToPicture(xmp, picture) && Exiv2::XmpParser::encode(written, xmp) != 0) {
                throw Exiv2::Error(Exiv2::kerCorruptedMetadata);
            }
            fitted.xmp.assign(written.begin(), written.end());
        }
    } catch (...) {
        metadata.xmp.clear();
        metadata.dropped = true;
    }
    return fitted;
}

bool EmbedMetadata(std::vector<uint8_t>& file, const RasterImage& picture, PictureMetadata& metadata) {
    return EmbedMetadata(file, MetadataTarget::Of(picture), metadata);
}

bool EmbedMetadata(std::vector<uint8_t>& file, const MetadataTarget& picture, PictureMetadata& metadata) {
    EnsureExiv2Ready();
    if (metadata.Empty()) return true;
    try {
        file = WriteBlocks(file, picture, metadata, {true, true, true, true});
        return true;
    } catch (...) {
        // One of the blocks cannot be written: each is tried alone, and those that fail stay out.
    }
    std::vector<uint8_t>* blocks[] = {&metadata.exif, &metadata.xmp, &metadata.iptc, &metadata.icc};
    BlockChoice kept{false, false, false, false};
    bool* choices[] = {&kept.exif, &kept.xmp, &kept.iptc, &kept.icc};
    for (size_t i = 0; i < 4; ++i) {
        if (blocks[i]->empty()) continue;
        *choices[i] = true;
        try {
            WriteBlocks(file, picture, metadata, kept);
        } catch (...) {
            *choices[i] = false;
            blocks[i]->clear();
            metadata.dropped = true;
        }
    }
    try {
        file = WriteBlocks(file, picture, metadata, kept);
        return true;
    } catch (...) {
        // Not a file exiv2 can write into at all.
        return false;
    }
}

void JpegMetadataSegments(const RasterImage& picture, PictureMetadata& metadata, std::vector<uint8_t>& segments) {
    segments.clear();
    if (metadata.Empty()) return;
    // exiv2 writes into a file: a tiny stand-in JPEG takes the place of the picture's. The
    // blocks are fitted to the picture itself (size, dpi, thumbnail), not to the stand-in.
    RasterImage standIn;
    if (!standIn.Create(kStandInSide, kStandInSide, 24, RASTER_FORMAT_JPG)) return;
    standIn.FillColor(0);
    RasterMemFile encoded;
    if (!encoded.Open() || !standIn.Encode(&encoded, RASTER_FORMAT_JPG)) return;
    std::vector<uint8_t> file(encoded.GetBuffer(), encoded.GetBuffer() + encoded.Size());
    if (!EmbedMetadata(file, picture, metadata)) {
        metadata.dropped = true;
        return;
    }
    // The segments exiv2 added, up to the first scan.
    size_t at = 2;
    while (at + 4 <= file.size() && file[at] == 0xFF && file[at + 1] != 0xDA) {
        const int marker = file[at + 1];
        const size_t length = (size_t(file[at + 2]) << 8) | file[at + 3];
        if (length < 2 || at + 2 + length > file.size()) break;
        if (marker == kJpegApp1 || marker == kJpegApp2 || marker == kJpegApp13) {
            segments.insert(segments.end(), file.begin() + long(at), file.begin() + long(at + 2 + length));
        }
        at += 2 + length;
    }
}
