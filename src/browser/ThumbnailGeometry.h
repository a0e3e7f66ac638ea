// Sizes of the thumbnail list: the thumbnail box, the smallest picture listed, and the size
// rule that fits a picture into the box.
#pragma once

#include <cstdint>

namespace thumbs {

inline constexpr int kThumbSide = 60;          // thumbnails fit kThumbSide x kThumbSide
inline constexpr int kMinPictureSide = 72;     // shorter sides are not listed
inline constexpr int kCacheNormalSide = 128;   // freedesktop "normal" cache entries
inline constexpr int kCacheLargeSide = 256;    // freedesktop "large" cache entries

struct Size {
    uint32_t width = 0;
    uint32_t height = 0;
    bool operator==(const Size&) const = default;
};

// Fits width x height into side x side keeping the ratio: r = width / height; r > 1 gives
// side x round(side / r), otherwise round(side * r) x side, halves rounded away from zero.
// A side never rounds down to 0.
Size FitIntoSquare(uint32_t width, uint32_t height, int side = kThumbSide);

// The thumbnail box in device pixels on a screen of the given device pixel ratio: kThumbSide
// times the ratio, rounded, never less than kThumbSide.
int DeviceThumbSide(double devicePixelRatio);

}  // namespace thumbs
