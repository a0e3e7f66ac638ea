// Feeds arbitrary bytes to the WebP reader (container, animation frames, VP8 and VP8L data); a
// decoded picture must be sound in every byte.
#include "FuzzFormat.h"
#include "image/formats/RasterImageWEBP.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzFormatDecode<FuzzWithMetadata<RasterImageWEBP>>(data, size);
}
