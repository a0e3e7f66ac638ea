// Cut of a 5120 x 2880 photograph shown in a 1920 x 1080 client (view copy 1536 x 864) with the
// default 6x4 box, an oval and a 10% border, against the Rescale that builds the view copy.
// The extra memory of a Cut is reported as the growth of the resident peak over the picture's
// bytes ("peak_x_picture").
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "CutOperation.h"

namespace {

constexpr uint32_t kPhotoWidth = 5120;
constexpr uint32_t kPhotoHeight = 2880;
constexpr uint32_t kViewWidth = 1536;
constexpr uint32_t kViewHeight = 864;

// Smooth gradients with some noise, so that neither copy nor blend meets uniform data.
RasterImage MakePhoto() {
    RasterImage photo;
    if (!photo.Create(kPhotoWidth, kPhotoHeight, 24, RASTER_FORMAT_JPG)) return photo;
    uint32_t noise = 12345;
    for (uint32_t y = 0; y < kPhotoHeight; ++y) {
        uint8_t* p = photo.RowPointer(y);
        for (uint32_t x = 0; x < kPhotoWidth; ++x, p += 3) {
            noise = noise * 1103515245u + 12345u;
            p[0] = uint8_t(x * 255 / kPhotoWidth + (noise >> 28));
            p[1] = uint8_t(y * 255 / kPhotoHeight + (noise >> 24 & 7));
            p[2] = uint8_t((x + y) / 32 + (noise >> 20 & 15));
        }
    }
    return photo;
}

// Rescale is not const (it reports progress), hence a mutable picture.
RasterImage& Photo() {
    static RasterImage photo = MakePhoto();
    return photo;
}

// The default 6x4 box over the view copy centred in a 1920 x 1080 client: full height, width
// rounded(1.5 x 864) = 1296, centred.
CutRequest OvalRequest() {
    return CutRequest{1920, 1080, int(kViewWidth), int(kViewHeight), {312, 108, 1608, 972}, cropbox::kShapeOval, 0.10};
}

// Kilobytes of a "VmRSS:" / "VmHWM:" line of /proc/self/status; -1 when missing.
long StatusKilobytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field)));
    }
    return -1;
}

// Resets the resident peak to the current resident size (Linux 4.0 and later).
bool ResetResidentPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    return bool(clear);
}

// Growth of the resident peak during one Cut, in units of the picture's bytes.
double PeakCutMemoryOverPicture() {
    const RasterImage& photo = Photo();
    // Large blocks straight from and back to the system, so that freed memory of earlier runs
    // cannot hide the growth.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    malloc_trim(0);
    if (!ResetResidentPeak()) return -1;
    const long before = StatusKilobytes("VmRSS:");
    {
        RasterImage result;
        CutPicture(photo, OvalRequest(), result);
    }
    const long peak = StatusKilobytes("VmHWM:");
    if (before < 0 || peak < 0) return -1;
    return double(peak - before) * 1024.0 / double(photo.GetBlockSize());
}

void CutOvalWithBorder(benchmark::State& state) {
    const RasterImage& photo = Photo();
    for (auto _ : state) {
        RasterImage result;
        if (!CutPicture(photo, OvalRequest(), result)) state.SkipWithError("Cut failed");
        benchmark::DoNotOptimize(result.GetBits());
    }
}

void RescaleToView(benchmark::State& state) {
    RasterImage& photo = Photo();
    for (auto _ : state) {
        RasterImage view;
        if (!photo.Rescale(kViewWidth, kViewHeight, RASTER_RESCALE_AREA, &view)) state.SkipWithError("Rescale failed");
        benchmark::DoNotOptimize(view.GetBits());
    }
}

// Runs last: it changes the allocator's thresholds for the rest of the process.
void CutPeakMemory(benchmark::State& state) {
    double peak = -1;
    for (auto _ : state) peak = PeakCutMemoryOverPicture();
    state.counters["peak_x_picture"] = peak;
}

}  // namespace

BENCHMARK(CutOvalWithBorder)->Unit(benchmark::kMillisecond);
BENCHMARK(RescaleToView)->Unit(benchmark::kMillisecond);
BENCHMARK(CutPeakMemory)->Unit(benchmark::kMillisecond)->Iterations(1);
