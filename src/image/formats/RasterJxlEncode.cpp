// JPEG XL writing through libjxl: 8-bit samples, the alpha plane as an extra channel, the
// distance derived from the image's JPEG quality (lossless at 100), effort 7 as cjxl's default,
// on libjxl's thread pool. EXIF and XMP go in boxes ahead of the picture, the ICC profile into
// the code stream's colour encoding.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include <jxl/encode.h>
#include <jxl/thread_parallel_runner.h>
#include <lcms2.h>

#include "image/PictureMetadata.h"
#include "image/formats/RasterEncodeRows.h"
#include "image/formats/RasterFormatSupport.h"
#include "image/formats/RasterImageJXL.h"

namespace {

constexpr int64_t kDefaultEffort = 7;
constexpr uint32_t kEightBits = 8;
constexpr size_t kOutputChunk = size_t(1) << 20;
// The Exif box starts with the offset of the TIFF header within it.
constexpr uint8_t kExifOffsetZero[4] = {0, 0, 0, 0};

struct EncoderDeleter {
    void operator()(JxlEncoder* encoder) const { JxlEncoderDestroy(encoder); }
};
struct RunnerDeleter {
    void operator()(void* runner) const { JxlThreadParallelRunnerDestroy(runner); }
};

// Whether the profile describes RGB colours, the only kind an RGB picture may be tagged with.
bool IsRgbProfile(const std::vector<uint8_t>& icc) {
    cmsHPROFILE profile = cmsOpenProfileFromMem(icc.data(), cmsUInt32Number(icc.size()));
    if (!profile) return false;
    const bool rgb = cmsGetColorSpace(profile) == cmsSigRgbData;
    cmsCloseProfile(profile);
    return rgb;
}

bool SetColour(JxlEncoder* encoder, const PictureMetadata* metadata) {
    if (metadata && !metadata->icc.empty() && IsRgbProfile(metadata->icc) &&
        JxlEncoderSetICCProfile(encoder, metadata->icc.data(), metadata->icc.size()) == JXL_ENC_SUCCESS) {
        return true;
    }
    JxlColorEncoding srgb;
    JxlColorEncodingSetToSRGB(&srgb, JXL_FALSE);
    return JxlEncoderSetColorEncoding(encoder, &srgb) == JXL_ENC_SUCCESS;
}

bool AddBoxes(JxlEncoder* encoder, const PictureMetadata& metadata) {
    if (metadata.exif.empty() && metadata.xmp.empty()) return true;
    if (JxlEncoderUseBoxes(encoder) != JXL_ENC_SUCCESS) return false;
    if (!metadata.exif.empty()) {
        std::vector<uint8_t> box(kExifOffsetZero, kExifOffsetZero + sizeof(kExifOffsetZero));
        box.insert(box.end(), metadata.exif.begin(), metadata.exif.end());
        if (JxlEncoderAddBox(encoder, "Exif", box.data(), box.size(), JXL_FALSE) != JXL_ENC_SUCCESS) return false;
    }
    if (!metadata.xmp.empty() &&
        JxlEncoderAddBox(encoder, "xml ", metadata.xmp.data(), metadata.xmp.size(), JXL_FALSE) != JXL_ENC_SUCCESS) {
        return false;
    }
    JxlEncoderCloseBoxes(encoder);
    return true;
}

// Drains the encoder's output into the file.
bool WriteOutput(JxlEncoder* encoder, RasterFile* file) {
    std::vector<uint8_t> chunk(kOutputChunk);
    for (;;) {
        uint8_t* next = chunk.data();
        size_t room = chunk.size();
        const JxlEncoderStatus status = JxlEncoderProcessOutput(encoder, &next, &room);
        const size_t filled = chunk.size() - room;
        if (filled > 0 && file->Write(chunk.data(), 1, filled) != filled) return false;
        if (status == JXL_ENC_SUCCESS) return true;
        if (status != JXL_ENC_NEED_MORE_OUTPUT) return false;
    }
}

}  // namespace

