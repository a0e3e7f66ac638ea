// Arbitrary bytes as a photo's XMP sidecar: the crop is read from it, merged into it, read
// again and taken out, as opening a photo, placing its box and saving it would do.
#include <cstddef>
#include <cstdint>
#include <string>

#include "image/metadata/CropSidecar.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string packet(reinterpret_cast<const char*>(data), size);
    std::string error;
    KeptCrop crop = ReadKeptCrop(packet, &error).value_or(KeptCrop{});
    crop.ownFields = size % 2 == 0;
    if (WriteKeptCrop(packet, crop, &error)) {
        ReadKeptCrop(packet, &error);
        RemoveKeptCrop(packet, &error);
    }
    return 0;
}
