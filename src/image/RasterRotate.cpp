// RotateLeft and RotateRight: quarter turns, walked in 64 x 64 destination tiles so that
// the rows a tile reads and the rows it writes stay in cache together. Inside a tile, blocks
// of 8 x 8 pixels are transposed in registers where the processor allows, and the lines of
// the next tile are fetched ahead while this one is turned: a tile reads and writes 64 rows
// at a time, more streams than the hardware prefetchers follow.
#include <cstddef>
#include <cstring>

#include "image/RasterGeometryAvx2.h"
#include "image/RasterGeometrySupport.h"
#include "image/RasterImage.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using namespace raster_geometry;

namespace {

constexpr uint32_t kTileSize = 64;
// The side of the blocks moved at once; a tile holds 8 x 8 of them.
constexpr uint32_t kBlock = kTurnBlock;
constexpr size_t kCacheLine = 64;

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

using BlockMover = void (*)(const BlockColumn& column);

// The blocks of target columns x .. x + kBlock - 1 from row y down, `blocks` of them. The
// source runs of a block start at the lowest source column it reads, which lands in its last
// target row (clockwise) or its first (counter-clockwise).
BlockColumn BlocksAt(const PlaneLayout& plane, const QuarterTurn& turn, uint32_t x, uint32_t y, uint32_t blocks,
                     uint32_t bytesPerPixel) {
    const uint32_t lowRow = turn.clockwise ? y + kBlock - 1 : y;
    const auto sourceStride = ptrdiff_t(plane.sourceStride);
    const auto targetStride = ptrdiff_t(plane.targetStride);
    const auto blockBytes = ptrdiff_t(kBlock * bytesPerPixel);
    return BlockColumn{
        plane.source + size_t(turn.SourceRow(x)) * plane.sourceStride + size_t(turn.SourceColumn(lowRow)) * bytesPerPixel,
        turn.clockwise ? sourceStride : -sourceStride,
        plane.target + size_t(lowRow) * plane.targetStride + size_t(x) * bytesPerPixel,
        turn.clockwise ? -targetStride : targetStride,
        blocks,
        turn.clockwise ? -blockBytes : blockBytes,
        ptrdiff_t(kBlock) * targetStride};
}

#if defined(__SSE2__)
// Blocks of 8 x 8 bytes, each transposed through three rounds of interleaving.
void MoveBlocks8Sse2(const BlockColumn& column) {
    const uint8_t* source = column.source;
    uint8_t* target = column.target;
    for (uint32_t b = 0; b < column.blocks; ++b, source += column.sourceAdvance, target += column.targetAdvance) {
        __m128i run[kBlock];
        for (uint32_t k = 0; k < kBlock; ++k) {
            run[k] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(source + ptrdiff_t(k) * column.sourceStep));
        }
        // Byte j of runs 2i and 2i + 1 side by side, then of four runs, then of all eight.
        __m128i pairs[kBlock / 2];
        for (uint32_t i = 0; i < kBlock / 2; ++i) pairs[i] = _mm_unpacklo_epi8(run[2 * i], run[2 * i + 1]);
        const __m128i quads[4] = {_mm_unpacklo_epi16(pairs[0], pairs[1]), _mm_unpackhi_epi16(pairs[0], pairs[1]),
                                  _mm_unpacklo_epi16(pairs[2], pairs[3]), _mm_unpackhi_epi16(pairs[2], pairs[3])};
        // Each holds two target runs of 8 bytes.
        const __m128i runPairs[4] = {_mm_unpacklo_epi32(quads[0], quads[2]), _mm_unpackhi_epi32(quads[0], quads[2]),
                                     _mm_unpacklo_epi32(quads[1], quads[3]), _mm_unpackhi_epi32(quads[1], quads[3])};
        for (uint32_t j = 0; j < kBlock; j += 2) {
            uint8_t* first = target + ptrdiff_t(j) * column.targetStep;
            _mm_storel_epi64(reinterpret_cast<__m128i*>(first), runPairs[j / 2]);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(first + column.targetStep),
                             _mm_unpackhi_epi64(runPairs[j / 2], runPairs[j / 2]));
        }
    }
}
#endif

// The block mover for whole bytes per pixel on this processor, or null for the pixel loop.
BlockMover FastMover(uint32_t bytesPerPixel) {
#if defined(RASTER_BLEND_AVX2)
    if (bytesPerPixel == 3 && rasteravx2::Avx2Supported()) return rasteravx2::TurnBlocks24;
#endif
#if defined(__SSE2__)
    if (bytesPerPixel == 1) return MoveBlocks8Sse2;
#endif
    return nullptr;
}

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

