// Resizing and rotating a large photograph, against one memcpy of its pixels.
#include <benchmark/benchmark.h>

#include "BenchPictures.h"
#include "RatioReport.h"

namespace {

void ShrinkPhoto(benchmark::State& state, uint32_t newWidth, uint32_t newHeight) {
    RasterImage photo(Pictures().photo);
    RasterImage small;
    for (auto _ : state) {
        if (!photo.Rescale(newWidth, newHeight, RASTER_RESCALE_AREA, &small)) {
            state.SkipWithError(photo.LastErrorText());
            return;
        }
        benchmark::DoNotOptimize(small.GetBits());
    }
}

// A whole ratio (4): every column boundary falls between two pixels.
void Rescale_AreaShrink(benchmark::State& state) { ShrinkPhoto(state, 1280, 720); }

// The view copy the picture view makes in a 1920 x 1080 client: the photo fitted into four
// fifths of it, 1536 x 864, a ratio of 3 1/3 that splits a pixel at most boundaries.
void Rescale_AreaShrinkToView(benchmark::State& state) { ShrinkPhoto(state, 1536, 864); }

void RotateRight_Photo(benchmark::State& state) {
    RasterImage photo(Pictures().photo);
    RasterImage turned;
    for (auto _ : state) {
        if (!photo.RotateRight(&turned)) {
            state.SkipWithError(photo.LastErrorText());
            return;
        }
        benchmark::DoNotOptimize(turned.GetBits());
    }
}

const bool kRescale = AddComparison("Rescale_AreaShrink", "Memcpy_Photo", 6.0);
const bool kRescaleToView = AddComparison("Rescale_AreaShrinkToView", "Memcpy_Photo", 6.0);
const bool kRotate = AddComparison("RotateRight_Photo", "Memcpy_Photo", 4.0);

}  // namespace

BENCHMARK(Rescale_AreaShrink)->Unit(benchmark::kMillisecond);
BENCHMARK(Rescale_AreaShrinkToView)->Unit(benchmark::kMillisecond);
BENCHMARK(RotateRight_Photo)->Unit(benchmark::kMillisecond);
