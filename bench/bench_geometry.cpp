// Resizing, turning, flipping and mirroring a large photograph, against one memcpy of its pixels.
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

// Runs a geometric operation on a copy of the photo, over and over: the turns write into a
// destination picture kept across iterations (as the program's working picture is), Flip and
// Mirror work in place, so every block written comes back through the block pool.
template <typename Operation>
void TimeOnPhoto(benchmark::State& state, Operation operation) {
    RasterImage photo(Pictures().photo);
    RasterImage turned;
    for (auto _ : state) {
        if (!operation(photo, turned)) {
            state.SkipWithError(photo.LastErrorText());
            return;
        }
        benchmark::DoNotOptimize(photo.GetBits());
        benchmark::DoNotOptimize(turned.GetBits());
        benchmark::ClobberMemory();
    }
}

void RotateRight_Photo(benchmark::State& state) {
    TimeOnPhoto(state, [](RasterImage& photo, RasterImage& turned) { return photo.RotateRight(&turned); });
}

void RotateLeft_Photo(benchmark::State& state) {
    TimeOnPhoto(state, [](RasterImage& photo, RasterImage& turned) { return photo.RotateLeft(&turned); });
}

void Flip_Photo(benchmark::State& state) {
    TimeOnPhoto(state, [](RasterImage& photo, RasterImage&) { return photo.Flip(); });
}

void Mirror_Photo(benchmark::State& state) {
    TimeOnPhoto(state, [](RasterImage& photo, RasterImage&) { return photo.Mirror(); });
}

const bool kRescale = AddComparison("Rescale_AreaShrink", "Memcpy_Photo", 6.0, Memory::Reused);
const bool kRescaleToView = AddComparison("Rescale_AreaShrinkToView", "Memcpy_Photo", 6.0, Memory::Reused);
const bool kRotate = AddComparison("RotateRight_Photo", "Memcpy_Photo", 4.0, Memory::Reused);
const bool kRotateLeft = AddComparison("RotateLeft_Photo", "Memcpy_Photo", 4.0, Memory::Reused);
const bool kFlip = AddComparison("Flip_Photo", "Memcpy_Photo", 4.0, Memory::Reused);
const bool kMirror = AddComparison("Mirror_Photo", "Memcpy_Photo", 4.0, Memory::Reused);

}  // namespace

BENCHMARK(Rescale_AreaShrink)->Unit(benchmark::kMillisecond);
BENCHMARK(Rescale_AreaShrinkToView)->Unit(benchmark::kMillisecond);
BENCHMARK(RotateRight_Photo)->Unit(benchmark::kMillisecond);
BENCHMARK(RotateLeft_Photo)->Unit(benchmark::kMillisecond);
BENCHMARK(Flip_Photo)->Unit(benchmark::kMillisecond);
BENCHMARK(Mirror_Photo)->Unit(benchmark::kMillisecond);