// Columns x0 .. x1 - 1 of the tile's rows, a pixel at a time.
template <int BytesPerPixel>
void RotateColumns(const PlaneLayout& plane, const QuarterTurn& turn, const Tile& tile) {
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

// Always inlined: a function doing nothing but prefetches counts for the compiler as one
// without effects, and its calls are dropped.
#define RASTER_ROTATE_INLINE inline __attribute__((always_inline))

RASTER_ROTATE_INLINE void PrefetchBytes(const uint8_t* begin, size_t bytes, bool forWriting) {
    const auto first = uintptr_t(begin) & ~uintptr_t(kCacheLine - 1);
    const auto end = uintptr_t(begin) + bytes;
    for (uintptr_t line = first; line < end; line += kCacheLine) {
        if (forWriting) {
            __builtin_prefetch(reinterpret_cast<const void*>(line), 1, 3);
        } else {
            __builtin_prefetch(reinterpret_cast<const void*>(line), 0, 3);
        }
    }
}

// Part `part` of the lines tile will touch: the source rows of its target columns
// x0 + part * kBlock onward and its target rows y0 + part * kBlock onward, kBlock of each.
template <int BytesPerPixel>
RASTER_ROTATE_INLINE void PrefetchTilePart(const PlaneLayout& plane, const QuarterTurn& turn, const Tile& tile, uint32_t part) {
    const uint32_t first = part * kBlock;
    const uint32_t lowColumn = turn.clockwise ? turn.SourceColumn(tile.y1 - 1) : turn.SourceColumn(tile.y0);
    const size_t sourceBytes = size_t(tile.y1 - tile.y0) * BytesPerPixel;
    for (uint32_t x = tile.x0 + first; x < tile.x1 && x < tile.x0 + first + kBlock; ++x) {
        PrefetchBytes(plane.source + size_t(turn.SourceRow(x)) * plane.sourceStride + size_t(lowColumn) * BytesPerPixel,
                      sourceBytes, false);
    }
    const size_t targetBytes = size_t(tile.x1 - tile.x0) * BytesPerPixel;
    for (uint32_t y = tile.y0 + first; y < tile.y1 && y < tile.y0 + first + kBlock; ++y) {
        PrefetchBytes(plane.target + size_t(y) * plane.targetStride + size_t(tile.x0) * BytesPerPixel, targetBytes, true);
    }
}

// Turns one tile, kBlock target columns at a time: by whole blocks where a mover exists, the
// rest a pixel at a time; each step first fetches a part of the next tile's lines.
template <int BytesPerPixel>
void RotateTile(const PlaneLayout& plane, const QuarterTurn& turn, const Tile& tile, const Tile* next,
                BlockMover mover) {
    uint32_t part = 0;
    for (uint32_t x = tile.x0; x < tile.x1; x += kBlock, ++part) {
        const uint32_t xEnd = tile.x1 - x > kBlock ? x + kBlock : tile.x1;
        if (next) PrefetchTilePart<BytesPerPixel>(plane, turn, *next, part);
        uint32_t y = tile.y0;
        if (mover && xEnd - x == kBlock) {
            const uint32_t blocks = (tile.y1 - tile.y0) / kBlock;
            mover(BlocksAt(plane, turn, x, tile.y0, blocks, BytesPerPixel));
            y += blocks * kBlock;
        }
        if (y < tile.y1) RotateColumns<BytesPerPixel>(plane, turn, Tile{x, xEnd, y, tile.y1});
    }
}

void RotateIndexTile(const RasterImage& source, RasterImage& target, const QuarterTurn& turn, const Tile& tile) {
    for (uint32_t y = tile.y0; y < tile.y1; ++y) {
        const uint32_t column = turn.SourceColumn(y);
        for (uint32_t x = tile.x0; x < tile.x1; ++x) target.SetPixelIndex(x, y, source.GetPixelIndex(column, turn.SourceRow(x)));
    }
}

Tile TileAt(const QuarterTurn& turn, uint32_t x0, uint32_t y0) {
    const uint32_t x1 = turn.newWidth - x0 > kTileSize ? x0 + kTileSize : turn.newWidth;
    const uint32_t y1 = turn.newHeight - y0 > kTileSize ? y0 + kTileSize : turn.newHeight;
    return Tile{x0, x1, y0, y1};
}

// The tile after this one in the walk (down a column of tiles, then the next column), if any.
bool NextTile(const QuarterTurn& turn, const Tile& tile, Tile& next) {
    if (tile.y1 < turn.newHeight) {
        next = TileAt(turn, tile.x0, tile.y1);
        return true;
    }
    if (tile.x1 < turn.newWidth) {
        next = TileAt(turn, tile.x1, 0);
        return true;
    }
    return false;
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
    const BlockMover pixelMover = FastMover(bpp / 8);
    const BlockMover alphaMover = FastMover(1);

    for (uint32_t x0 = 0; x0 < turn.newWidth; x0 += kTileSize) {
        if (StopRequested(image)) return false;
        for (uint32_t y0 = 0; y0 < turn.newHeight; y0 += kTileSize) {
            const Tile tile = TileAt(turn, x0, y0);
            Tile following{};
            const Tile* next = NextTile(turn, tile, following) ? &following : nullptr;
            if (bpp == 24) {
                RotateTile<3>(pixels, turn, tile, next, pixelMover);
            } else if (bpp == 8) {
                RotateTile<1>(pixels, turn, tile, next, pixelMover);
            } else {
                RotateIndexTile(image, result, turn, tile);
            }
            if (alpha.source) RotateTile<1>(alpha, turn, tile, next, alphaMover);
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
