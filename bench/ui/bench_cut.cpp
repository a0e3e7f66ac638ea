// Cut of the 5120 x 2880 photograph shown in a 1920 x 1080 client (view copy 1536 x 864) with
// the default 6x4 box, an oval and a 10% border, against the Rescale that builds that view
// copy. Cut_PeakMemory reports the growth of the resident peak during one Cut in units of the
// picture's bytes ("peak_x_picture"), measured in a fresh child process so that the allocator
// settings it needs stay out of the other benchmarks.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "BenchPictures.h"
#include "ChildModes.h"
#include "ProcessMemory.h"
#include "doc/CutOperation.h"
#include "RatioReport.h"

namespace {

constexpr uint32_t kViewWidth = 1536;
constexpr uint32_t kViewHeight = 864;

// The default 6x4 box over the view copy centred in the client: full height, width
// rounded(1.5 x 864) = 1296, centred.
CutRequest OvalRequest() {
    return CutRequest{int(kScreenWidth), int(kScreenHeight), int(kViewWidth), int(kViewHeight),
                      {312, 108, 1608, 972}, cropbox::kShapeOval, 0.10};
}

void Cut_OvalBorder(benchmark::State& state) {
    const RasterImage& photo = Pictures().photo;
    for (auto _ : state) {
        RasterImage result;
        if (!CutPicture(photo, OvalRequest(), result)) {
            state.SkipWithError("Cut failed");
            return;
        }
        benchmark::DoNotOptimize(result.GetBits());
    }
}

void Rescale_ToView(benchmark::State& state) {
    RasterImage photo(Pictures().photo);
    RasterImage view;
    for (auto _ : state) {
        if (!photo.Rescale(kViewWidth, kViewHeight, RASTER_RESCALE_AREA, &view)) {
            state.SkipWithError(photo.LastErrorText());
            return;
        }
        benchmark::DoNotOptimize(view.GetBits());
    }
}

// Growth of the resident peak during one Cut over the picture's bytes; run in a child.
double MeasurePeakInThisProcess() {
    const RasterImage& photo = Pictures().photo;
    // Large blocks straight from and back to the system, so that memory freed earlier and
    // still resident cannot hide the growth.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";  // resident peak := resident now
    const long before = StatusKilobytes("VmRSS:");
    {
        RasterImage result;
        if (!CutPicture(photo, OvalRequest(), result)) return -1;
    }
    const long peak = StatusKilobytes("VmHWM:");
    if (before < 0 || peak < 0) return -1;
    return double(peak - before) * 1024.0 / double(photo.GetBlockSize());
}

constexpr char kPeakChildFlag[] = "--child-cut-peak";

// The child: prints the ratio.
int PrintPeakInThisProcess() {
    const double ratio = MeasurePeakInThisProcess();
    if (ratio < 0) return 1;
    std::printf("%.17g\n", ratio);
    return 0;
}

const bool kPeakChild = RegisterChildMode(kPeakChildFlag, PrintPeakInThisProcess);

double MeasurePeakInChild() {
    const std::string output = RunInChildMode(kPeakChildFlag);
    return output.empty() ? -1 : std::strtod(output.c_str(), nullptr);
}

void Cut_PeakMemory(benchmark::State& state) {
    double ratio = -1;
    for (auto _ : state) ratio = MeasurePeakInChild();
    state.counters["peak_x_picture"] = ratio;
    if (ratio < 0) state.SkipWithError("could not measure the resident peak");
}

const bool kCut = AddComparison("Cut_OvalBorder", "Rescale_ToView", 4.0, Memory::Reused);

}  // namespace

BENCHMARK(Cut_OvalBorder)->Unit(benchmark::kMillisecond);
BENCHMARK(Rescale_ToView)->Unit(benchmark::kMillisecond);
BENCHMARK(Cut_PeakMemory)->Unit(benchmark::kMillisecond)->Iterations(1);
