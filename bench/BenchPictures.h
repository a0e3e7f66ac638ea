// The pictures every benchmark works on, made once at start-up: a synthetic photograph
// (smooth gradients with fine texture and noise, deterministic) at 5120 x 2880, its
// quality-90 JPEG in memory, and 1920 x 1080 pictures with alpha planes for compositing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/RasterImage.h"

constexpr uint32_t kPhotoWidth = 5120;
constexpr uint32_t kPhotoHeight = 2880;
constexpr uint32_t kScreenWidth = 1920;
constexpr uint32_t kScreenHeight = 1080;

struct BenchPictures {
    RasterImage photo;                 // 5120 x 2880, 24-bit
    std::vector<uint8_t> photoJpeg;    // photo as a quality-90 JPEG (1 x 1 sampling)
    RasterImage overlay;               // 1920 x 1080, 24-bit with a soft alpha plane
    RasterImage backdrop;              // 1920 x 1080, 24-bit with an alpha plane, no zeros
};

// Built on first call; main calls it before running so no benchmark pays for it.
const BenchPictures& Pictures();

// The photo's JPEG written once to a temporary file of this process, removed at exit: for
// benchmarks of paths that start from a file.
const std::string& PhotoJpegFile();
