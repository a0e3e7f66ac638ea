#include "CutterTestPictures.h"

#include "TestSupport.h"

namespace cuttertest {

void FillPictureRect(RasterImage& image, uint32_t left, uint32_t top, uint32_t right, uint32_t bottom, uint32_t color) {
    const RasterRgbQuad quad{RasterBlue(color), RasterGreen(color), RasterRed(color), 0};
    for (uint32_t y = top; y < bottom; ++y) {
        for (uint32_t x = left; x < right; ++x) image.SetPixelColor(x, image.GetHeight() - 1 - y, quad);
    }
}

RasterImage MakeSquareShapeCutter(uint32_t size) {
    RasterImage cutter = testsupport::MakeSolidImage(size, size, kWhite);
    FillPictureRect(cutter, size / 4, size / 4, 3 * size / 4, 3 * size / 4, kBlack);
    return cutter;
}

uint8_t PictureAlpha(const RasterImage& image, uint32_t x, uint32_t y) {
    return *image.AlphaPointer(x, image.GetHeight() - 1 - y);
}

}  // namespace cuttertest
