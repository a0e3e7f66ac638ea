#include "CutterTestPictures.h"

#include <algorithm>
#include <cmath>

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

RasterImage MakeVignetteCutter(uint32_t width, uint32_t height, bool ownColours) {
    RasterImage cutter = testsupport::MakePatternImage(width, height);
    if (ownColours && !cutter.CreateAlpha()) return RasterImage();
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const double dx = (x + 0.5) / width * 2 - 1;
            const double dy = (y + 0.5) / height * 2 - 1;
            const auto level = uint8_t(std::clamp(int((std::sqrt(dx * dx + dy * dy) - 0.6) * 600), 0, 255));
            if (ownColours) {
                *cutter.AlphaPointer(x, y) = level;
            } else {
                uint8_t* p = cutter.PixelPointer(x, y);
                p[0] = p[1] = p[2] = level;
            }
        }
    }
    return cutter;
}

cutter::CutterModel BuiltModel(const RasterImage& picture, const RasterImage& cutter) {
    cutter::CutterModel model;
    model.SetPicture(picture);
    if (cutter.IsValid()) model.SetCutter(cutter);
    model.BuildBackdrop(kControl, kControl);
    return model;
}

void Drag(cutter::CutterModel& model, cutter::Point from, cutter::Point to) {
    model.BeginDrag(from);
    model.DragTo(to);
    model.EndDrag();
}

}  // namespace cuttertest
