// The thumbnail of a photograph as the browser's loader makes it on a first visit (frame size,
// reduced decode, area shrink to the list's 60-pixel box) against the plain way: a full decode
// and the same area shrink. Both read the 5120 x 2880 quality-90 baseline JPEG from a file; the
// reduced decode of a baseline file still entropy-decodes every coefficient, so this ratio is
// near that floor (bench/ui/bench_browser_scan.cpp measures whole folders of real photos).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "BenchPictures.h"
#include "image/formats/RasterJpegThumbnail.h"
#include "RatioReport.h"

namespace {

// 5120 x 2880 fitted into 60 x 60 (60 / 1.78 = 33.75, rounded) and into the cache's 128.
constexpr uint32_t kThumbWidth = 60;
constexpr uint32_t kThumbHeight = 34;
constexpr uint32_t kCacheWidth = 128;
constexpr uint32_t kCacheHeight = 72;

void Thumb_FullJpegShrink(benchmark::State& state) {
    const std::string& path = PhotoJpegFile();
    for (auto _ : state) {
        RasterImage whole;
        RasterImage thumb;
        if (!whole.Load(path.c_str(), RASTER_FORMAT_JPG) ||
            !whole.Rescale(kThumbWidth, kThumbHeight, RASTER_RESCALE_AREA, &thumb)) {
            state.SkipWithError("full decode failed");
            return;
        }
        benchmark::DoNotOptimize(thumb.GetBits());
    }
}

// What a first visit costs per photograph: the file read once, its frame size, the reduced
// decode, the list's thumbnail and the cache's picture.
void Thumb_ReducedJpeg(benchmark::State& state) {
    const std::string& path = PhotoJpegFile();
    for (auto _ : state) {
        std::vector<uint8_t> bytes;
        uint32_t width = 0;
        uint32_t height = 0;
        RasterImage reduced;
        RasterImage thumb;
        RasterImage entry;
        if (!ReadWholeFile(path.c_str(), bytes) || !ReadJpegFrameSize(bytes.data(), bytes.size(), width, height) ||
            !DecodeJpegReduced(bytes.data(), bytes.size(), kCacheWidth, kCacheHeight, reduced) ||
            !reduced.Rescale(kThumbWidth, kThumbHeight, RASTER_RESCALE_AREA, &thumb) ||
            !reduced.Rescale(kCacheWidth, kCacheHeight, RASTER_RESCALE_AREA, &entry)) {
            state.SkipWithError("reduced decode failed");
            return;
        }
        benchmark::DoNotOptimize(thumb.GetBits());
    }
}

}  // namespace

BENCHMARK(Thumb_FullJpegShrink)->Unit(benchmark::kMillisecond);
BENCHMARK(Thumb_ReducedJpeg)->Unit(benchmark::kMillisecond);

const bool kReducedThumb = AddComparison("Thumb_ReducedJpeg", "Thumb_FullJpegShrink", 0.5, Memory::Reused);
