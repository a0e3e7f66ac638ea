// Alpha blending at screen size, against one memcpy of a 1920 x 1080 24-bit block.
#include <benchmark/benchmark.h>

#include "BenchPictures.h"
#include "RatioReport.h"

namespace {

// Both pictures carry alpha planes: the slowest blend, the one the cutter preview uses.
// Repeated pastes change the pixels but not the work (the backdrop's alpha never reaches 0).
void Paste_AlphaBlend(benchmark::State& state) {
    RasterImage backdrop(Pictures().backdrop);
    const RasterImage& overlay = Pictures().overlay;
    for (auto _ : state) {
        if (!backdrop.PasteAll(overlay, 0, 0, 0, 0, RASTER_PASTE_ALPHA_BLEND, 1.0)) {
            state.SkipWithError("Paste failed");
            return;
        }
        benchmark::DoNotOptimize(backdrop.GetBits());
        benchmark::ClobberMemory();
    }
}

// Flattening keeps the alpha plane, so every iteration does the same work.
void FlattenAlpha_Screen(benchmark::State& state) {
    RasterImage picture(Pictures().overlay);
    for (auto _ : state) {
        if (!picture.FlattenAlpha(0xFFFFFF)) {
            state.SkipWithError("FlattenAlpha failed");
            return;
        }
        benchmark::DoNotOptimize(picture.GetBits());
        benchmark::ClobberMemory();
    }
}

const bool kPaste = AddComparison("Paste_AlphaBlend", "Memcpy_Screen", 4.0, Memory::Reused);
const bool kFlatten = AddComparison("FlattenAlpha_Screen", "Memcpy_Screen", 4.0, Memory::Reused);

}  // namespace

BENCHMARK(Paste_AlphaBlend)->Unit(benchmark::kMillisecond);
BENCHMARK(FlattenAlpha_Screen)->Unit(benchmark::kMillisecond);
