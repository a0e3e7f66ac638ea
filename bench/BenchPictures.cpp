#include "BenchPictures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <unistd.h>

#include "BareJpeg.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Deterministic per-pixel noise in [0, 255] (a 32-bit integer hash, no state).
uint32_t Hash(uint32_t x, uint32_t y, uint32_t seed) {
    uint32_t h = x * 0x9E3779B1u ^ (y + seed) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h & 0xFF;
}

uint8_t Clamp(int v) { return uint8_t(std::clamp(v, 0, 255)); }

// Smooth colour gradients (a few slow waves per channel across the picture), a fine
// diagonal texture and per-pixel noise: compresses and resamples like a photograph rather
// than like a flat synthetic pattern.
void PaintPhoto(RasterImage& image, uint32_t seed) {
    const uint32_t w = image.GetWidth();
    const uint32_t h = image.GetHeight();
    std::vector<float> waveX(size_t(w) * 3);
    std::vector<float> waveY(size_t(h) * 3);
    for (uint32_t x = 0; x < w; ++x) {
        for (int c = 0; c < 3; ++c) waveX[x * 3 + c] = float(55.0 * std::sin(2 * kPi * x / w * (1.0 + 0.45 * c) + c + seed));
    }
    for (uint32_t y = 0; y < h; ++y) {
        for (int c = 0; c < 3; ++c) {
            waveY[y * 3 + c] = float(110.0 + 15 * c + 45.0 * std::cos(2 * kPi * y / h * (0.7 + 0.35 * c) + 2 * c));
        }
    }
    int texture[256];
    for (int i = 0; i < 256; ++i) texture[i] = int(std::lround(7.0 * std::sin(2 * kPi * i / 256.0 * 9)));
    for (uint32_t y = 0; y < h; ++y) {
        uint8_t* p = image.RowPointer(y);
        for (uint32_t x = 0; x < w; ++x, p += 3) {
            const int fine = texture[(x * 3 + y * 5) & 255] + (int(Hash(x, y, seed)) - 128) / 12;
            for (int c = 0; c < 3; ++c) p[c] = Clamp(int(waveX[x * 3 + c] + waveY[y * 3 + c]) + fine);
        }
    }
}

// A soft-edged ellipse of opacity with noise: all of 0, 255 and the values between occur.
void PaintSoftAlpha(RasterImage& image) {
    image.CreateAlpha();
    const double cx = image.GetWidth() / 2.0, cy = image.GetHeight() / 2.0;
    for (uint32_t y = 0; y < image.GetHeight(); ++y) {
        for (uint32_t x = 0; x < image.GetWidth(); ++x) {
            const double dx = (x - cx) / cx, dy = (y - cy) / cy;
            const double d = std::sqrt(dx * dx + dy * dy);
            *image.AlphaPointer(x, y) = Clamp(int((1.15 - d) * 600) + int(Hash(x, y, 7)) / 16 - 8);
        }
    }
}

// Partly transparent everywhere but never fully (so no blend takes the copy shortcut).
void PaintBackdropAlpha(RasterImage& image) {
    image.CreateAlpha();
    for (uint32_t y = 0; y < image.GetHeight(); ++y) {
        for (uint32_t x = 0; x < image.GetWidth(); ++x) *image.AlphaPointer(x, y) = uint8_t(1 + Hash(x, y, 3) % 255);
    }
}

bool MakePhoto(RasterImage& image, uint32_t width, uint32_t height, uint32_t seed) {
    if (!image.Create(width, height, 24, 0)) return false;
    PaintPhoto(image, seed);
    return true;
}

BenchPictures Build() {
    BenchPictures pictures;
    if (!MakePhoto(pictures.photo, kPhotoWidth, kPhotoHeight, 1) ||
        !MakePhoto(pictures.overlay, kScreenWidth, kScreenHeight, 2) ||
        !MakePhoto(pictures.backdrop, kScreenWidth, kScreenHeight, 3)) {
        std::fprintf(stderr, "bench: cannot make the test pictures\n");
        std::exit(1);
    }
    PaintSoftAlpha(pictures.overlay);
    PaintBackdropAlpha(pictures.backdrop);
    const RasterImage& photo = pictures.photo;
    BareJpegFile jpeg;
    if (!BareJpegEncode(photo.GetBits(), photo.GetWidth(), photo.GetHeight(), photo.GetStride(), 90,
                        RASTER_DEFAULT_DPI, jpeg)) {
        std::fprintf(stderr, "bench: cannot encode the test JPEG\n");
        std::exit(1);
    }
    pictures.photoJpeg.assign(jpeg.data, jpeg.data + jpeg.size);
    return pictures;
}

}  // namespace

const BenchPictures& Pictures() {
    static const BenchPictures pictures = Build();
    return pictures;
}

const std::string& PhotoJpegFile() {
    static const struct File {
        std::string path;
        File() {
            // Named after the process: benchmarks running side by side never share the file.
            path = (std::filesystem::temp_directory_path() /
                    ("snipwell-bench-" + std::to_string(getpid()) + "-photo.jpg")).string();
            const std::vector<uint8_t>& bytes = Pictures().photoJpeg;
            FILE* f = std::fopen(path.c_str(), "wb");
            if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
                std::fprintf(stderr, "bench: cannot write %s\n", path.c_str());
                std::exit(1);
            }
            std::fclose(f);
        }
        ~File() { std::remove(path.c_str()); }
    } file;
    return file.path;
}
