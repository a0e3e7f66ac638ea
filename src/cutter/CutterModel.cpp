#include "cutter/CutterModel.h"

#include <algorithm>

#include "cutter/CutterComposition.h"
#include "image/WorkingPicture.h"
#include "image/metadata/ColourConversion.h"

namespace cutter {

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0;

// Makes image 24 bits, its transparent palette index turned into alpha first. False (and
// the image destroyed) when the conversion fails.
bool MakeTrueColour(RasterImage& image) {
    if (image.IsTransparent()) image.AlphaFromTransparentIndex();
    if (image.IncreaseBpp(24) && image.GetBpp() == 24) return true;
    image.Destroy();
    return false;
}

// A cutter without alpha: its grey levels become the alpha and its colours white.
bool AlphaFromGreyLevels(RasterImage& cutter) {
    if (!cutter.CreateAlpha()) return false;
    const uint32_t width = cutter.GetWidth();
    for (uint32_t y = 0; y < cutter.GetHeight(); ++y) {
        const uint8_t* pixel = cutter.RowPointer(y);
        uint8_t* alpha = cutter.AlphaPointer(0, y);
        for (uint32_t x = 0; x < width; ++x, pixel += 3) {
            alpha[x] = uint8_t((unsigned(pixel[0]) + pixel[1] + pixel[2]) / 3);
        }
    }
    cutter.FillColor(kWhite);
    return true;
}

// The colour every pixel of a 24-bit image has, if they all have the same.
std::optional<uint32_t> UniformColour(const RasterImage& image) {
    const uint8_t* first = image.RowPointer(0);
    for (uint32_t y = 0; y < image.GetHeight(); ++y) {
        const uint8_t* pixel = image.RowPointer(y);
        for (uint32_t x = 0; x < image.GetWidth(); ++x, pixel += 3) {
            if (pixel[0] != first[0] || pixel[1] != first[1] || pixel[2] != first[2]) return std::nullopt;
        }
    }
    return RasterRgb(first[2], first[1], first[0]);
}

}  // namespace

void CutterModel::SetPicture(const RasterImage& source, const std::vector<uint8_t>& icc) {
    m_icc = icc;
    m_picture.Destroy();
    m_preview.Destroy();
    m_placedPreview.Destroy();
    if (source.IsValid()) m_picture.Copy(source);
    // The picture as the view works on it; one whose transparent parts cannot be made white
    // (memory) is not offered rather than shown with their raw colours.
    if (m_picture.IsValid() && !MakeWorkingPicture(m_picture)) m_picture.Destroy();
    m_placement = kEmptyRect;
}

void CutterModel::SetCutter(const RasterImage& source) {
    m_cutter.Destroy();
    m_backdrop.Destroy();
    // The old cutter's rectangle does not describe the new one: until the next backdrop is
    // built there is nothing to cut with (a cut now would stretch the new cutter to it).
    m_cutterRect = kEmptyRect;
    m_cutterColour.reset();
    if (source.IsValid()) m_cutter.Copy(source);
    if (!m_cutter.IsValid() || !MakeTrueColour(m_cutter)) return;
    if (!m_cutter.HasAlpha() && !AlphaFromGreyLevels(m_cutter)) {
        m_cutter.Destroy();
        return;
    }
    m_cutterColour = UniformColour(m_cutter);
}

bool CutterModel::ReverseAlpha() {
    if (!m_cutter.IsValid() || !m_cutter.HasAlpha()) return false;
    uint8_t* alpha = m_cutter.GetAlphaPlane();
    const size_t count = size_t(m_cutter.GetWidth()) * m_cutter.GetHeight();
    std::transform(alpha, alpha + count, alpha, [](uint8_t a) { return uint8_t(255 - a); });
    m_backdrop.Destroy();
    return true;
}

void CutterModel::BuildBackdrop(int32_t width, int32_t height) {
    if (width < 1 || height < 1) return;
    if (!m_backdrop.IsValid()) BuildCutterBackdrop(width, height);
    if (m_picture.IsValid() && !m_preview.IsValid()) BuildPreview(width, height);
}

void CutterModel::BuildCutterBackdrop(int32_t width, int32_t height) {
    m_cutterRect = kEmptyRect;
    RasterImage backdrop;
    if (!backdrop.Create(uint32_t(width), uint32_t(height), 24, RASTER_FORMAT_UNKNOWN)) return;
    backdrop.FillColor(kBlack);
    if (!backdrop.CreateAlpha()) return;
    if (!m_cutter.IsValid()) {
        // Without a cutter the whole picture shows.
        backdrop.SetAlphaLevel(0);
        m_backdrop.TakeOver(backdrop);
        return;
    }
    int32_t cutterWidth = 0;
    int32_t cutterHeight = 0;
    const double aspect = double(m_cutter.GetWidth()) / double(m_cutter.GetHeight());
    FitAspect(width - width / 5, height - height / 5, aspect, cutterWidth, cutterHeight);
    const RasterRect rect = Centred(width, height, cutterWidth, cutterHeight);
    RasterImage scaled;
    if (!ScaleCutter(m_cutter, m_cutterColour, uint32_t(cutterWidth), uint32_t(cutterHeight), scaled)) return;
    // Without the cutter in it the backdrop would show no shape: no backdrop, no cut.
    if (!backdrop.PasteAll(scaled, 0, 0, rect.left, rect.top, RASTER_PASTE_COPY, 1.0)) return;
    m_cutterRect = rect;
    m_backdrop.TakeOver(backdrop);
}

