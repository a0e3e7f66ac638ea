#include "doc/CutOperation.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "doc/CutShapeMask.h"
#include "doc/StraightenGeometry.h"
#include "image/resample/RasterRotateFine.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
// Scaled box coordinates beyond this cannot come from a real window; refusing them keeps the
// rounding and the edge differences inside int.
constexpr double kLargestScaledCoordinate = double(1 << 29);

std::optional<int> ScaledCoordinate(double scale, int value) {
    const double product = scale * value;
    if (!(std::fabs(product) < kLargestScaledCoordinate)) return std::nullopt;
    return cropbox::Round(product);
}

// The shown picture along one axis: the view copy starts at offset (client pixels) and is
// shownSize client pixels long for pictureSize picture pixels.
struct ShownSpan {
    int offset;
    int shownSize;
    int pictureSize;
};

// Picture pixel = rounded(s x client coordinate) - rounded(s x offset of the view copy). The
// rounding and the view copy's own rounded size can put a box edge that lies on the shown
// picture's edge up to a few pixels beyond the picture, which Cut would fill with white: an
// edge on the shown picture's edge is the picture's edge, an edge inside the shown picture
// stays inside the picture, and only an edge beyond the shown picture maps beyond it.
std::optional<int> MapCoordinate(double scale, int value, const ShownSpan& span) {
    const auto scaled = ScaledCoordinate(scale, value);
    const auto origin = ScaledCoordinate(scale, span.offset);
    if (!scaled || !origin) return std::nullopt;
    const int mapped = *scaled - *origin;
    const int shownEnd = span.offset + span.shownSize;
    if (value == span.offset) return 0;
    if (value == shownEnd) return span.pictureSize;
    if (value < span.offset) return std::min(mapped, 0);
    if (value > shownEnd) return std::max(mapped, span.pictureSize);
    return std::clamp(mapped, 0, span.pictureSize);
}

bool CoversWholeArea(const RasterImage& work, const cropbox::Rect& crop) {
    return crop.left >= 0 && crop.top >= 0 && crop.right <= int(work.GetWidth()) &&
           crop.bottom <= int(work.GetHeight());
}

// The crop's pixels on a white canvas of the crop's size; canvas pixel (0, 0) is picture pixel
// (left, top), and parts beyond the picture stay white.
bool CopyCropOntoWhite(const RasterImage& work, const cropbox::Rect& crop, RasterImage& canvas) {
    if (!canvas.Create(uint32_t(crop.Width()), uint32_t(crop.Height()), 24, work.GetType())) return false;
    // The paste covers the whole canvas when the crop lies inside the picture.
    if (!CoversWholeArea(work, crop)) canvas.FillColor(kWhite);
    return canvas.PasteAll(work, 0, 0, -crop.left, -crop.top, RASTER_PASTE_COPY, 1.0);
}

// Turns everything outside the kept shape white, blending the anti-aliased edge. Blending the
// canvas, masked by its shape, over white equals flattening the canvas with the mask as its
// alpha, so the canvas itself carries the mask and is flattened in place.
bool WhitenOutsideShape(RasterImage& canvas, int shape, double borderFraction) {
    const int width = int(canvas.GetWidth());
    const int height = int(canvas.GetHeight());
    const int inset = borderFraction > 0 ? cropbox::Round(borderFraction * cropbox::Halve(width + height)) : 0;
    uint8_t* mask = MakeShapeMask(width, height, shape, inset);
    if (!mask) return false;
    canvas.AdoptAlphaPlane(mask);
    const bool flattened = canvas.FlattenAlpha(kWhite);
    canvas.DeleteAlpha();
    return flattened;
}

}  // namespace

cropbox::Rect MapBoxToPicture(const RasterImage& work, const CutRequest& request) {
    if (!work.IsValid()) return {};
    return MapBoxToPicture(cropbox::Size{int(work.GetWidth()), int(work.GetHeight())}, request);
}

cropbox::Rect MapBoxToPicture(cropbox::Size picture, const CutRequest& request) {
    if (picture.width <= 0 || picture.height <= 0 || request.viewWidth <= 0 || request.viewHeight <= 0) return {};
    if (request.exact) return *request.exact;
    const double scale = double(picture.width) / double(request.viewWidth);
    const ShownSpan across{cropbox::Halve(request.clientWidth - request.viewWidth), request.viewWidth, picture.width};
    const ShownSpan down{cropbox::Halve(request.clientHeight - request.viewHeight), request.viewHeight,
                         picture.height};
    const auto left = MapCoordinate(scale, request.box.left, across);
    const auto top = MapCoordinate(scale, request.box.top, down);
    const auto right = MapCoordinate(scale, request.box.right, across);
    const auto bottom = MapCoordinate(scale, request.box.bottom, down);
    if (!left || !top || !right || !bottom) return {};
    return cropbox::Rect{*left, *top, *right, *bottom};
}

cropbox::Rect MapPictureToBox(cropbox::Size picture, const CutRequest& layout, const cropbox::Rect& inPicture) {
    if (picture.width <= 0 || picture.height <= 0 || layout.viewWidth <= 0 || layout.viewHeight <= 0) return {};
    const double scale = double(layout.viewWidth) / double(picture.width);
    const int left = cropbox::Halve(layout.clientWidth - layout.viewWidth);
    const int top = cropbox::Halve(layout.clientHeight - layout.viewHeight);
    const auto at = [scale](int origin, int value) { return origin + cropbox::Round(scale * value); };
    return cropbox::Rect{at(left, inPicture.left), at(top, inPicture.top), at(left, inPicture.right),
                         at(top, inPicture.bottom)};
}

bool CutPicture(const RasterImage& work, const CutRequest& request, RasterImage& result) {
    if (!work.IsValid() || work.GetBpp() != 24) return false;
    const cropbox::Rect crop = MapBoxToPicture(work, request);
    if (crop.IsEmpty()) return false;

    RasterImage canvas;
    if (request.straightenDegrees != 0.0) {
        // The picture as the view shows it, turned, over the crop alone: nothing outside the box
        // is sampled. The box was kept inside the turned picture in view pixels; what their
        // rounding put past its edge is left out, so no corner of the background comes in.
        // Workers share the rows; the cut already runs off the event loop when large.
        const straighten::TurnedPicture turned{double(work.GetWidth()), double(work.GetHeight()),
                                               request.straightenDegrees};
        const straighten::PictureBox mapped{double(crop.left), double(crop.top), double(crop.Width()),
                                            double(crop.Height())};
        const RasterRect region = straighten::InnerPixels(straighten::ShrinkToFit(mapped, turned));
        if (region.right <= region.left || region.bottom <= region.top) return false;
        if (!raster_resample::RenderTurnedRegion(work, request.straightenDegrees, region, canvas, {0})) return false;
    } else if (!CopyCropOntoWhite(work, crop, canvas)) {
        return false;
    }
    const bool plainCrop = request.shape == cropbox::kShapeRectangle && !(request.borderFraction > 0);
    if (!plainCrop && !WhitenOutsideShape(canvas, request.shape, request.borderFraction)) return false;
    return result.TakeOver(canvas);
}
