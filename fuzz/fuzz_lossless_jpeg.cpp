// Arbitrary bytes into the lossless JPEG path: the header facts it reads, the quality its
// tables tell (the export's "as the original"), and the block move
// with its metadata for a cut and a layout chosen from the input's size. Whatever it writes is a
// JPEG whose header reads back with the size the move promised.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "image/formats/JpegFrameFacts.h"
#include "image/formats/JpegQualityEstimate.h"
#include "image/formats/LosslessJpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact copy, so that a read past the end shows.
    const std::vector<uint8_t> bytes(data, data + size);
    if (const auto quality = EstimateJpegQuality(bytes.data(), bytes.size()); quality && (*quality < 1 || *quality > 100)) {
        __builtin_trap();
    }
    JpegFrameFacts facts;
    std::string reason;
    if (!ReadJpegFrameFacts(bytes.data(), bytes.size(), facts, reason)) return 0;
    // Pictures the fuzzer's memory ceiling would refuse anyway are left out early.
    if (uint64_t(facts.size.width) * facts.size.height > 4'000'000) return 0;
    LosslessJpegRequest request;
    request.layout = int(size % 8) + 1;
    request.allowTrim = (size & 8) != 0;
    if ((size & 16) != 0) request.storedCut = RasterRect{8, 8, int32_t(facts.size.width / 2) + 8, int32_t(facts.size.height / 2) + 8};
    static LosslessJpegTransformer transformer;
    std::vector<uint8_t> out;
    const LosslessJpegResult result = transformer.Transform(bytes.data(), bytes.size(), request, out);
    if (!result.Written()) return 0;
    JpegFrameFacts written;
    if (!ReadJpegFrameFacts(out.data(), out.size(), written, reason)) __builtin_trap();
    return 0;
}
