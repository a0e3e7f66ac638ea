// A point q of the screen shows the picture's point centre + Back(q - centre), where Back
// undoes the turn; q lies on the turned picture when that point lies on the picture. For a box
// of height k and width k * ratio about a fixed centre, each corner's Back is linear in k, so
// every side of the picture bounds k by a plain division.
#include "doc/StraightenGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace straighten {

namespace {

constexpr double kRightAngle = 90.0;
// How near a box's side may be to a whole pixel and still count as on it: far below what the
// turn's arithmetic could place, far above its rounding error.
constexpr double kOnPixelSide = 1e-6;

double Radians(double degrees) { return degrees * std::numbers::pi / 180.0; }
double Degrees(double radians) { return radians * 180.0 / std::numbers::pi; }

// Undoes an anticlockwise turn as seen, with rows counted downwards (see RasterRotateFine.h).
struct BackTurn {
    double cosine;
    double sine;

    explicit BackTurn(double degrees) : cosine(std::cos(Radians(degrees))), sine(std::sin(Radians(degrees))) {}
    PicturePoint operator()(double dx, double dy) const {
        return PicturePoint{dx * cosine - dy * sine, dx * sine + dy * cosine};
    }
};

// The largest k >= 0 with |start + k * step| <= half; infinite when step is 0 and start fits.
double MostAlong(double start, double step, double half) {
    if (std::fabs(start) > half) return 0.0;
    if (step == 0.0) return std::numeric_limits<double>::infinity();
    return (half - std::copysign(1.0, step) * start) / std::fabs(step);
}

// The largest height of a box of ratio about centre inside the turned picture.
double MostHeight(double ratio, PicturePoint centre, const TurnedPicture& picture) {
    const BackTurn back(picture.degrees);
    const double halfW = picture.width / 2.0;
    const double halfH = picture.height / 2.0;
    const PicturePoint start = back(centre.x - halfW, centre.y - halfH);
    double most = std::numeric_limits<double>::infinity();
    for (const double sx : {-0.5, 0.5}) {
        for (const double sy : {-0.5, 0.5}) {
            const PicturePoint step = back(sx * ratio, sy);
            most = std::min({most, MostAlong(start.x, step.x, halfW), MostAlong(start.y, step.y, halfH)});
        }
    }
    return most;
}

PictureBox BoxAbout(PicturePoint centre, double width, double height) {
    return PictureBox{centre.x - width / 2.0, centre.y - height / 2.0, width, height};
}

}  // namespace

std::optional<double> AngleFromHorizonLine(PicturePoint from, PicturePoint to) {
    const double across = to.x - from.x;
    const double up = from.y - to.y;  // rows count downwards
    if (across == 0.0 && up == 0.0) return std::nullopt;
    const double correction = -Degrees(std::atan2(up, across));
    const double folded = correction - kRightAngle * std::round(correction / kRightAngle);
    return std::clamp(folded, -kMostDegrees, kMostDegrees);
}

double ControlDegrees(double degrees) {
    if (!std::isfinite(degrees)) return 0.0;
    const double steps = std::round(std::clamp(degrees, -kMostDegrees, kMostDegrees) / kStepDegrees);
    return steps * kStepDegrees;
}

bool BoxInsideTurned(const PictureBox& box, const TurnedPicture& picture, double slack) {
    const BackTurn back(picture.degrees);
    const double halfW = picture.width / 2.0;
    const double halfH = picture.height / 2.0;
    for (const double x : {box.left, box.left + box.width}) {
        for (const double y : {box.top, box.top + box.height}) {
            const PicturePoint p = back(x - halfW, y - halfH);
            if (std::fabs(p.x) > halfW + slack || std::fabs(p.y) > halfH + slack) return false;
        }
    }
    return true;
}

PictureBox LargestBoxInside(double ratio, PicturePoint centre, const TurnedPicture& picture) {
    const double height = ratio > 0.0 ? MostHeight(ratio, centre, picture) : 0.0;
    return BoxAbout(centre, height * ratio, height);
}

PictureBox ShrinkToFit(const PictureBox& box, const TurnedPicture& picture) {
    if (box.height <= 0.0 || box.width <= 0.0) return box;
    const double most = MostHeight(box.width / box.height, box.Centre(), picture);
    if (most >= box.height) return box;
    return BoxAbout(box.Centre(), box.width * most / box.height, most);
}

PictureBox LargestUprightOfOwnRatio(const TurnedPicture& picture) {
    if (picture.width <= 0.0 || picture.height <= 0.0) return PictureBox{};
    return LargestBoxInside(picture.width / picture.height, PicturePoint{picture.width / 2.0, picture.height / 2.0},
                            picture);
}

RasterRect InnerPixels(const PictureBox& box) {
    return RasterRect{int32_t(std::ceil(box.left - kOnPixelSide)), int32_t(std::ceil(box.top - kOnPixelSide)),
                      int32_t(std::floor(box.left + box.width + kOnPixelSide)),
                      int32_t(std::floor(box.top + box.height + kOnPixelSide))};
}

}  // namespace straighten
