// HEIF/HEIC and AVIF writing through libheif: HEVC (x265) for HEIF, AV1 (aom) for AVIF, lossy
// at a quality derived from the image's JPEG quality, with the alpha plane when the picture
// has one and the EXIF, XMP and ICC blocks the caller hands over.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include <libheif/heif.h>

#include "image/PictureMetadata.h"
#include "image/formats/RasterEncodeRows.h"
#include "image/formats/RasterFormatSupport.h"
#include "image/formats/RasterHeifSupport.h"
#include "image/formats/RasterImageHEIF.h"

namespace {

// libheif's own limit on a side, which its reader applies too.
constexpr uint32_t kMaxHeifSide = 32768;
constexpr int kEightBits = 8;

struct EncoderDeleter {
    void operator()(heif_encoder* encoder) const { heif_encoder_release(encoder); }
};
struct OptionsDeleter {
    void operator()(heif_encoding_options* options) const { heif_encoding_options_free(options); }
};

heif_error WriteToFile(heif_context*, const void* data, size_t size, void* target) {
    auto* file = static_cast<RasterFile*>(target);
    if (size == 0 || file->Write(data, 1, size) == size)
        return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
    return heif_error{heif_error_Encoding_error, heif_suberror_Cannot_write_output_data,
                      "the file could not be written"};
}

// The picture as libheif's interleaved 8-bit RGB(A) image.
heif_image* MakeHeifPicture(const RasterImage& image, bool alpha) {
    const int width = int(image.GetWidth());
    const int height = int(image.GetHeight());
    heif_image* picture = nullptr;
    const heif_chroma chroma = alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB;
    if (heif_image_create(width, height, heif_colorspace_RGB, chroma, &picture).code != heif_error_Ok) return nullptr;
    HeifImagePtr owned(picture);
    if (heif_image_add_plane(picture, heif_channel_interleaved, width, height, kEightBits).code != heif_error_Ok) {
        return nullptr;
    }
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(picture, heif_channel_interleaved, &stride);
    if (!plane) return nullptr;
    for (uint32_t y = 0; y < image.GetHeight(); ++y)
        GetInterleavedRow(image, y, alpha, plane + size_t(y) * size_t(stride));
    return owned.release();
}

// Adds the blocks to the written image; a block libheif refuses is left out.
void AddMetadata(heif_context* context, const heif_image_handle* handle, const PictureMetadata& metadata) {
    if (!metadata.exif.empty()) {
        heif_context_add_exif_metadata(context, handle, metadata.exif.data(), int(metadata.exif.size()));
    }
    if (!metadata.xmp.empty())
        heif_context_add_XMP_metadata(context, handle, metadata.xmp.data(), int(metadata.xmp.size()));
}

}  // namespace

int RasterImageHEIF::QualityFromJpeg(float jpegQuality) {
    // libvips pairs JPEG quality 75 with HEIF quality 50 in its defaults: that pair is the anchor,
    // and the map is linear on each side of it up to 0 -> 0 and 100 -> 100.
    constexpr float kJpegAnchor = 75.0f;
    constexpr float kHeifAnchor = 50.0f;
    const float q = std::clamp(jpegQuality, 0.0f, 100.0f);
    const float heif = q <= kJpegAnchor
                           ? q * kHeifAnchor / kJpegAnchor
                           : kHeifAnchor + (q - kJpegAnchor) * (100.0f - kHeifAnchor) / (100.0f - kJpegAnchor);
    return int(std::lround(heif));
}

bool RasterImageHEIF::Encode(RasterFile* file) {
    if (!CanEncode(*this, file)) return false;
    const bool avif = GetType() == RASTER_FORMAT_AVIF;
    const heif_compression_format compression = avif ? heif_compression_AV1 : heif_compression_HEVC;
    if (!heif_have_encoder_for_format(compression)) {
        SetLastError(avif ? "AVIF cannot be saved: libheif has no AV1 encoder (aom) on this system"
                          : "HEIF cannot be saved: libheif has no HEVC encoder (x265) on this system");
        return false;
    }
    if (GetWidth() > kMaxHeifSide || GetHeight() > kMaxHeifSide) {
        SetLastError("HEIF pictures can be at most 32768 pixels wide and high");
        return false;
    }
    const bool alpha = PictureHasTransparency(*this);
    if (!RasterImage::FitsMemoryLimit(GetWidth(), GetHeight(), alpha ? 32 : 24)) {
        SetLastError("RASTER_MAX_MEMORY exceeded");
        return false;
    }
    HeifContextPtr context(heif_context_alloc());
    std::unique_ptr<heif_encoding_options, OptionsDeleter> options(heif_encoding_options_alloc());
    if (!context || !options) {
        SetLastError("HEIF: not enough memory");
        return false;
    }
    heif_encoder* rawEncoder = nullptr;
    heif_error error = heif_context_get_encoder_for_format(context.get(), compression, &rawEncoder);
    std::unique_ptr<heif_encoder, EncoderDeleter> encoder(rawEncoder);
    if (error.code != heif_error_Ok || !encoder)
        return FailWithHeifError(*this, error, "HEIF: the encoder could not be set up");
    heif_encoder_set_lossy_quality(encoder.get(), QualityFromJpeg(GetJpegQuality()));
    HeifImagePtr picture(MakeHeifPicture(*this, alpha));
    if (!picture) {
        SetLastError("HEIF: not enough memory");
        return false;
    }
    if (m_metadataSource && !m_metadataSource->icc.empty()) {
        heif_image_set_raw_color_profile(picture.get(), "prof", m_metadataSource->icc.data(),
                                         m_metadataSource->icc.size());
    }
    options->save_alpha_channel = alpha;
    heif_image_handle* rawHandle = nullptr;
    error = heif_context_encode_image(context.get(), picture.get(), encoder.get(), options.get(), &rawHandle);
    HeifHandlePtr handle(rawHandle);
    if (error.code != heif_error_Ok || !handle)
        return FailWithHeifError(*this, error, "HEIF: the picture could not be encoded");
    if (m_metadataSource) AddMetadata(context.get(), handle.get(), *m_metadataSource);
    heif_writer writer{1, WriteToFile};
    error = heif_context_write(context.get(), &writer, file);
    if (error.code != heif_error_Ok) return FailWithHeifError(*this, error, "Error saving HEIF file");
    return true;
}
