// WebP writing through libwebp: lossy at the image's quality setting (the one JPEG uses), the
// alpha plane kept losslessly beside the colour when the picture has one.
#include <webp/encode.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "image/formats/RasterFormatSupport.h"
#include "image/formats/RasterImageWEBP.h"

namespace {

// The bitstream's size fields hold at most 14 bits.
constexpr uint32_t kMaxWebpSide = WEBP_MAX_DIMENSION;
constexpr float kMaxQuality = 100.0f;

int WriteToFile(const uint8_t* data, size_t size, const WebPPicture* picture) {
    auto* file = static_cast<RasterFile*>(picture->custom_ptr);
    return size == 0 || file->Write(data, 1, size) == size;
}

const char* EncodeErrorText(WebPEncodingError error) {
    switch (error) {
        case VP8_ENC_ERROR_OUT_OF_MEMORY:
        case VP8_ENC_ERROR_BITSTREAM_OUT_OF_MEMORY:
            return "WebP: not enough memory to save the picture";
        case VP8_ENC_ERROR_BAD_WRITE:
            return "Error saving WebP file";
        case VP8_ENC_ERROR_BAD_DIMENSION:
            return "WebP pictures can be at most 16383 pixels wide and high";
        default:
            return "Error saving WebP file";
    }
}

// Blue, green, red (and alpha) of stored pixel x of row y; palette pictures give the colour
// their index stands for, their transparent index alpha 0.
inline void PutPixel(const RasterImage& image, uint32_t x, uint32_t y, bool withAlpha, uint8_t* out) {
    if (image.GetBpp() == 24) {
        const uint8_t* bgr = image.PixelPointer(x, y);
        out[0] = bgr[0];
        out[1] = bgr[1];
        out[2] = bgr[2];
        if (withAlpha) out[3] = *image.AlphaPointer(x, y);
        return;
    }
    const RasterRgbQuad colour = image.GetPixelColor(x, y, false);
    out[0] = colour.rgbBlue;
    out[1] = colour.rgbGreen;
    out[2] = colour.rgbRed;
    if (!withAlpha) return;
    const bool keyed = image.IsTransparent() && image.GetPixelIndex(x, y) == image.GetTransparentIndex();
    const uint8_t* plane = image.AlphaPointer(x, y);
    out[3] = keyed ? 0 : plane ? *plane : RASTER_ALPHA_OPAQUE;
}

// The picture's rows top-down, blue, green, red and, with alpha, alpha interleaved.
std::vector<uint8_t> TopDownPixels(const RasterImage& image, bool withAlpha) {
    const uint32_t width = image.GetWidth();
    const uint32_t height = image.GetHeight();
    const uint32_t channels = withAlpha ? 4 : 3;
    std::vector<uint8_t> pixels(size_t(width) * channels * height);
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* out = pixels.data() + size_t(y) * width * channels;
        for (uint32_t x = 0; x < width; ++x, out += channels) PutPixel(image, x, height - 1 - y, withAlpha, out);
    }
    return pixels;
}

bool EncodePicture(RasterImage& image, RasterFile* file) {
    const uint32_t width = image.GetWidth();
    const uint32_t height = image.GetHeight();
    if (width > kMaxWebpSide || height > kMaxWebpSide) {
        image.SetLastError(EncodeErrorText(VP8_ENC_ERROR_BAD_DIMENSION));
        return false;
    }
    WebPConfig config;
    if (!WebPConfigInit(&config)) {
        image.SetLastError("WebP: the encoder could not be set up");
        return false;
    }
    config.quality = std::clamp(image.GetJpegQuality(), 0.0f, kMaxQuality);
    WebPPicture picture;
    if (!WebPPictureInit(&picture)) {
        image.SetLastError("WebP: the encoder could not be set up");
        return false;
    }
    picture.width = int(width);
    picture.height = int(height);
    const bool withAlpha = image.HasAlpha() || (image.GetBpp() < 24 && image.IsTransparent());
    const std::vector<uint8_t> pixels = TopDownPixels(image, withAlpha);
    const int imported = withAlpha ? WebPPictureImportBGRA(&picture, pixels.data(), int(width * 4))
                                   : WebPPictureImportBGR(&picture, pixels.data(), int(width * 3));
    if (!imported) {
        WebPPictureFree(&picture);
        image.SetLastError(EncodeErrorText(VP8_ENC_ERROR_OUT_OF_MEMORY));
        return false;
    }
    picture.writer = WriteToFile;
    picture.custom_ptr = file;
    const bool ok = WebPEncode(&config, &picture) != 0;
    if (!ok) image.SetLastError(EncodeErrorText(picture.error_code));
    WebPPictureFree(&picture);
    return ok;
}

}  // namespace

bool RasterImageWEBP::Encode(RasterFile* file) {
    if (!CanEncode(*this, file)) return false;
    return EncodePicture(*this, file);
}
