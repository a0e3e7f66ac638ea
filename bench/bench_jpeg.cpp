// JPEG load and save through the image core against bare libjpeg-turbo doing the same job.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "BareJpeg.h"
#include "BenchPictures.h"
#include "image/RasterFile.h"
#include "RatioReport.h"

namespace {

constexpr int kSaveQuality = 75;

// Whether the core's decode gives exactly libjpeg-turbo's pixels (same work, same result).
std::string CompareDecodes(RasterImage& decoded, std::vector<uint8_t>& bytes) {
    BareBgrPicture bare;
    if (!BareJpegDecode(bytes.data(), bytes.size(), bare)) return "bare decode failed";
    if (decoded.GetWidth() != bare.width || decoded.GetHeight() != bare.height || decoded.GetBpp() != 24) {
        return "core decode differs in size or depth";
    }
    for (uint32_t y = 0; y < bare.height; ++y) {
        if (std::memcmp(decoded.RowPointer(y), bare.rows + size_t(y) * bare.stride, size_t(bare.width) * 3) != 0) {
            return "pixels differ from libjpeg-turbo's";
        }
    }
    return "same pixels as libjpeg-turbo";
}

void JpegLoad_RasterImage(benchmark::State& state) {
    std::vector<uint8_t> bytes = Pictures().photoJpeg;  // Decode takes a writable buffer
    {
        RasterImage check;
        if (!check.Decode(bytes.data(), uint32_t(bytes.size()), RASTER_FORMAT_JPG)) {
            state.SkipWithError(check.LastErrorText());
            return;
        }
        state.SetLabel(CompareDecodes(check, bytes));
    }
    for (auto _ : state) {
        RasterImage image;
        image.Decode(bytes.data(), uint32_t(bytes.size()), RASTER_FORMAT_JPG);
        benchmark::DoNotOptimize(image.GetBits());
    }
}

// The rows are kept across iterations, as the block pool keeps the subject's.
void JpegLoad_Libjpeg(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = Pictures().photoJpeg;
    BareBgrPicture picture;
    for (auto _ : state) {
        if (!BareJpegDecode(bytes.data(), bytes.size(), picture)) {
            state.SkipWithError("libjpeg-turbo decode failed");
            return;
        }
        benchmark::DoNotOptimize(picture.rows);
    }
}

void JpegSave_RasterImage(benchmark::State& state) {
    RasterImage image(Pictures().photo);
    image.SetJpegQuality(kSaveQuality);
    size_t size = 0;
    for (auto _ : state) {
        RasterMemFile file;
        file.Open();
        if (!image.Encode(&file, RASTER_FORMAT_JPG)) {
            state.SkipWithError(image.LastErrorText());
            return;
        }
        size = size_t(file.Size());
        benchmark::DoNotOptimize(file.GetBuffer());
    }
    state.counters["bytes"] = double(size);
}

void JpegSave_Libjpeg(benchmark::State& state) {
    const RasterImage& photo = Pictures().photo;
    size_t size = 0;
    for (auto _ : state) {
        BareJpegFile file;
        if (!BareJpegEncode(photo.GetBits(), photo.GetWidth(), photo.GetHeight(), photo.GetStride(), kSaveQuality,
                            RASTER_DEFAULT_DPI, file)) {
            state.SkipWithError("libjpeg-turbo encode failed");
            return;
        }
        size = file.size;
        benchmark::DoNotOptimize(file.data);
    }
    state.counters["bytes"] = double(size);
}

const bool kLoad = AddComparison("JpegLoad_RasterImage", "JpegLoad_Libjpeg", 1.10, Memory::Reused);
const bool kSave = AddComparison("JpegSave_RasterImage", "JpegSave_Libjpeg", 1.10, Memory::Allocator);

}  // namespace

BENCHMARK(JpegLoad_Libjpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(JpegLoad_RasterImage)->Unit(benchmark::kMillisecond);
BENCHMARK(JpegSave_Libjpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(JpegSave_RasterImage)->Unit(benchmark::kMillisecond);
