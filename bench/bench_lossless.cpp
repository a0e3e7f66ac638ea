// Saving a cut or a quarter turn of a 24-megapixel baseline JPEG by moving its DCT blocks,
// against decoding, cutting or turning and encoding the pixels, in the same run. Both sides
// keep what memory they own across iterations: the block mover its output buffer and, through
// the image core's block pool, the source's coefficient arrays; the decode path the pool's
// pixel blocks. The written blocks of a turn are made row by row as the encoder reads them, so
// no second whole-picture array is needed.
#include <benchmark/benchmark.h>

#include <vector>

#include "BenchPictures.h"
#include "image/RasterFile.h"
#include "image/formats/LosslessJpeg.h"
#include "RatioReport.h"

namespace {

// 24 megapixels, as a 6000 x 4000 camera writes them; both sides are multiples of the 16-pixel
// block on the axis a quarter turn right reverses, so no trim is needed.
constexpr uint32_t kLargeWidth = 6000;
constexpr uint32_t kLargeHeight = 4000;
constexpr uint8_t kQuality = 90;
// A 6 x 4 box of 4800 x 3200 with its corner on the block grid.
constexpr RasterRect kCut{592, 400, 592 + 4800, 400 + 3200};

// Encodes image as a baseline JPEG at kQuality into file; false when it cannot.
bool EncodeJpeg(RasterImage& image, RasterMemFile& file) {
    image.SetJpegQuality(kQuality);
    return file.Open() && image.Encode(&file, RASTER_FORMAT_JPG);
}

// The benchmark photo stretched to 24 megapixels and encoded, made on first use.
const std::vector<uint8_t>& LargeJpeg() {
    static const std::vector<uint8_t> jpeg = [] {
        RasterImage large(Pictures().photo);
        RasterMemFile file;
        if (!large.Rescale(kLargeWidth, kLargeHeight, RASTER_RESCALE_AREA) || !EncodeJpeg(large, file)) {
            return std::vector<uint8_t>();
        }
        return std::vector<uint8_t>(file.GetBuffer(), file.GetBuffer() + file.Size());
    }();
    return jpeg;
}

void MoveBlocks(benchmark::State& state, const LosslessJpegRequest& request) {
    const std::vector<uint8_t>& source = LargeJpeg();
    LosslessJpegTransformer transformer;
    std::vector<uint8_t> out;
    for (auto _ : state) {
        const LosslessJpegResult result = transformer.Transform(source.data(), source.size(), request, out);
        if (!result.Written()) {
            state.SkipWithError(result.reason.c_str());
            return;
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["bytes"] = double(out.size());
}

template <typename Edit>
void Recode(benchmark::State& state, Edit edit) {
    std::vector<uint8_t> source = LargeJpeg();   // Decode takes a writable buffer
    size_t size = 0;
    for (auto _ : state) {
        RasterImage image;
        if (!image.Decode(source.data(), uint32_t(source.size()), RASTER_FORMAT_JPG) || !edit(image)) {
            state.SkipWithError(image.LastErrorText());
            return;
        }
        RasterMemFile file;
        if (!EncodeJpeg(image, file)) {
            state.SkipWithError(image.LastErrorText());
            return;
        }
        size = size_t(file.Size());
        benchmark::DoNotOptimize(file.GetBuffer());
    }
    state.counters["bytes"] = double(size);
}

void LosslessCut_Blocks(benchmark::State& state) {
    LosslessJpegRequest request;
    request.storedCut = kCut;
    MoveBlocks(state, request);
}

void LosslessCut_Recode(benchmark::State& state) {
    Recode(state, [](RasterImage& image) { return image.Crop(kCut); });
}

void LosslessTurn_Blocks(benchmark::State& state) {
    LosslessJpegRequest request;
    request.layout = kLayoutTurnRight;
    MoveBlocks(state, request);
}

void LosslessTurn_Recode(benchmark::State& state) {
    Recode(state, [](RasterImage& image) { return image.RotateRight(); });
}

const bool kCutRatio = AddComparison("LosslessCut_Blocks", "LosslessCut_Recode", 1.0, Memory::Reused);
const bool kTurnRatio = AddComparison("LosslessTurn_Blocks", "LosslessTurn_Recode", 1.0, Memory::Reused);

}  // namespace

BENCHMARK(LosslessCut_Recode)->Unit(benchmark::kMillisecond);
BENCHMARK(LosslessCut_Blocks)->Unit(benchmark::kMillisecond);
BENCHMARK(LosslessTurn_Recode)->Unit(benchmark::kMillisecond);
BENCHMARK(LosslessTurn_Blocks)->Unit(benchmark::kMillisecond);