float RasterImageJXL::DistanceFromJpeg(float jpegQuality) {
    // cjxl's documented map from its -q to the distance (-d), 100 being lossless (distance 0).
    const float q = std::clamp(jpegQuality, 0.0f, 100.0f);
    if (q >= 100.0f) return 0.0f;
    if (q >= 30.0f) return 0.1f + (100.0f - q) * 0.09f;
    return 6.4f + std::pow(2.5f, (30.0f - q) / 5.0f) / 6.25f;
}

bool RasterImageJXL::Encode(RasterFile* file) {
    if (!CanEncode(*this, file)) return false;
    const uint32_t width = GetWidth();
    const uint32_t height = GetHeight();
    const bool alpha = PictureHasTransparency(*this);
    const uint32_t channels = alpha ? 4 : 3;
    if (!RasterImage::FitsMemoryLimit(width, height, channels * kEightBits)) {
        SetLastError("RASTER_MAX_MEMORY exceeded");
        return false;
    }
    std::unique_ptr<uint8_t[]> pixels(new (std::nothrow) uint8_t[size_t(width) * height * channels]);
    if (!pixels) {
        SetLastError("JPEG XL: not enough memory to save the picture");
        return false;
    }
    for (uint32_t y = 0; y < height; ++y)
        GetInterleavedRow(*this, y, alpha, pixels.get() + size_t(y) * width * channels);

    std::unique_ptr<JxlEncoder, EncoderDeleter> encoder(JxlEncoderCreate(nullptr));
    std::unique_ptr<void, RunnerDeleter> runner(
        JxlThreadParallelRunnerCreate(nullptr, JxlThreadParallelRunnerDefaultNumWorkerThreads()));
    if (!encoder || !runner ||
        JxlEncoderSetParallelRunner(encoder.get(), JxlThreadParallelRunner, runner.get()) != JXL_ENC_SUCCESS) {
        SetLastError("JPEG XL: the encoder could not be set up");
        return false;
    }
    const float distance = DistanceFromJpeg(GetJpegQuality());
    const bool lossless = distance == 0.0f;
    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = width;
    info.ysize = height;
    info.bits_per_sample = kEightBits;
    info.num_color_channels = 3;
    info.alpha_bits = alpha ? kEightBits : 0;
    info.num_extra_channels = alpha ? 1 : 0;
    info.uses_original_profile = lossless ? JXL_TRUE : JXL_FALSE;
    JxlEncoderFrameSettings* settings = nullptr;
    const bool ready =
        JxlEncoderSetBasicInfo(encoder.get(), &info) == JXL_ENC_SUCCESS && SetColour(encoder.get(), m_metadataSource) &&
        (!m_metadataSource || AddBoxes(encoder.get(), *m_metadataSource)) &&
        (settings = JxlEncoderFrameSettingsCreate(encoder.get(), nullptr)) != nullptr &&
        JxlEncoderFrameSettingsSetOption(settings, JXL_ENC_FRAME_SETTING_EFFORT, kDefaultEffort) == JXL_ENC_SUCCESS &&
        (lossless ? JxlEncoderSetFrameLossless(settings, JXL_TRUE) : JxlEncoderSetFrameDistance(settings, distance)) ==
            JXL_ENC_SUCCESS;
    if (!ready) {
        SetLastError("JPEG XL: the encoder could not be set up");
        return false;
    }
    const JxlPixelFormat format{channels, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    if (JxlEncoderAddImageFrame(settings, &format, pixels.get(), size_t(width) * height * channels) !=
        JXL_ENC_SUCCESS) {
        SetLastError("JPEG XL: the picture could not be encoded");
        return false;
    }
    JxlEncoderCloseInput(encoder.get());
    if (!WriteOutput(encoder.get(), file)) {
        SetLastError("Error saving JPEG XL file");
        return false;
    }
    return true;
}
