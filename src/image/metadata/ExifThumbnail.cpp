#include "image/metadata/ExifThumbnail.h"

#include <algorithm>

#include "image/RasterFile.h"

namespace {

// Samples per thumbnail pixel along each side.
constexpr uint32_t kSamplesPerSide = 4;
constexpr uint8_t kThumbnailQuality = 80;

// Position of sample s (of kSamplesPerSide) of thumbnail pixel t along a side of source
// pixels that thumb pixels cover.
uint32_t SampleAt(uint32_t t, uint32_t s, uint32_t source, uint32_t thumb) {
    const uint64_t numerator = (uint64_t(t) * kSamplesPerSide + s) * 2 + 1;
    const uint64_t at = numerator * source / (uint64_t(thumb) * kSamplesPerSide * 2);
    return uint32_t(std::min<uint64_t>(at, source - 1));
}

}  // namespace

bool MakeExifThumbnail(const RasterImage& picture, std::vector<uint8_t>& jpeg) {
    jpeg.clear();
    if (!picture.IsValid() || picture.GetBpp() != 24) return false;
    const uint32_t width = picture.GetWidth();
    const uint32_t height = picture.GetHeight();
    if (width == 0 || height == 0) return false;
    const uint32_t longest = std::max(width, height);
    const uint32_t scaleTo = std::min(longest, kExifThumbnailSide);
    const uint32_t thumbWidth = std::max<uint32_t>(1, uint32_t((uint64_t(width) * scaleTo + longest / 2) / longest));
    const uint32_t thumbHeight = std::max<uint32_t>(1, uint32_t((uint64_t(height) * scaleTo + longest / 2) / longest));
    RasterImage thumb;
    if (!thumb.Create(thumbWidth, thumbHeight, 24, RASTER_FORMAT_JPG)) return false;
    constexpr uint32_t kSamples = kSamplesPerSide * kSamplesPerSide;
    for (uint32_t ty = 0; ty < thumbHeight; ++ty) {
        uint32_t rows[kSamplesPerSide];
        for (uint32_t s = 0; s < kSamplesPerSide; ++s) rows[s] = SampleAt(ty, s, height, thumbHeight);
        uint8_t* out = thumb.RowPointer(ty);
        for (uint32_t tx = 0; tx < thumbWidth; ++tx, out += 3) {
            uint32_t sum[3] = {0, 0, 0};
            for (uint32_t sy = 0; sy < kSamplesPerSide; ++sy) {
                for (uint32_t sx = 0; sx < kSamplesPerSide; ++sx) {
                    const uint8_t* p = picture.PixelPointer(SampleAt(tx, sx, width, thumbWidth), rows[sy]);
                    sum[0] += p[0];
                    sum[1] += p[1];
                    sum[2] += p[2];
                }
            }
            for (int c = 0; c < 3; ++c) out[c] = uint8_t((sum[c] + kSamples / 2) / kSamples);
        }
    }
    thumb.SetJpegQuality(kThumbnailQuality);
    RasterMemFile file;
    if (!file.Open() || !thumb.Encode(&file, RASTER_FORMAT_JPG)) return false;
    jpeg.assign(file.GetBuffer(), file.GetBuffer() + file.Size());
    return true;
}
