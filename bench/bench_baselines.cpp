// The memcpy baselines: the least any operation that writes a picture of that size costs.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "BenchPictures.h"

namespace {

void CopyPixels(benchmark::State& state, const RasterImage& source) {
    const size_t bytes = size_t(source.GetStride()) * source.GetHeight();
    std::vector<uint8_t> target(bytes, 0);  // touched once here, not in the loop
    for (auto _ : state) {
        std::memcpy(target.data(), source.GetBits(), bytes);
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

void Memcpy_Photo(benchmark::State& state) { CopyPixels(state, Pictures().photo); }

// For reading the figures only: the same copy into a freshly allocated block each time, as
// an operation that builds a new picture pays (the kernel maps and clears every page).
void Memcpy_PhotoFreshTarget(benchmark::State& state) {
    const RasterImage& photo = Pictures().photo;
    const size_t bytes = size_t(photo.GetStride()) * photo.GetHeight();
    for (auto _ : state) {
        auto* target = static_cast<uint8_t*>(std::malloc(bytes));
        if (!target) {
            state.SkipWithError("out of memory");
            return;
        }
        std::memcpy(target, photo.GetBits(), bytes);
        benchmark::DoNotOptimize(target);
        benchmark::ClobberMemory();
        std::free(target);
    }
}
void Memcpy_Screen(benchmark::State& state) { CopyPixels(state, Pictures().backdrop); }

}  // namespace

BENCHMARK(Memcpy_Photo)->Unit(benchmark::kMillisecond);
BENCHMARK(Memcpy_PhotoFreshTarget)->Unit(benchmark::kMillisecond);
BENCHMARK(Memcpy_Screen)->Unit(benchmark::kMillisecond);
