// WebP load of the 5120 x 2880 photograph (lossy, quality 90) through the image core against
// bare libwebp decoding the same bytes into a BGR buffer. Both write into reused memory: the
// core's rows come from the block pool, the bare decode's buffer is kept across iterations.
#include <benchmark/benchmark.h>
#include <webp/decode.h>

#include <vector>

#include "BenchPictures.h"
#include "image/RasterFile.h"
#include "RatioReport.h"

namespace {

const std::vector<uint8_t>& PhotoWebp() {
    static const std::vector<uint8_t> bytes = [] {
        RasterImage photo(Pictures().photo);
        photo.SetJpegQuality(90);
        RasterMemFile file;
        file.Open();
        if (!photo.Encode(&file, RASTER_FORMAT_WEBP)) return std::vector<uint8_t>();
        return std::vector<uint8_t>(file.GetBuffer(), file.GetBuffer() + file.Size());
    }();
    return bytes;
}

void WebpLoad_RasterImage(benchmark::State& state) {
    std::vector<uint8_t> bytes = PhotoWebp();
    if (bytes.empty()) {
        state.SkipWithError("WebP encode failed");
        return;
    }
    for (auto _ : state) {
        RasterImage image;
        if (!image.Decode(bytes.data(), uint32_t(bytes.size()), RASTER_FORMAT_WEBP)) {
            state.SkipWithError(image.LastErrorText());
            return;
        }
        benchmark::DoNotOptimize(image.GetBits());
    }
}

void WebpLoad_Libwebp(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = PhotoWebp();
    const int stride = int(RasterImage::StrideFor(kPhotoWidth, 24));
    std::vector<uint8_t> rows(size_t(stride) * kPhotoHeight);
    for (auto _ : state) {
        if (!WebPDecodeBGRInto(bytes.data(), bytes.size(), rows.data(), rows.size(), stride)) {
            state.SkipWithError("libwebp decode failed");
            return;
        }
        benchmark::DoNotOptimize(rows.data());
    }
}

const bool kLoad = AddComparison("WebpLoad_RasterImage", "WebpLoad_Libwebp", 1.10, Memory::Reused);

}  // namespace

BENCHMARK(WebpLoad_Libwebp)->Unit(benchmark::kMillisecond);
BENCHMARK(WebpLoad_RasterImage)->Unit(benchmark::kMillisecond);
