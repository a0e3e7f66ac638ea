// Saving a 12 MP photo (4032 x 3024) as JPEG XL against libjxl's encode of the same pixels at
// the same distance and effort as cjxl makes it: its thread pool, 8-bit RGB, sRGB.
#include <cmath>
#include <vector>

#include <benchmark/benchmark.h>
#include <jxl/encode.h>
#include <jxl/thread_parallel_runner.h>

#include "image/RasterFile.h"
#include "image/RasterImage.h"
#include "image/formats/RasterImageJXL.h"

#include "RatioReport.h"

namespace {

constexpr uint32_t kPhoneWidth = 4032;
constexpr uint32_t kPhoneHeight = 3024;
// The program's JPEG quality 90 is distance 1, cjxl's default.
constexpr uint8_t kSaveJpegQuality = 90;
constexpr int64_t kEffort = 7;

// A smooth synthetic photograph with some edges.
const RasterImage& PhonePicture() {
    static RasterImage picture = [] {
        RasterImage made;
        made.Create(kPhoneWidth, kPhoneHeight, 24, RASTER_FORMAT_JXL);
        for (uint32_t y = 0; y < kPhoneHeight; ++y) {
            uint8_t* p = made.RowPointer(y);
            for (uint32_t x = 0; x < kPhoneWidth; ++x, p += 3) {
                p[0] = uint8_t(128 + 100 * std::sin(x / 37.0));
                p[1] = uint8_t(y * 255 / kPhoneHeight);
                p[2] = uint8_t(((x / 64) ^ (y / 64)) & 1 ? 200 : 60);
            }
        }
        return made;
    }();
    return picture;
}

void JxlSave_Program(benchmark::State& state) {
    RasterImage picture;
    picture.Copy(PhonePicture());
    picture.SetJpegQuality(kSaveJpegQuality);
    for (auto _ : state) {
        RasterMemFile file;
        if (!file.Open() || !picture.Encode(&file, RASTER_FORMAT_JXL)) {
            state.SkipWithError(picture.LastErrorText());
            return;
        }
        benchmark::DoNotOptimize(file.GetBuffer());
    }
}

// cjxl's way with a PNG of the same pixels: its rows as libpng gives them, the thread pool at
// its default size, the output gathered in memory.
void JxlSave_Cjxl(benchmark::State& state) {
    const RasterImage& source = PhonePicture();
    const size_t rowBytes = size_t(kPhoneWidth) * 3;
    for (auto _ : state) {
        std::vector<uint8_t> rgb(rowBytes * kPhoneHeight);
        for (uint32_t y = 0; y < kPhoneHeight; ++y) {
            const uint8_t* bgr = source.RowPointer(kPhoneHeight - 1 - y);
            uint8_t* out = rgb.data() + y * rowBytes;
            for (uint32_t x = 0; x < kPhoneWidth; ++x, bgr += 3, out += 3) {
                out[0] = bgr[2];
                out[1] = bgr[1];
                out[2] = bgr[0];
            }
        }
        JxlEncoder* encoder = JxlEncoderCreate(nullptr);
        void* runner = JxlThreadParallelRunnerCreate(nullptr, JxlThreadParallelRunnerDefaultNumWorkerThreads());
        JxlEncoderSetParallelRunner(encoder, JxlThreadParallelRunner, runner);
        JxlBasicInfo info;
        JxlEncoderInitBasicInfo(&info);
        info.xsize = kPhoneWidth;
        info.ysize = kPhoneHeight;
        info.bits_per_sample = 8;
        info.num_color_channels = 3;
        info.uses_original_profile = JXL_FALSE;
        JxlColorEncoding srgb;
        JxlColorEncodingSetToSRGB(&srgb, JXL_FALSE);
        JxlEncoderSetBasicInfo(encoder, &info);
        JxlEncoderSetColorEncoding(encoder, &srgb);
        JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(encoder, nullptr);
        JxlEncoderFrameSettingsSetOption(settings, JXL_ENC_FRAME_SETTING_EFFORT, kEffort);
        JxlEncoderSetFrameDistance(settings, RasterImageJXL::DistanceFromJpeg(kSaveJpegQuality));
        const JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
        bool ok = JxlEncoderAddImageFrame(settings, &format, rgb.data(), rgb.size()) == JXL_ENC_SUCCESS;
        JxlEncoderCloseInput(encoder);
        std::vector<uint8_t> out(size_t(1) << 20);
        size_t used = 0;
        JxlEncoderStatus status = JXL_ENC_NEED_MORE_OUTPUT;
        while (ok && status == JXL_ENC_NEED_MORE_OUTPUT) {
            uint8_t* next = out.data() + used;
            size_t room = out.size() - used;
            status = JxlEncoderProcessOutput(encoder, &next, &room);
            used = size_t(next - out.data());
            if (status == JXL_ENC_NEED_MORE_OUTPUT) out.resize(out.size() * 2);
        }
        JxlThreadParallelRunnerDestroy(runner);
        JxlEncoderDestroy(encoder);
        if (!ok || status != JXL_ENC_SUCCESS) {
            state.SkipWithError("libjxl could not encode");
            return;
        }
        benchmark::DoNotOptimize(out.data());
    }
}

// libjxl encodes on its own threads: the wait for them is what is measured.
const bool kSave = AddComparison("JxlSave_Program", "JxlSave_Cjxl", 1.10, Memory::Fresh, Clock::Wall);

}  // namespace

BENCHMARK(JxlSave_Program)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(JxlSave_Cjxl)->Unit(benchmark::kMillisecond)->UseRealTime();
