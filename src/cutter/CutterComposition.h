// The pixel work of the cut at full resolution: the cutter scaled to the cut's size (its
// colours and alpha, as Rescale makes them) with the picture blended in under it wherever
// the cutter is not opaque (an alpha-blend paste onto the scaled cutter).
#pragma once

#include <cstdint>
#include <optional>

#include "image/RasterImage.h"

namespace cutter {

// The cut's size and where the picture's top-left corner lies in it (picture coordinates,
// y from the top; either may be negative or beyond the cut).
struct CutLayout {
    uint32_t width = 0;
    uint32_t height = 0;
    int64_t pictureX = 0;
    int64_t pictureY = 0;
};

// The cutter (24 bits with alpha) at width x height, colours and alpha; uniformColour is the
// colour of every cutter pixel when they all share one, which spares scaling the colours
// where that gives the same bytes.
bool ScaleCutter(RasterImage& cutter, const std::optional<uint32_t>& uniformColour, uint32_t width, uint32_t height,
                 RasterImage& scaled);

// The cut: the scaled cutter with the picture (24 bits, no alpha) blended in at its place.
// When the cutter is enlarged each row is scaled and blended at once, while it is in cache.
bool ComposeCut(RasterImage& cutter, const std::optional<uint32_t>& uniformColour, const RasterImage& picture,
                const CutLayout& layout, RasterImage& cut);

// The part `window` (pixels of the result, y from the top, within width x height) of the
// picture (24 bits) rescaled to width x height as Rescale makes it: a large enlargement of which
// only a small part is seen is sampled there only.
bool RescaleWindow(RasterImage& picture, uint32_t width, uint32_t height, const RasterRect& window,
                   RasterImage& part);

}  // namespace cutter
