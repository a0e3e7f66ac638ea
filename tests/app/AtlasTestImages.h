// Small stand-ins for the interface atlas in the tests.
#pragma once

#include <gtest/gtest.h>

#include "image/RasterImage.h"

// A 24-bit picture with an alpha plane, every pixel of colour (0x00BBGGRR) and alpha.
inline RasterImage MakeTestAtlas(uint32_t width, uint32_t height, uint32_t color, uint8_t alpha) {
    RasterImage atlas;
    EXPECT_NE(atlas.Create(width, height, 24, 0), nullptr);
    atlas.FillColor(color);
    EXPECT_TRUE(atlas.CreateAlpha());
    atlas.SetAlphaLevel(alpha);
    return atlas;
}
