// The geometry of straightening: the angle a line drawn along the horizon asks for, and the
// boxes that fit inside the turned picture. Plain arithmetic, no Qt and no pixels, so the
// command-line tool uses it as the document does.
//
// Coordinates are picture pixels with the top row at 0 (as the crop box uses them). The turned
// picture keeps the picture's centre (width / 2, height / 2) where it is.
//
// The sign: a positive straighten angle turns the picture anticlockwise as it is seen. A
// horizon that rises to the right by 3 degrees reads -3: turning the picture clockwise by 3
// degrees makes it level. The Camera Raw field crs:CropAngle other photo tools keep is the angle
// of the crop rectangle against the photo, positive when the rectangle is turned clockwise over
// it; the kept part, shown upright, then shows the photo turned anticlockwise. Both name the
// same turn, so the kept angle is the straighten angle with the same sign (CropAngleOf).
#pragma once

#include <optional>

#include "image/RasterImage.h"

namespace straighten {

// The straighten control's range and step, in degrees.
constexpr double kMostDegrees = 45.0;
constexpr double kStepDegrees = 0.1;

struct PicturePoint {
    double x = 0.0;
    double y = 0.0;
};

// A box of the picture (upright on the screen): its top-left corner and size.
struct PictureBox {
    double left = 0.0;
    double top = 0.0;
    double width = 0.0;
    double height = 0.0;

    PicturePoint Centre() const { return PicturePoint{left + width / 2.0, top + height / 2.0}; }
};

// The picture's size and the turn it is shown with.
struct TurnedPicture {
    double width = 0.0;
    double height = 0.0;
    double degrees = 0.0;
};

// The turn that makes a line drawn from `from` to `to` level, or vertical when it is nearer to
// vertical than to level, folded into -45 .. 45; nullopt for a line without length.
std::optional<double> AngleFromHorizonLine(PicturePoint from, PicturePoint to);

// degrees clamped to the control's range and rounded to its step.
double ControlDegrees(double degrees);

// crs:CropAngle of a straighten angle and back (see the sign above).
constexpr double CropAngleOf(double degrees) { return degrees; }
constexpr double StraightenAngleOf(double cropAngle) { return cropAngle; }

// True when every corner of box lies inside the turned picture, allowing slack pixels.
bool BoxInsideTurned(const PictureBox& box, const TurnedPicture& picture, double slack = 1e-9);

// The largest box of width / height = ratio centred at centre inside the turned picture; an
// empty box (zero size) at centre when centre lies outside it.
PictureBox LargestBoxInside(double ratio, PicturePoint centre, const TurnedPicture& picture);

// box made smaller about its centre, keeping its ratio, until it lies inside the turned
// picture; a box already inside comes back as it is.
PictureBox ShrinkToFit(const PictureBox& box, const TurnedPicture& picture);

// The largest box of the picture's own ratio about its centre inside the turned picture: what
// straightening keeps when nothing else is chosen.
PictureBox LargestUprightOfOwnRatio(const TurnedPicture& picture);

// The whole pixels inside box (sides within a millionth of a pixel of a whole count as on it).
RasterRect InnerPixels(const PictureBox& box);

}  // namespace straighten
