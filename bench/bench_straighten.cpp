// Straightening a 24-megapixel photograph by 3 degrees, as Cut does it: only the box's pixels
// are sampled, into a target kept across iterations. The box holds as many pixels as the
// benchmark photo, so its time reads per pixel against one memcpy of that photo.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>

#include "BenchPictures.h"
#include "RatioReport.h"
#include "image/resample/RasterRotateFine.h"

namespace {

constexpr uint32_t kLargeWidth = 6000;
constexpr uint32_t kLargeHeight = 4000;
constexpr double kDegrees = 3.0;

// The benchmark photo repeated over 6000 x 4000 pixels.
const RasterImage& LargePhoto() {
    static const RasterImage large = [] {
        const RasterImage& photo = Pictures().photo;
        RasterImage image;
        if (!image.Create(kLargeWidth, kLargeHeight, 24, 0)) return image;
        for (uint32_t y = 0; y < kLargeHeight; ++y) {
            const uint8_t* from = photo.RowPointer(y % photo.GetHeight());
            uint8_t* to = image.RowPointer(y);
            for (uint32_t x = 0; x < kLargeWidth; x += photo.GetWidth()) {
                std::memcpy(to + size_t(x) * 3, from, size_t(std::min(photo.GetWidth(), kLargeWidth - x)) * 3);
            }
        }
        return image;
    }();
    return large;
}

void TurnBox(benchmark::State& state, raster_resample::FineTurnPath path, unsigned threads = 1) {
    const RasterImage& large = LargePhoto();
    // A box of the photo's size about the centre lies inside the turned picture.
    const int32_t left = int32_t(kLargeWidth - kPhotoWidth) / 2;
    const int32_t top = int32_t(kLargeHeight - kPhotoHeight) / 2;
    const RasterRect box{left, top, left + int32_t(kPhotoWidth), top + int32_t(kPhotoHeight)};
    RasterImage target;
    for (auto _ : state) {
        if (!raster_resample::RenderTurnedRegion(large, kDegrees, box, target, {threads, path})) {
            state.SkipWithError(target.LastErrorText());
            return;
        }
        benchmark::DoNotOptimize(target.GetBits());
        benchmark::ClobberMemory();
    }
}

// As Cut runs it, on every core: the wait the target is set for (Cut may use threads).
void Straighten_24MPBy3Degrees(benchmark::State& state) { TurnBox(state, raster_resample::FineTurnPath::Fastest, 0); }

// One core alone, for how much of the wait each core does.
void Straighten_24MPBy3DegreesOneCore(benchmark::State& state) {
    TurnBox(state, raster_resample::FineTurnPath::Fastest, 1);
}
void Straighten_24MPBy3DegreesPortable(benchmark::State& state) {
    TurnBox(state, raster_resample::FineTurnPath::Portable, 1);
}

const bool kStraighten =
    AddComparison("Straighten_24MPBy3Degrees", "Memcpy_Photo", 8.0, Memory::Reused, Clock::Wall);
const bool kStraightenOneCore = AddReference("Straighten_24MPBy3DegreesOneCore", "Memcpy_Photo", Memory::Reused);
const bool kStraightenPortable = AddReference("Straighten_24MPBy3DegreesPortable", "Memcpy_Photo", Memory::Reused);

}  // namespace

BENCHMARK(Straighten_24MPBy3Degrees)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Straighten_24MPBy3DegreesOneCore)->Unit(benchmark::kMillisecond);
BENCHMARK(Straighten_24MPBy3DegreesPortable)->Unit(benchmark::kMillisecond);
