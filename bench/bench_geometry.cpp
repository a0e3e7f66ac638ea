// Resizing and rotating a large photograph, against one memcpy of its pixels.
#include <benchmark/benchmark.h>

#include "BenchPictures.h"
#include "RatioReport.h"

namespace {

void Rescale_AreaShrink(benchmark::State& state) {
    RasterImage photo(Pictures().photo);
    RasterImage small;
    for (auto _ : state) {
        if (!photo.Rescale(1280, 720, RASTER_RESCALE_AREA, &small)) {
            state.SkipWithError(photo.LastErrorText());
            return;
        }
        benchmark::DoNotOptimize(small.GetBits());
    }
}

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
const bool kRotate = AddComparison("RotateRight_Photo", "Memcpy_Photo", 4.0);

}  // namespace

BENCHMARK(Rescale_AreaShrink)->Unit(benchmark::kMillisecond);
BENCHMARK(RotateRight_Photo)->Unit(benchmark::kMillisecond);
