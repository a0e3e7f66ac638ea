// Save of the 5120 x 2880 photo as a JPEG file with a camera's EXIF block and a Display P3
// profile written in (the EXIF fitted to the picture, a new thumbnail), against the same save
// without metadata.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "BenchPictures.h"
#include "CameraMetadata.h"
#include "RatioReport.h"

namespace {

std::string SavePath() { return "/tmp/snipwell-bench-save-" + std::to_string(getpid()) + ".jpg"; }

void SaveJpeg(benchmark::State& state, bool withMetadata) {
    RasterImage photo(Pictures().photo);
    const std::string path = SavePath();
    for (auto _ : state) {
        PictureMetadata metadata = CameraMetadata();
        if (!photo.Save(path.c_str(), RASTER_FORMAT_JPG, withMetadata ? &metadata : nullptr) || metadata.dropped) {
            state.SkipWithError("save failed");
            break;
        }
    }
    std::remove(path.c_str());
}

void Save_PhotoJpeg_WithMetadata(benchmark::State& state) { SaveJpeg(state, true); }
void Save_PhotoJpeg_Bare(benchmark::State& state) { SaveJpeg(state, false); }

}  // namespace

BENCHMARK(Save_PhotoJpeg_WithMetadata)->Unit(benchmark::kMillisecond);
BENCHMARK(Save_PhotoJpeg_Bare)->Unit(benchmark::kMillisecond);

namespace {
const bool kSaveWithMetadata = AddComparison("Save_PhotoJpeg_WithMetadata", "Save_PhotoJpeg_Bare", 1.05, Memory::Reused);
}  // namespace