void CutterModel::BuildPreview(int32_t width, int32_t height) {
    const auto pictureWidth = int32_t(m_picture.GetWidth());
    const auto pictureHeight = int32_t(m_picture.GetHeight());
    int32_t previewWidth = pictureWidth;
    int32_t previewHeight = pictureHeight;
    // The preview only ever shrinks.
    if (pictureWidth > width || pictureHeight > height) {
        FitAspect(width, height, double(pictureWidth) / double(pictureHeight), previewWidth, previewHeight);
    }
    RasterImage preview;
    if (!m_picture.Rescale(uint32_t(previewWidth), uint32_t(previewHeight), RASTER_RESCALE_AREA, &preview)) return;
    ConvertToScreenColours(preview, m_icc);
    m_preview.TakeOver(preview);
    m_placedPreview.Destroy();
    const int32_t placedWidth = std::max(1, RoundHalfAway(kPlacementShare * previewWidth));
    const int32_t placedHeight = std::max(1, RoundHalfAway(kPlacementShare * previewHeight));
    m_placement = Centred(width, height, placedWidth, placedHeight);
}

const RasterImage* CutterModel::PlacedPreview(const RasterRect& visible, RasterRect& at) {
    // The placement may be far larger than the control: only the part seen is made.
    at = Intersection(m_placement, visible);
    if (IsEmpty(at)) return nullptr;
    const RasterRect size{0, 0, Width(m_placement), Height(m_placement)};
    const RasterRect part{at.left - m_placement.left, at.top - m_placement.top, at.right - m_placement.left,
                          at.bottom - m_placement.top};
    if (m_placedPreview.IsValid() && SameRect(size, m_placedSize) && SameRect(part, m_placedPart)) {
        return &m_placedPreview;
    }
    m_placedPreview.Destroy();
    m_placedSize = size;
    m_placedPart = part;
    if (!RescaleWindow(m_preview, uint32_t(size.right), uint32_t(size.bottom), part, m_placedPreview)) {
        m_placedPreview.Destroy();
        return nullptr;
    }
    return &m_placedPreview;
}

bool CutterModel::ComposeFrame(RasterImage& frame) {
    if (!m_backdrop.IsValid() || !frame.Copy(m_backdrop) || !frame.IsValid()) return false;
    if (m_preview.IsValid() && !IsEmpty(m_placement)) {
        const RasterRect control{0, 0, int32_t(frame.GetWidth()), int32_t(frame.GetHeight())};
        RasterRect at;
        // The backdrop carries the alpha: the picture shows where it is 0.
        if (const RasterImage* placed = PlacedPreview(control, at)) {
            frame.PasteAll(*placed, 0, 0, at.left, at.top, RASTER_PASTE_ALPHA_BLEND, 1.0);
        }
    }
    frame.DeleteAlpha();
    return true;
}

void CutterModel::SetHandleScale(double scale) {
    m_handleHalf = std::max(kHandleHalf, RoundHalfAway(kHandleHalf * scale));
}

DragMode CutterModel::HitTestPlacement(Point p) const {
    if (!m_cutter.IsValid() || !m_picture.IsValid()) return DRAG_NONE;
    return HitTest(m_placement, p, m_handleHalf);
}

bool CutterModel::BeginDrag(Point p) {
    m_dragMode = HitTestPlacement(p);
    if (m_dragMode == DRAG_NONE) return false;
    m_lastPoint = p;
    return true;
}

bool CutterModel::DragTo(Point p) {
    if (m_dragMode == DRAG_NONE || !m_picture.IsValid()) return false;
    const double aspect = double(m_picture.GetWidth()) / double(m_picture.GetHeight());
    const std::optional<RasterRect> next =
        DragStep(m_placement, m_dragMode, int64_t(p.x) - m_lastPoint.x, int64_t(p.y) - m_lastPoint.y, aspect);
    // A refused step keeps the anchor, so further travel counts from the last accepted point.
    if (!next || SameRect(*next, m_placement)) return false;
    m_placement = *next;
    m_lastPoint = p;
    return true;
}

double CutterModel::PictureScale() const {
    return double(m_picture.GetWidth()) / double(Width(m_placement));
}

bool CutterModel::CanCut() const {
    if (!m_cutter.IsValid() || !m_picture.IsValid()) return false;
    if (IsEmpty(Intersection(m_placement, m_cutterRect))) return false;
    const double scale = PictureScale();
    const int32_t side = std::max(RoundHalfAway(scale * Width(m_cutterRect)), RoundHalfAway(scale * Height(m_cutterRect)));
    return side < kMaxResultSide;
}

bool CutterModel::GetResult(RasterImage& result) {
    if (!CanCut()) return false;
    const double scale = PictureScale();
    result.Destroy();
    const RasterRect cutterRect = Scaled(m_cutterRect, scale);
    const RasterRect pictureRect = Scaled(m_placement, scale);
    if (IsEmpty(cutterRect)) return false;
    // Only the cutter's rectangle is kept, and the scaled cutter (colours and alpha) covers
    // all of it, so the cut is built there directly; the full-resolution picture is blended in
    // at its offset from the cutter wherever the cutter is not opaque.
    const CutLayout layout{uint32_t(Width(cutterRect)), uint32_t(Height(cutterRect)),
                           int64_t(pictureRect.left) - cutterRect.left, int64_t(pictureRect.top) - cutterRect.top};
    RasterImage cut;
    if (!ComposeCut(m_cutter, m_cutterColour, m_picture, layout, cut)) return false;
    result.TakeOver(cut);
    return result.IsValid();
}

}  // namespace cutter
