// PNG files with a colour profile, written and read with libpng itself (grey or RGB, 8 or 16
// bits), for feeding cjxl and checking what djxl writes; the profiles made with lcms.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

#include "image/RasterImage.h"

namespace taggedpng {

// A grey profile, or an RGB one with primaries (x, y of red, green, blue) and D65 white, both
// with a pure power curve of gamma (1 = linear light).
std::vector<uint8_t> GreyProfile(double gamma);
std::vector<uint8_t> RgbProfile(const double primaries[6], double gamma);

// sample(x, y, channel) in 0..1 for each of channels (1 grey, 3 RGB); icc empty = untagged.
void Write(const std::filesystem::path& path, uint32_t width, uint32_t height, uint32_t channels, int bits,
           const std::vector<uint8_t>& icc, const std::function<double(uint32_t, uint32_t, uint32_t)>& sample);

// Reads a PNG and converts it through its own profile (sRGB when it has none) to an 8-bit
// sRGB picture with lcms; false when the file cannot be read.
bool ReadAsSrgb(const std::filesystem::path& path, RasterImage& picture);

}  // namespace taggedpng
