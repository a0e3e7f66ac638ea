#include "image/formats/RasterHeifSupport.h"

#include <libheif/heif.h>

#include <cstdio>

#include "image/formats/RasterHeifLayout.h"
#include "image/formats/RasterInterleavedRows.h"

namespace {

// libheif's own limit on a side (its default, which its tools use): it also bounds the size an
// HEVC or AV1 stream claims inside the file, which libheif allocates before comparing it with
// the stated size. The stated area is checked against the core's memory limit.
constexpr int kMaxHeifSide = 32768;
constexpr int kEightBits = 8;

struct HeifOptionsDeleter {
    void operator()(heif_decoding_options* options) const { heif_decoding_options_free(options); }
};

bool Stopped(RasterImage& image) {
    if (!image.IsEscaped()) return false;
    image.SetLastError("HEIF: decoding stopped");
    return true;
}

// Copies libheif's interleaved rows (top-down) into the image's bottom-up storage.
bool CopyInterleaved(const heif_image* picture, bool alpha, RasterImage& image, uint32_t type) {
    const int width = heif_image_get_width(picture, heif_channel_interleaved);
    const int height = heif_image_get_height(picture, heif_channel_interleaved);
    const int bits = heif_image_get_bits_per_pixel_range(picture, heif_channel_interleaved);
    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(picture, heif_channel_interleaved, &stride);
    if (!plane || width <= 0 || height <= 0 || bits < kEightBits || bits > 16) {
        image.SetLastError("HEIF: the decoded picture has no usable pixels");
        return false;
    }
    if (!RasterImage::FitsMemoryLimit(uint32_t(width), uint32_t(height), 32)) {
        image.SetLastError(RasterTooLargeFor(uint64_t(width), uint64_t(height), 32).text);
        return false;
    }
    if (!image.Create(uint32_t(width), uint32_t(height), 24, type)) return false;
    if (alpha && !image.CreateAlpha()) return false;
    const uint32_t channels = alpha ? 4 : 3;
    for (uint32_t y = 0; y < uint32_t(height); ++y) {
        const uint8_t* row = plane + size_t(y) * size_t(stride);
        const uint32_t stored = uint32_t(height) - 1 - y;
        uint8_t* alphaRow = alpha ? image.AlphaPointer(0, stored) : nullptr;
        if (bits == kEightBits) {
            PutInterleavedRow(row, uint32_t(width), channels, image.RowPointer(stored), alphaRow);
        } else {
            // Little-endian words on a little-endian host; libheif aligns its rows.
            PutInterleavedRow16(reinterpret_cast<const uint16_t*>(row), uint32_t(width), channels, uint32_t(bits),
                                image.RowPointer(stored), alphaRow);
        }
    }
    return true;
}

}  // namespace

bool FailWithHeifError(RasterImage& image, const heif_error& error, const char* what) {
    char text[RASTER_ERROR_TEXT_SIZE];
    std::snprintf(text, sizeof(text), "%s: %s", what, error.message ? error.message : "libheif error");
    image.SetLastError(text);
    return false;
}

void HeifImageDeleter::operator()(heif_image* picture) const { heif_image_release(picture); }
void HeifContextDeleter::operator()(heif_context* context) const { heif_context_free(context); }
void HeifHandleDeleter::operator()(const heif_image_handle* handle) const { heif_image_handle_release(handle); }

bool OpenHeifContext(const uint8_t* data, size_t size, HeifContextPtr& context, RasterImage& image) {
    if (!HeifItemsInsideFile(data, size)) {
        image.SetLastError("HEIF: damaged file: an item lies past the end of the file");
        return false;
    }
    context.reset(heif_context_alloc());
    if (!context) {
        image.SetLastError("HEIF: not enough memory");
        return false;
    }
    heif_context_set_maximum_image_size_limit(context.get(), kMaxHeifSide);
    const heif_error error = heif_context_read_from_memory_without_copy(context.get(), data, size, nullptr);
    if (error.code != heif_error_Ok) return FailWithHeifError(image, error, "HEIF: damaged file");
    return true;
}

HeifHandlePtr PrimaryHeifImage(heif_context* context, RasterImage& image) {
    heif_image_handle* handle = nullptr;
    const heif_error error = heif_context_get_primary_image_handle(context, &handle);
    if (error.code != heif_error_Ok || !handle) {
        FailWithHeifError(image, error, "HEIF: no picture in the file");
        return nullptr;
    }
    return HeifHandlePtr(handle);
}

std::vector<uint8_t> HeifIccProfile(const heif_image_handle* handle) {
    const heif_color_profile_type profile = heif_image_handle_get_color_profile_type(handle);
    if (profile != heif_color_profile_type_prof && profile != heif_color_profile_type_rICC) return {};
    std::vector<uint8_t> icc(heif_image_handle_get_raw_color_profile_size(handle));
    if (!icc.empty() && heif_image_handle_get_raw_color_profile(handle, icc.data()).code != heif_error_Ok) icc.clear();
    return icc;
}

bool DecodeHeifImage(const heif_image_handle* handle, RasterImage& image, uint32_t type) {
    const int width = heif_image_handle_get_width(handle);
    const int height = heif_image_handle_get_height(handle);
    const bool alpha = heif_image_handle_has_alpha_channel(handle) != 0;
    const bool deep = heif_image_handle_get_luma_bits_per_pixel(handle) > kEightBits;
    // libheif's interleaved picture is the largest block it makes: up to 8 bytes a pixel.
    if (width <= 0 || height <= 0 || !RasterImage::FitsMemoryLimit(uint32_t(width), uint32_t(height), 64)) {
        image.SetLastError(width <= 0 || height <= 0 ? "HEIF: the picture has no size" : RasterTooLargeFor(uint64_t(width), uint64_t(height), 64).text);
        return false;
    }
    const heif_chroma chroma = deep ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
                                    : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
    std::unique_ptr<heif_decoding_options, HeifOptionsDeleter> options(heif_decoding_options_alloc());
    if (!options) {
        image.SetLastError("HEIF: not enough memory");
        return false;
    }
    if (Stopped(image)) return false;
    heif_image* decoded = nullptr;
    const heif_error error = heif_decode_image(handle, &decoded, heif_colorspace_RGB, chroma, options.get());
    HeifImagePtr picture(decoded);
    if (error.code != heif_error_Ok || !picture)
        return FailWithHeifError(image, error, "HEIF: the picture cannot be decoded");
    if (Stopped(image)) return false;
    if (!CopyInterleaved(picture.get(), alpha, image, type)) return false;
    if (alpha && heif_image_handle_is_premultiplied_alpha(handle)) UnpremultiplyPicture(image);
    return true;
}
