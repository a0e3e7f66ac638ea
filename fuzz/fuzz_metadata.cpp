// Arbitrary bytes as a JPEG's header segments or as one metadata block (EXIF, XMP, IPTC, ICC,
// a PNG raw profile, Photoshop resources) through the program's metadata steps: reading,
// checking, printing, colour conversion and writing into a new file (FuzzMetadataSteps.h).
#include <cstddef>
#include <cstdint>

#include "FuzzMetadataSteps.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!fuzzmeta::RunMetadataSteps(data, size)) __builtin_trap();
    return 0;
}
