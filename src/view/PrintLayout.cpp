#include "view/PrintLayout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "doc/CropBoxModel.h"

namespace printlayout {
namespace {

// The largest box of the picture's proportions inside bound.
Inches FitInto(int pictureWidth, int pictureHeight, Inches bound) {
    const double scale = std::min(bound.width / pictureWidth, bound.height / pictureHeight);
    return {pictureWidth * scale, pictureHeight * scale};
}

}  // namespace

Inches PresetPrintSize(uint32_t presetId, int pictureWidth, int pictureHeight) {
    const cropbox::PrintSizePreset* preset = cropbox::FindPreset(presetId);
    if (preset == nullptr || preset->width <= 0 || preset->height <= 0) return {};
    const double longSide = std::max(preset->width, preset->height);
    const double shortSide = std::min(preset->width, preset->height);
    if (pictureHeight > pictureWidth) return {shortSide, longSide};
    return {longSide, shortSide};
}

namespace {

// Places a picture printed at size, or fitted into the printable area when size is empty;
// a size larger than the printable area is shrunk into it with the picture's proportions.
Placement Place(Inches size, int pictureWidth, int pictureHeight, const Page& page) {
    Placement placement;
    const Inches printable{page.width - page.marginLeft - page.marginRight,
                           page.height - page.marginTop - page.marginBottom};
    if (pictureWidth <= 0 || pictureHeight <= 0 || printable.width <= 0 || printable.height <= 0) return placement;

    const bool sized = size.width > 0 && size.height > 0;
    double centreX = page.width / 2;
    double centreY = page.height / 2;
    if (sized && (size.width > printable.width || size.height > printable.height)) {
        size = FitInto(pictureWidth, pictureHeight, printable);
        placement.shrunkToPage = true;
    } else if (!sized) {
        size = FitInto(pictureWidth, pictureHeight, printable);
    }
    if (!sized || placement.shrunkToPage) {
        centreX = page.marginLeft + printable.width / 2;
        centreY = page.marginTop + printable.height / 2;
    }
    // Centred on the paper, but never into the margins. (A fitted side may exceed the printable
    // one by a rounding error: the margin wins then.)
    placement.width = size.width;
    placement.height = size.height;
    placement.left =
        std::max(page.marginLeft, std::min(centreX - size.width / 2, page.marginLeft + printable.width - size.width));
    placement.top =
        std::max(page.marginTop, std::min(centreY - size.height / 2, page.marginTop + printable.height - size.height));
    placement.dpi = std::min(pictureWidth / size.width, pictureHeight / size.height);
    placement.lowResolution = placement.dpi < kMinimumPrintDpi;
    return placement;
}

}  // namespace

Placement PlacePicture(uint32_t presetId, int pictureWidth, int pictureHeight, const Page& page) {
    const Inches preset = PresetPrintSize(presetId, pictureWidth, pictureHeight);
    if (preset.width <= 0 || pictureWidth <= 0 || pictureHeight <= 0) return Place({}, pictureWidth, pictureHeight, page);
    return Place(FitInto(pictureWidth, pictureHeight, preset), pictureWidth, pictureHeight, page);
}

Placement PlaceBoxCut(uint32_t presetId, int cutWidth, int cutHeight, const Page& page) {
    const Inches preset = PresetPrintSize(presetId, cutWidth, cutHeight);
    if (preset.width <= 0) return {};
    return Place(preset, cutWidth, cutHeight, page);
}

std::string PlacementWarning(const Placement& placement, const std::string& name) {
    std::string warning;
    char line[160];
    if (placement.shrunkToPage) {
        std::snprintf(line, sizeof line,
                      "The print size is larger than the page; the picture is printed at %.2f x %.2f in.",
                      placement.width, placement.height);
        warning = line;
    }
    if (placement.lowResolution) {
        std::snprintf(line, sizeof line, " gives only %d dpi at %.2f x %.2f in (%d dpi or more prints sharply).",
                      int(std::floor(placement.dpi)), placement.width, placement.height, int(kMinimumPrintDpi));
        if (!warning.empty()) warning += '\n';
        warning += (name.empty() ? std::string("The picture") : name) + line;
    }
    return warning;
}

}  // namespace printlayout
