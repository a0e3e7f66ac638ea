// Anti-aliased drawing on 8-bit grey surfaces (the masks of Cut and of the view's border
// preview) and on 32-bit pictures (the shape outline), through QPainter.
#pragma once

#include <QPainterPath>

#include <cstdint>
#include <vector>

#include "image/RasterImage.h"

// A width x height grey surface, black (0) at first, top row first. Qt's painter draws at most
// 32767 pixels a side, so a larger surface is drawn in square tiles (the painter moved to each
// tile in whole pixels, which leaves every pixel's coverage as one pass would give it).
class GreySurface {
public:
    // The largest tile: 16 MB of surface at a time, well inside the painter's reach.
    static constexpr int kLargestTile = 4096;

    // A surface of its own.
    GreySurface(int width, int height, int tileSide = kLargestTile);
    // Draws onto the caller's width x height bytes (top row first, no padding), which must
    // outlive the surface and are not cleared.
    GreySurface(uint8_t* pixels, int width, int height, int tileSide = kLargestTile);
    bool IsValid() const;
    int Width() const { return m_width; }
    int Height() const { return m_height; }

    // Fills a real-valued path (or rectangle) with the grey level, anti-aliased at high quality.
    void FillPath(const QPainterPath& path, uint8_t level);
    void FillRect(double x, double y, double width, double height, uint8_t level);
    void FillEllipse(double x, double y, double width, double height, uint8_t level);

    // Row y (0 = top) of width bytes.
    const uint8_t* Row(int y) const;
    // The grey values as an array in stored (bottom-up) row order, as ExtractChannel gives.
    std::vector<uint8_t> BottomUpBytes() const;

private:
    uint8_t* Bits() { return m_external ? m_external : m_owned.data(); }
    const uint8_t* Bits() const { return m_external ? m_external : m_owned.data(); }
    template <class Draw>
    void PaintTiles(uint8_t level, Draw draw);

    int m_width;
    int m_height;
    int m_tileSide;
    std::vector<uint8_t> m_owned;     // top row first, no padding; empty when drawing on the caller's
    uint8_t* m_external = nullptr;
};
