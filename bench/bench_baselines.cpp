// The memcpy baselines: the least any operation that writes a picture of that size costs.
#include <benchmark/benchmark.h>

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
void Memcpy_Screen(benchmark::State& state) { CopyPixels(state, Pictures().backdrop); }

}  // namespace

BENCHMARK(Memcpy_Photo)->Unit(benchmark::kMillisecond);
BENCHMARK(Memcpy_Screen)->Unit(benchmark::kMillisecond);
