#include "image/formats/RasterImageHEIF.h"

#include <libheif/heif.h>

#include <cstring>
#include <vector>

#include "image/PictureMetadata.h"
#include "image/formats/RasterFormatSupport.h"
#include "image/formats/RasterHeifSupport.h"
#include "image/formats/RasterMetadataBlocks.h"

namespace {

constexpr size_t kBoxHeaderSize = 8;
constexpr size_t kFtypBrandsStart = 16;   // size, "ftyp", major brand, minor version
constexpr size_t kBrandSize = 4;
constexpr const char* kAvifBrands[] = {"avif", "avis"};
constexpr const char* kHeifBrands[] = {"heic", "heix", "hevc", "hevx", "heim", "heis", "hevm", "hevs", "mif1", "msf1"};
constexpr const char* kXmpContentType = "application/rdf+xml";

template <size_t N>
bool IsOneOf(const uint8_t* brand, const char* const (&brands)[N]) {
    for (const char* known : brands) {
        if (std::memcmp(brand, known, kBrandSize) == 0) return true;
    }
    return false;
}

// Whether the leading ftyp box names one of brands as its major brand or among the
// compatible ones that the sniffed bytes hold.
template <size_t N>
bool FtypNames(const uint8_t* head, size_t count, const char* const (&brands)[N]) {
    if (count < kFtypBrandsStart || std::memcmp(head + 4, "ftyp", 4) != 0) return false;
    const uint32_t boxSize = Be32(head);
    if (boxSize < kFtypBrandsStart) return false;
    if (IsOneOf(head + kBoxHeaderSize, brands)) return true;
    const size_t end = boxSize < count ? boxSize : count;
    for (size_t at = kFtypBrandsStart; at + kBrandSize <= end; at += kBrandSize) {
        if (IsOneOf(head + at, brands)) return true;
    }
    return false;
}

std::vector<uint8_t> MetadataBlock(const heif_image_handle* handle, heif_item_id id) {
    std::vector<uint8_t> block(heif_image_handle_get_metadata_size(handle, id));
    if (block.empty() || heif_image_handle_get_metadata(handle, id, block.data()).code != heif_error_Ok) block.clear();
    return block;
}

void ReadMetadata(const heif_image_handle* handle, PictureMetadata& metadata) {
    const int count = heif_image_handle_get_number_of_metadata_blocks(handle, nullptr);
    std::vector<heif_item_id> ids(count > 0 ? size_t(count) : 0);
    if (!ids.empty()) heif_image_handle_get_list_of_metadata_block_IDs(handle, nullptr, ids.data(), count);
    for (const heif_item_id id : ids) {
        const char* type = heif_image_handle_get_metadata_type(handle, id);
        const char* content = heif_image_handle_get_metadata_content_type(handle, id);
        if (type && std::strcmp(type, "Exif") == 0 && metadata.exif.empty()) {
            const std::vector<uint8_t> block = MetadataBlock(handle, id);
            ExifFromOffsetBlock(block.data(), block.size(), metadata.exif);
        } else if (type && std::strcmp(type, "mime") == 0 && content && std::strcmp(content, kXmpContentType) == 0 &&
                   metadata.xmp.empty()) {
            metadata.xmp = MetadataBlock(handle, id);
        }
    }
    metadata.icc = HeifIccProfile(handle);
}

// What the file holds besides its primary 8-bit picture (RASTER_HEIF_EXTRA_ flags).
uint32_t ExtrasBesides(heif_context* context, const heif_image_handle* primary) {
    uint32_t extras = RASTER_HEIF_EXTRA_NONE;
    if (heif_image_handle_get_luma_bits_per_pixel(primary) > 8) extras |= RASTER_HEIF_EXTRA_DEEP_SAMPLES;
    if (heif_image_handle_has_depth_image(primary)) extras |= RASTER_HEIF_EXTRA_DEPTH_MAP;
    const int filter = LIBHEIF_AUX_IMAGE_FILTER_OMIT_ALPHA | LIBHEIF_AUX_IMAGE_FILTER_OMIT_DEPTH;
    if (heif_image_handle_get_number_of_auxiliary_images(primary, filter) > 0) extras |= RASTER_HEIF_EXTRA_AUXILIARY;
    if (heif_context_get_number_of_top_level_images(context) > 1) extras |= RASTER_HEIF_EXTRA_MORE_PICTURES;
    return extras;
}

}  // namespace

bool RasterImageHEIF::Decode(RasterFile* file) {
    RasterStreamBytes bytes;
    if (!OpenWholeFormatData(*this, file, bytes, &SniffHeif, "Not a HEIF file")) return false;
    m_foundType = SniffAvif(bytes.Data(), bytes.Size(), bytes.Size()) ? RASTER_FORMAT_AVIF : RASTER_FORMAT_HEIF;
    HeifContextPtr context;
    if (!OpenHeifContext(bytes.Data(), bytes.Size(), context, *this)) return false;
    HeifHandlePtr primary = PrimaryHeifImage(context.get(), *this);
    if (!primary) return false;
    if (!DecodeHeifImage(primary.get(), *this, m_foundType)) {
        Destroy();
        return false;
    }
    // The rotation is applied from the file's own boxes: an EXIF orientation in it only
    // describes what the camera did and is never applied again.
    if (m_metadata) ReadMetadata(primary.get(), *m_metadata);
    m_extras = ExtrasBesides(context.get(), primary.get());
    return true;
}

bool RasterImageHEIF::SniffHeif(const uint8_t* head, size_t count, uint64_t) {
    return FtypNames(head, count, kHeifBrands) || FtypNames(head, count, kAvifBrands);
}

bool RasterImageHEIF::SniffAvif(const uint8_t* head, size_t count, uint64_t) {
    return FtypNames(head, count, kAvifBrands);
}

uint32_t RasterImageHEIF::ExtrasLostOnSave(const uint8_t* data, size_t size) {
    RasterImage errors;
    HeifContextPtr context;
    if (!data || !OpenHeifContext(data, size, context, errors)) return RASTER_HEIF_EXTRA_NONE;
    HeifHandlePtr primary = PrimaryHeifImage(context.get(), errors);
    return primary ? ExtrasBesides(context.get(), primary.get()) : RASTER_HEIF_EXTRA_NONE;
}
