#include "image/formats/RasterHeifThumbnail.h"

#include <libheif/heif.h>

#include <algorithm>
#include <vector>

#include "image/formats/RasterHeifSupport.h"

namespace {

uint32_t LongerSide(const heif_image_handle* handle) {
    return uint32_t(std::max(0, std::max(heif_image_handle_get_width(handle), heif_image_handle_get_height(handle))));
}

// The thumbnail to decode: the smallest at least minSide long, else the largest.
HeifHandlePtr PickThumbnail(const heif_image_handle* primary, uint32_t minSide) {
    const int count = heif_image_handle_get_number_of_thumbnails(primary);
    if (count <= 0) return nullptr;
    std::vector<heif_item_id> ids(static_cast<size_t>(count));
    const int listed = heif_image_handle_get_list_of_thumbnail_IDs(primary, ids.data(), count);
    HeifHandlePtr best;
    for (int i = 0; i < listed; ++i) {
        heif_image_handle* candidate = nullptr;
        if (heif_image_handle_get_thumbnail(primary, ids[size_t(i)], &candidate).code != heif_error_Ok || !candidate) continue;
        HeifHandlePtr held(candidate);
        if (!best) {
            best = std::move(held);
            continue;
        }
        const uint32_t side = LongerSide(held.get());
        const uint32_t bestSide = LongerSide(best.get());
        const bool bigEnough = side >= minSide;
        const bool better = bestSide < minSide ? side > bestSide : bigEnough && side < bestSide;
        if (better) best = std::move(held);
    }
    return best;
}

}  // namespace

bool DecodeHeifThumbnail(const uint8_t* data, size_t size, uint32_t minSide, uint32_t& width, uint32_t& height,
                         RasterImage& image, std::vector<uint8_t>* icc) {
    RasterImage scratch;
    scratch.SetEscape(image.GetInfo().escape);
    HeifContextPtr context;
    if (!data || !OpenHeifContext(data, size, context, scratch)) return false;
    HeifHandlePtr primary = PrimaryHeifImage(context.get(), scratch);
    if (!primary) return false;
    const int primaryWidth = heif_image_handle_get_width(primary.get());
    const int primaryHeight = heif_image_handle_get_height(primary.get());
    if (primaryWidth <= 0 || primaryHeight <= 0) return false;
    HeifHandlePtr thumbnail = PickThumbnail(primary.get(), minSide);
    if (!thumbnail || !DecodeHeifImage(thumbnail.get(), scratch, RASTER_FORMAT_HEIF)) return false;
    if (!image.TakeOver(scratch)) return false;
    width = uint32_t(primaryWidth);
    height = uint32_t(primaryHeight);
    if (icc) {
        *icc = HeifIccProfile(thumbnail.get());
        if (icc->empty()) *icc = HeifIccProfile(primary.get());
    }
    return true;
}
