// The straighten turn of a document: the angle the picture is shown and cut with, and the crop
// box kept inside the turned picture. The box lives in view area pixels over the fitted view
// copy; the turned picture's geometry is worked out in picture pixels and mapped back.
#include <cmath>

#include "doc/PictureDocument.h"
#include "doc/StraightenGeometry.h"

namespace {

// Where the view copy lies in the view area, and how many picture pixels one area pixel spans.
struct ViewPlacement {
    double offsetX;
    double offsetY;
    double scale;

    straighten::PictureBox ToPicture(const cropbox::Rect& box) const {
        return straighten::PictureBox{(box.left - offsetX) * scale, (box.top - offsetY) * scale,
                                      box.Width() * scale, box.Height() * scale};
    }
    // The whole area pixels inside box.
    cropbox::Rect ToArea(const straighten::PictureBox& box) const {
        const straighten::PictureBox area{box.left / scale + offsetX, box.top / scale + offsetY, box.width / scale,
                                          box.height / scale};
        const RasterRect inner = straighten::InnerPixels(area);
        return cropbox::Rect{inner.left, inner.top, inner.right, inner.bottom};
    }
};

}  // namespace

void PictureDocument::SetStraightenDegrees(double degrees) {
    const double angle = straighten::ControlDegrees(degrees);
    if (angle == m_straighten) return;
    m_straighten = angle;
    FitBoxToStraighten();
    emit laidOut(true);
    // The turn is kept with the photo's box once the keys rest.
    KeepBox(false);
}

bool PictureDocument::StraightenAlongLine(cropbox::Point from, cropbox::Point to) {
    const std::optional<double> correction =
        straighten::AngleFromHorizonLine({double(from.x), double(from.y)}, {double(to.x), double(to.y)});
    if (!correction) return false;
    SetStraightenDegrees(m_straighten + *correction);
    return true;
}

bool PictureDocument::BoxInsideStraighten() const {
    if (m_straighten == 0.0 || m_box.m_crop.IsEmpty() || !PicturesValid()) return true;
    const cropbox::Size picture = PictureSize();
    const ViewPlacement shown{double(cropbox::Halve(m_area.width - m_viewSize.width)),
                             double(cropbox::Halve(m_area.height - m_viewSize.height)),
                             double(picture.width) / double(m_viewSize.width)};
    const straighten::TurnedPicture turned{double(picture.width), double(picture.height), m_straighten};
    // Half an area pixel of slack: the box's edges are whole area pixels.
    return straighten::BoxInsideTurned(shown.ToPicture(m_box.m_crop), turned, shown.scale / 2);
}

bool PictureDocument::DragBox(cropbox::Point point) {
    const cropbox::CropBoxModel before = m_box;
    if (!m_box.DragStep(point)) return false;
    if (BoxInsideStraighten()) return true;
    // On a turned picture the box stops where it meets the picture's edge: the farthest part
    // of this step that keeps it inside (found by halving), the rest of the step refused.
    const auto partOfStep = [&before, point](double part) {
        const cropbox::Point from = before.m_lastPoint;
        return cropbox::Point{from.x + int(std::lround((point.x - from.x) * part)),
                              from.y + int(std::lround((point.y - from.y) * part))};
    };
    constexpr int kHalvings = 8;
    double inside = 0.0, outside = 1.0;
    for (int i = 0; i < kHalvings; ++i) {
        const double middle = (inside + outside) / 2;
        m_box = before;
        (m_box.DragStep(partOfStep(middle)) && BoxInsideStraighten() ? inside : outside) = middle;
    }
    m_box = before;
    return m_box.DragStep(partOfStep(inside)) && BoxInsideStraighten();
}

void PictureDocument::FitBoxToStraighten() {
    if (m_straighten == 0.0 || m_box.m_crop.IsEmpty() || !PicturesValid()) return;
    const cropbox::Size picture = PictureSize();
    const ViewPlacement shown{double(cropbox::Halve(m_area.width - m_viewSize.width)),
                             double(cropbox::Halve(m_area.height - m_viewSize.height)),
                             double(picture.width) / double(m_viewSize.width)};
    const straighten::TurnedPicture turned{double(picture.width), double(picture.height), m_straighten};
    const straighten::PictureBox box = shown.ToPicture(m_box.m_crop);
    if (straighten::BoxInsideTurned(box, turned)) return;
    m_box.m_crop = shown.ToArea(straighten::ShrinkToFit(box, turned));
}
