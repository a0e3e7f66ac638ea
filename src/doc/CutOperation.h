// The pixel work of Cut: the crop box, held in the view's client pixels, is mapped onto the
// full-resolution working picture, copied out onto white, masked by its shape and border with
// anti-aliased edges and blended onto white. No window is involved, so it runs in tests.
#pragma once

#include <optional>

#include "doc/CropBoxModel.h"
#include "image/RasterImage.h"

struct CutRequest {
    int clientWidth, clientHeight;  // the view's client area
    int viewWidth, viewHeight;      // the fitted view copy, centred in the client area
    cropbox::Rect box;              // client pixels
    int shape;                      // cropbox::Shape
    double borderFraction;          // 0 .. 0.30 of half the crop's width plus height
    // The straighten turn the view shows the picture with (degrees, positive anticlockwise):
    // the box lies over the turned picture, whose pixels Cut samples.
    double straightenDegrees = 0.0;
    // The box in picture pixels when the document placed it more finely than client pixels
    // can say (its corner on a JPEG's block grid); box still says where it is drawn.
    std::optional<cropbox::Rect> exact = std::nullopt;
};

// Cuts the box out of the working picture at full resolution (turned by the straighten angle,
// only the box's pixels sampled) and gives a plain 24-bit picture without alpha plane: the
// box's pixels inside the shape, white outside it, in the border and wherever the box lies
// beyond the (turned) picture. False (result untouched) when the box maps to no
// pixels or the canvas or mask cannot be made.
bool CutPicture(const RasterImage& work, const CutRequest& request, RasterImage& result);

// The box in picture pixels (y = 0 at the top, right and bottom exclusive). An edge on the
// edge of the shown picture maps to the picture's edge and an edge inside it stays inside the
// picture; only the parts of the box beyond the shown picture reach beyond the picture. Empty
// when the picture or view copy is invalid or the box maps beyond int range.
cropbox::Rect MapBoxToPicture(const RasterImage& work, const CutRequest& request);
// The same for a picture of that size, whose pixels need not be at hand.
cropbox::Rect MapBoxToPicture(cropbox::Size picture, const CutRequest& request);
// The other way: a rectangle of the picture's pixels in the client pixels of the layout
// request gives (its box is not read). Empty when the layout shows no picture.
cropbox::Rect MapPictureToBox(cropbox::Size picture, const CutRequest& layout, const cropbox::Rect& inPicture);
