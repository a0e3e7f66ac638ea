// Anti-aliased drawing on 8-bit grey surfaces (the masks of Cut and of the view's border
// preview) and on 32-bit pictures (the shape outline), through QPainter.
#pragma once

#include <QPainterPath>

#include <cstdint>
#include <vector>

#include "image/RasterImage.h"

// A width x height grey surface, black (0) at first, top row first.
class GreySurface {
public:
    GreySurface(int width, int height);
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
    int m_width;
    int m_height;
    std::vector<uint8_t> m_pixels;  // top row first, no padding
};
