// Shared body of the fuzz targets of the read-only formats: arbitrary bytes go straight to
// the format class's Decode, which must fail cleanly or give a valid picture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/RasterFile.h"

template <class Format>
int FuzzDecode(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    RasterMemFile file(bytes.empty() ? nullptr : bytes.data(), uint32_t(bytes.size()));
    if (bytes.empty()) file.Open();
    Format image;
    if (image.Decode(&file) && !image.IsValid()) __builtin_trap();
    return 0;
}
