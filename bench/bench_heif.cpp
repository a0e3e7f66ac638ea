// The browser's thumbnail of a 12 MP phone photo (HEIC, 4032 x 3024, with the 320-pixel
// thumbnail phones store) against the full decode of the same file in the same run; and, for
// a file without a stored thumbnail, the path that falls back to the full decode and area
// shrink against that decode and shrink alone. Saving that photo as HEIC against libheif's
// encode of the same pixels at the same quality as heif-enc makes it (its default settings).
#include <vector>

#include <benchmark/benchmark.h>
#include <libheif/heif.h>

#include "image/RasterFile.h"
#include "image/formats/RasterHeifThumbnail.h"
#include "image/formats/RasterImageHEIF.h"

#include "RatioReport.h"

namespace {

constexpr int kPhoneWidth = 4032;
constexpr int kPhoneHeight = 3024;
constexpr int kStoredThumbnail = 320;
constexpr int kQuality = 80;
constexpr uint32_t kThumbWidth = 60;
constexpr uint32_t kThumbHeight = 45;

heif_error WriteToVector(heif_context*, const void* data, size_t size, void* target) {
    auto* bytes = static_cast<std::vector<uint8_t>*>(target);
    bytes->insert(bytes->end(), static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

// A smooth synthetic photograph encoded by libheif's HEVC encoder (fastest preset: the bench
// measures decoding).
std::vector<uint8_t> EncodePhoneHeic(bool withThumbnail) {
    std::vector<uint8_t> bytes;
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_image* picture = nullptr;
    if (heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder).code == heif_error_Ok &&
        heif_image_create(kPhoneWidth, kPhoneHeight, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &picture).code ==
            heif_error_Ok &&
        heif_image_add_plane(picture, heif_channel_interleaved, kPhoneWidth, kPhoneHeight, 8).code == heif_error_Ok) {
        int stride = 0;
        uint8_t* plane = heif_image_get_plane(picture, heif_channel_interleaved, &stride);
        for (int y = 0; y < kPhoneHeight; ++y) {
            for (int x = 0; x < kPhoneWidth; ++x) {
                uint8_t* p = plane + size_t(y) * size_t(stride) + size_t(x) * 3;
                p[0] = uint8_t(x * 255 / kPhoneWidth);
                p[1] = uint8_t(y * 255 / kPhoneHeight);
                p[2] = uint8_t(((x / 64) ^ (y / 64)) & 1 ? 200 : 60);
            }
        }
        heif_encoder_set_lossy_quality(encoder, kQuality);
        heif_encoder_set_parameter(encoder, "preset", "ultrafast");
        heif_image_handle* handle = nullptr;
        if (heif_context_encode_image(context, picture, encoder, nullptr, &handle).code == heif_error_Ok) {
            if (withThumbnail) {
                heif_context_encode_thumbnail(context, picture, handle, encoder, nullptr, kStoredThumbnail, nullptr);
            }
            heif_writer writer{1, WriteToVector};
            heif_context_write(context, &writer, &bytes);
            heif_image_handle_release(handle);
        }
    }
    if (picture) heif_image_release(picture);
    if (encoder) heif_encoder_release(encoder);
    heif_context_free(context);
    return bytes;
}

const std::vector<uint8_t>& PhoneHeic(bool withThumbnail) {
    static const std::vector<uint8_t> with = EncodePhoneHeic(true);
    static const std::vector<uint8_t> without = EncodePhoneHeic(false);
    return withThumbnail ? with : without;
}

void HeifLoad_Full(benchmark::State& state) {
    std::vector<uint8_t> bytes = PhoneHeic(true);
    for (auto _ : state) {
        RasterImage image;
        if (!image.Decode(bytes.data(), uint32_t(bytes.size()), RASTER_FORMAT_HEIF)) {
            state.SkipWithError(image.LastErrorText());
            return;
        }
        benchmark::DoNotOptimize(image.GetBits());
    }
}

void HeifThumb_Embedded(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = PhoneHeic(true);
    for (auto _ : state) {
        uint32_t width = 0;
        uint32_t height = 0;
        RasterImage embedded;
        RasterImage thumb;
        if (!DecodeHeifThumbnail(bytes.data(), bytes.size(), kThumbWidth, width, height, embedded) ||
            !embedded.Rescale(kThumbWidth, kThumbHeight, RASTER_RESCALE_AREA, &thumb)) {
            state.SkipWithError("embedded thumbnail failed");
            return;
        }
        benchmark::DoNotOptimize(thumb.GetBits());
    }
}

// The decode and shrink a file without a stored thumbnail needs at least.
void HeifThumb_FullShrink(benchmark::State& state) {
    std::vector<uint8_t> bytes = PhoneHeic(false);
    for (auto _ : state) {
        RasterImage whole;
        RasterImage thumb;
        if (!whole.Decode(bytes.data(), uint32_t(bytes.size()), RASTER_FORMAT_HEIF) ||
            !whole.Rescale(kThumbWidth, kThumbHeight, RASTER_RESCALE_AREA, &thumb)) {
            state.SkipWithError("full decode failed");
            return;
        }
        benchmark::DoNotOptimize(thumb.GetBits());
    }
}

// The browser's way for such a file: it looks for a stored thumbnail first.
void HeifThumb_NoneStored(benchmark::State& state) {
    std::vector<uint8_t> bytes = PhoneHeic(false);
    for (auto _ : state) {
        uint32_t width = 0;
        uint32_t height = 0;
        RasterImage embedded;
        RasterImage whole;
        RasterImage thumb;
        if (DecodeHeifThumbnail(bytes.data(), bytes.size(), kThumbWidth, width, height, embedded) ||
            !whole.Decode(bytes.data(), uint32_t(bytes.size()), RASTER_FORMAT_HEIF) ||
            !whole.Rescale(kThumbWidth, kThumbHeight, RASTER_RESCALE_AREA, &thumb)) {
            state.SkipWithError("fallback failed");
            return;
        }
        benchmark::DoNotOptimize(thumb.GetBits());
    }
}

// The program's JPEG quality whose HEIF quality heif-enc is given below.
constexpr uint8_t kSaveJpegQuality = 75;

const RasterImage& PhonePicture() {
    static RasterImage picture = [] {
        std::vector<uint8_t> bytes = PhoneHeic(false);
        RasterImage decoded;
        decoded.Decode(bytes.data(), uint32_t(bytes.size()), RASTER_FORMAT_HEIF);
        return decoded;
    }();
    return picture;
}

void HeifSave_Program(benchmark::State& state) {
    RasterImage picture;
    picture.Copy(PhonePicture());
    picture.SetJpegQuality(kSaveJpegQuality);
    for (auto _ : state) {
        RasterMemFile file;
        if (!file.Open() || !picture.Encode(&file, RASTER_FORMAT_HEIF)) {
            state.SkipWithError(picture.LastErrorText());
            return;
        }
        benchmark::DoNotOptimize(file.GetBuffer());
    }
}

// What heif-enc does with a PNG of the same pixels: libheif's HEVC encoder at its defaults
// with the quality set, the interleaved RGB picture handed over, the file written to memory.
void HeifSave_HeifEnc(benchmark::State& state) {
    const RasterImage& source = PhonePicture();
    const int width = int(source.GetWidth());
    const int height = int(source.GetHeight());
    for (auto _ : state) {
        std::vector<uint8_t> bytes;
        heif_context* context = heif_context_alloc();
        heif_encoder* encoder = nullptr;
        heif_image* picture = nullptr;
        bool ok = heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder).code == heif_error_Ok &&
                  heif_image_create(width, height, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &picture).code ==
                      heif_error_Ok &&
                  heif_image_add_plane(picture, heif_channel_interleaved, width, height, 8).code == heif_error_Ok;
        if (ok) {
            int stride = 0;
            uint8_t* plane = heif_image_get_plane(picture, heif_channel_interleaved, &stride);
            // heif-enc's PNG reader hands libpng's rows over as they are.
            for (int y = 0; y < height; ++y) {
                const uint8_t* bgr = source.RowPointer(uint32_t(height - 1 - y));
                uint8_t* rgb = plane + size_t(y) * size_t(stride);
                for (int x = 0; x < width; ++x, bgr += 3, rgb += 3) {
                    rgb[0] = bgr[2];
                    rgb[1] = bgr[1];
                    rgb[2] = bgr[0];
                }
            }
            heif_encoder_set_lossy_quality(encoder, RasterImageHEIF::QualityFromJpeg(kSaveJpegQuality));
            heif_encoding_options* options = heif_encoding_options_alloc();
            heif_image_handle* handle = nullptr;
            ok = heif_context_encode_image(context, picture, encoder, options, &handle).code == heif_error_Ok;
            heif_encoding_options_free(options);
            heif_writer writer{1, WriteToVector};
            ok = ok && heif_context_write(context, &writer, &bytes).code == heif_error_Ok;
            if (handle) heif_image_handle_release(handle);
        }
        if (picture) heif_image_release(picture);
        if (encoder) heif_encoder_release(encoder);
        heif_context_free(context);
        if (!ok) {
            state.SkipWithError("libheif could not encode");
            return;
        }
        benchmark::DoNotOptimize(bytes.data());
    }
}

const bool kEmbedded = AddComparison("HeifThumb_Embedded", "HeifLoad_Full", 0.10, Memory::Reused);
const bool kNoneStored = AddComparison("HeifThumb_NoneStored", "HeifThumb_FullShrink", 1.02, Memory::Reused);
// x265 encodes on threads of its own: the wait for them is what is measured.
const bool kSave = AddComparison("HeifSave_Program", "HeifSave_HeifEnc", 1.10, Memory::Fresh, Clock::Wall);

}  // namespace

BENCHMARK(HeifLoad_Full)->Unit(benchmark::kMillisecond);
BENCHMARK(HeifThumb_Embedded)->Unit(benchmark::kMillisecond);
BENCHMARK(HeifThumb_FullShrink)->Unit(benchmark::kMillisecond);
BENCHMARK(HeifThumb_NoneStored)->Unit(benchmark::kMillisecond);
BENCHMARK(HeifSave_Program)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(HeifSave_HeifEnc)->Unit(benchmark::kMillisecond)->UseRealTime();
