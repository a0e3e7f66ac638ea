// RotateLeft and RotateRight: quarter turns, walked in 64 x 64 destination tiles so that
// the rows a tile reads and the rows it writes stay in cache together.
#include <cstddef>
#include <cstring>

#include "image/RasterGeometrySupport.h"
#include "image/RasterImage.h"

using namespace raster_geometry;

namespace {

constexpr uint32_t kTileSize = 64;

// Where destination pixels come from. Destination row y reads one source column; walking
// along that row walks the source rows up (clockwise) or down (counter-clockwise).
struct QuarterTurn {
    bool clockwise;
    uint32_t newWidth;
    uint32_t newHeight;

    uint32_t SourceColumn(uint32_t y) const { return clockwise ? newHeight - 1 - y : y; }
    uint32_t SourceRow(uint32_t x) const { return clockwise ? x : newWidth - 1 - x; }
};

// The pixel rows (or alpha plane) being turned and the one receiving them.
struct PlaneLayout {
    const uint8_t* source;
    size_t sourceStride;
    uint8_t* target;
    size_t targetStride;
};

struct Tile {
    uint32_t x0, x1, y0, y1;
};

// Copies one pixel of BytesPerPixel bytes; Wide moves 4 bytes at once, reading the first
// byte of the next source pixel and writing over the first byte of the next target pixel.
template <int BytesPerPixel, bool Wide>
inline void CopyPixel(const uint8_t* s, uint8_t* d) {
    if constexpr (Wide) {
        uint32_t v;
        std::memcpy(&v, s, 4);
        std::memcpy(d, &v, 4);
    } else {
        for (int j = 0; j < BytesPerPixel; ++j) d[j] = s[j];
    }
}

// Walks target column by target column: each one is a run of adjacent pixels of one source
// row, so reads are sequential and the writes stay within the tile's 64 target rows.
template <int BytesPerPixel, bool Wide>
void RotateColumn(const PlaneLayout& plane, const QuarterTurn& turn, uint32_t x, uint32_t y0, uint32_t y1) {
    const ptrdiff_t step = turn.clockwise ? -BytesPerPixel : BytesPerPixel;
    const uint8_t* s = plane.source + size_t(turn.SourceRow(x)) * plane.sourceStride;
    ptrdiff_t offset = ptrdiff_t(size_t(turn.SourceColumn(y0)) * BytesPerPixel);
    uint8_t* d = plane.target + size_t(y0) * plane.targetStride + size_t(x) * BytesPerPixel;
    for (uint32_t y = y0; y < y1; ++y, offset += step, d += plane.targetStride) {
        CopyPixel<BytesPerPixel, Wide>(s + offset, d);
    }
}

template <int BytesPerPixel>
void RotateTile(const PlaneLayout& plane, const QuarterTurn& turn, const Tile& tile) {
    if constexpr (BytesPerPixel == 3) {
        // The 4-byte moves must not read past the last source pixel of a row nor write into
        // the next row from the last target column (which may be written already).
        const uint32_t lastSourceColumn = turn.newHeight - 1;
        const uint32_t lastColumnRow = turn.clockwise ? 0 : lastSourceColumn;
        const bool readsLastColumn = tile.y0 <= lastColumnRow && lastColumnRow < tile.y1;
        for (uint32_t x = tile.x0; x < tile.x1; ++x) {
            if (readsLastColumn || x == turn.newWidth - 1) {
                RotateColumn<3, false>(plane, turn, x, tile.y0, tile.y1);
            } else {
                RotateColumn<3, true>(plane, turn, x, tile.y0, tile.y1);
            }
        }
    } else {
        for (uint32_t x = tile.x0; x < tile.x1; ++x) RotateColumn<BytesPerPixel, false>(plane, turn, x, tile.y0, tile.y1);
    }
}

void RotateIndexTile(const RasterImage& source, RasterImage& target, const QuarterTurn& turn, const Tile& tile) {
    for (uint32_t y = tile.y0; y < tile.y1; ++y) {
        const uint32_t column = turn.SourceColumn(y);
        for (uint32_t x = tile.x0; x < tile.x1; ++x) target.SetPixelIndex(x, y, source.GetPixelIndex(column, turn.SourceRow(x)));
    }
}

bool Rotate(RasterImage& image, bool clockwise, RasterImage* destination) {
    if (!image.IsValid()) return false;
    const QuarterTurn turn{clockwise, image.GetHeight(), image.GetWidth()};
    RasterImage result;
    if (!CreateBlankLike(result, image, turn.newWidth, turn.newHeight, image.GetBpp())) return false;
    if (image.HasAlpha() && !result.CreateAlpha()) {
        image.SetLastError(kNoMemoryText);
        return false;
    }
    const PlaneLayout pixels{image.GetBits(), image.GetStride(), result.GetBits(), result.GetStride()};
    const PlaneLayout alpha{image.GetAlphaPlane(), image.GetWidth(), result.GetAlphaPlane(), result.GetWidth()};
    const uint32_t bpp = image.GetBpp();

    for (uint32_t x0 = 0; x0 < turn.newWidth; x0 += kTileSize) {
        if (StopRequested(image)) return false;
        const uint32_t x1 = turn.newWidth - x0 > kTileSize ? x0 + kTileSize : turn.newWidth;
        for (uint32_t y0 = 0; y0 < turn.newHeight; y0 += kTileSize) {
            const uint32_t y1 = turn.newHeight - y0 > kTileSize ? y0 + kTileSize : turn.newHeight;
            const Tile tile{x0, x1, y0, y1};
            if (bpp == 24) {
                RotateTile<3>(pixels, turn, tile);
            } else if (bpp == 8) {
                RotateTile<1>(pixels, turn, tile);
            } else {
                RotateIndexTile(image, result, turn, tile);
            }
            if (alpha.source) RotateTile<1>(alpha, turn, tile);
        }
    }
    return HandOver(image, result, destination);
}

}  // namespace

bool RasterImage::RotateLeft(RasterImage* destination) {
    return Rotate(*this, false, destination);
}

bool RasterImage::RotateRight(RasterImage* destination) {
    return Rotate(*this, true, destination);
}
