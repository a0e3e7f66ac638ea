// Turning a 24-bit picture by any angle up to a quarter turn about its centre (the straighten
// turn), made of three shears that each filter with the Keys cubic (a = -0.5, Catmull-Rom).
//
// The turned picture lives in the source's own picture coordinates (top row = 0): the turn
// keeps the source's centre where it is, so a region of the turned picture is given as a
// rectangle in those coordinates, and may reach past the source's sides (the corners the turn
// brings in). Only the region asked for is sampled: Cut asks for its box alone, the view for
// the whole turned picture (WholeTurnedRegion).
//
// Angles are in degrees; a positive angle turns the picture anticlockwise as it is seen.
// Target pixels whose sample point lies outside the source are white; near the source's sides
// the filter repeats the outermost pixels.
#pragma once

#include <cstdint>

#include "image/RasterImage.h"

namespace raster_resample {

enum class FineTurnPath { Portable, Avx2, Fastest };

struct FineTurnOptions {
    // Worker threads sharing the target rows (1: the calling thread alone; 0: one per core).
    unsigned threads = 1;
    FineTurnPath path = FineTurnPath::Fastest;
};

// The smallest rectangle holding the whole source of width x height turned by degrees.
RasterRect WholeTurnedRegion(uint32_t width, uint32_t height, double degrees);

// Writes region of source turned by degrees into target, a 24-bit picture of the region's
// size with source's type and resolution. A target that already is one keeps its memory (only
// its pixels are written); any other is replaced. source must be a 24-bit picture and not
// target itself; its alpha plane is not read. False with target's error text on failure (a
// refused size, no memory, a stop request to source, a turn beyond 90 degrees either way).
bool RenderTurnedRegion(const RasterImage& source, double degrees, const RasterRect& region, RasterImage& target,
                        const FineTurnOptions& options = {});

}  // namespace raster_resample
