// GIF writing and reading of photograph-sized pictures.
#include <benchmark/benchmark.h>

#include <vector>

#include "image/RasterFile.h"
#include "image/RasterImage.h"

namespace {

constexpr uint32_t kWidth = 3000;
constexpr uint32_t kHeight = 2000;

RasterImage MakePhotoLike(uint32_t bpp) {
    RasterImage image;
    image.Create(kWidth, kHeight, bpp, 0);
    if (bpp <= 8) image.SetGrayPalette();
    for (uint32_t y = 0; y < kHeight; ++y) {
        uint8_t* row = image.RowPointer(y);
        for (uint32_t i = 0; i < image.GetStride(); ++i) row[i] = uint8_t((i * 7 + y * 3 + ((i * y) >> 5)) & 0xFF);
    }
    return image;
}

std::vector<uint8_t> Encode(RasterImage& image) {
    RasterMemFile file;
    file.Open();
    image.Encode(&file, RASTER_FORMAT_GIF);
    return std::vector<uint8_t>(file.GetBuffer(), file.GetBuffer() + file.Size());
}

void BM_GifWriteMosaic(benchmark::State& state) {
    RasterImage image = MakePhotoLike(24);
    for (auto _ : state) benchmark::DoNotOptimize(Encode(image));
    state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
}
BENCHMARK(BM_GifWriteMosaic)->Unit(benchmark::kMillisecond);

// Reads back what the writer made of a picture of the given depth.
void BM_GifRead(benchmark::State& state, uint32_t bpp) {
    RasterImage image = MakePhotoLike(bpp);
    std::vector<uint8_t> bytes = Encode(image);
    for (auto _ : state) {
        RasterImage decoded;
        benchmark::DoNotOptimize(decoded.Decode(bytes.data(), uint32_t(bytes.size()), RASTER_FORMAT_GIF));
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
}
BENCHMARK_CAPTURE(BM_GifRead, Mosaic, 24u)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_GifRead, Palette, 8u)->Unit(benchmark::kMillisecond);

}  // namespace
