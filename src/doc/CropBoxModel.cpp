#include "doc/CropBoxModel.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "commands/CommandIds.h"

namespace cropbox {

namespace {

// An edge may not come closer than this to the opposite edge; wheel sizes must stay above it.
constexpr int kMinimumSpan = 32;
constexpr int kHandleHalf = 4;
constexpr double kMaximumBorderFraction = 0.30;
constexpr double kPercent = 100.0;

bool IsBorderId(uint32_t id) { return id > cmd::ID_BORDER_NONE - 1 && id <= cmd::ID_BORDER_LAST; }

Rect HandleAround(int x, int y) { return Rect{x - kHandleHalf, y - kHandleHalf, x + kHandleHalf, y + kHandleHalf}; }

}  // namespace

int Round(double value) {
    // Beyond the int range (a status text for an absurdly scaled box) the result saturates
    // instead of being undefined.
    if (!(value > double(INT_MIN) - 0.5)) return value < 0 ? INT_MIN : 0;  // also NaN
    if (!(value < double(INT_MAX) + 0.5)) return INT_MAX;
    return value >= 0 ? int(value + 0.5) : int(value - 0.5);
}

const PrintSizePreset kPrintSizePresets[] = {
    {"3.5x2.5", 3.5, 2.5, 32786, "3.5x2.5 (2R)"},
    {"5x3", 5, 3, 32787, "5x3"},
    {"4.67x3.5", 4.67, 3.5, 32788, "4.67x3.5 (LD,DSC)"},
    {"5x3.5", 5, 3.5, 32789, "5x3.5 (3R,L)"},
    {"5.25x3.5", 5.25, 3.5, 32790, "5.25x3.5 (LW)"},
    {"5.33x4", 5.33, 4, 32791, "5.33x4 (KGD)"},
    {"6x4", 6, 4, 32792, "6x4 (4R, KG)"},
    {"6.67x5", 6.67, 5, 32793, "6.67x5 (2LD, DSCW)"},
    {"7x5", 7, 5, 32794, "7x5 (5R, 2L)"},
    {"7.5x5", 7.5, 5, 32795, "7.5x5 (2LW)"},
    {"10x8", 10, 8, 32796, "10x8 (8R)"},
    {"12x8", 12, 8, 32797, "12x8 (12R)"},
    {"14x11", 14, 11, 32798, "14x11 (14R)"},
    {"Free", 0, 0, 32799, "Free"},
    {nullptr, 0, 0, 0, nullptr},
};

const uint32_t kPresetMenuOrder[14] = {32799, 32786, 32787, 32788, 32789, 32790, 32791,
                                       32792, 32793, 32794, 32795, 32796, 32797, 32798};

const PrintSizePreset* FindPreset(uint32_t commandId) {
    for (const PrintSizePreset* preset = kPrintSizePresets; preset->name != nullptr; ++preset) {
        if (preset->commandId == commandId) return preset;
    }
    return nullptr;
}

std::string BorderLabel(uint32_t borderId) {
    if (borderId == cmd::ID_BORDER_NONE) return "No";
    char text[32];
    std::snprintf(text, sizeof text, "%d%%", int(borderId) - int(cmd::ID_BORDER_NONE));
    return text;
}

Size FitViewSize(int clientWidth, int clientHeight, int pictureWidth, int pictureHeight) {
    const int aw = clientWidth - clientWidth / 5;
    const int ah = clientHeight - clientHeight / 5;
    if (aw <= 0 || ah <= 0 || pictureWidth <= 0 || pictureHeight <= 0) return {};
    if (pictureWidth <= aw && pictureHeight <= ah) return {pictureWidth, pictureHeight};
    const double ratio = double(pictureWidth) / pictureHeight;
    // A very long picture could round a side to nothing; keep at least one pixel.
    if (double(aw) / ah < ratio) return {aw, std::max(1, Round(aw / ratio))};
    return {std::max(1, Round(ratio * ah)), ah};
}

CropBoxModel::CropBoxModel()
    : m_shape(kShapeRoundCorner),
      m_presetId(cmd::ID_PRESET_6X4),
      m_borderId(cmd::ID_BORDER_5),
      m_dragMode(kDragNone),
      m_rotated(false),
      m_showCropBox(true),
      m_autoHide(false) {}

double CropBoxModel::CropBoxRatio() const {
    const PrintSizePreset* preset = FindPreset(m_presetId);
    if (preset == nullptr || !(preset->width > 0) || !(preset->height > 0)) return 0;
    return m_rotated ? preset->height / preset->width : preset->width / preset->height;
}

double CropBoxModel::BorderFraction() const {
    if (!IsBorderId(m_borderId)) return 0;
    return std::clamp((int(m_borderId) - int(cmd::ID_BORDER_NONE)) / kPercent, 0.0, kMaximumBorderFraction);
}

int CropBoxModel::BorderInset(int width, int height) const { return Round(BorderFraction() * Halve(width + height)); }

void CropBoxModel::PlaceCropBox(Size client, Size viewSize, Size workSize) {
    if (viewSize.width <= 0 || viewSize.height <= 0) {
        m_crop = {};
        return;
    }
    const int w = viewSize.width;
    const int h = viewSize.height;
    Rect box;
    box.left = Halve(client.width - w);
    box.top = Halve(client.height - h);
    box.right = box.left + w;
    box.bottom = box.top + h;
    m_crop = box;

    const double r = CropBoxRatio();
    if (r <= 0 || workSize.width <= 0 || workSize.height <= 0) return;
    const double pictureRatio = double(workSize.width) / workSize.height;
    // The view copy's sides are rounded too: for a preset of (nearly) the picture's own ratio
    // the rounded box side can come out one pixel longer than the view copy's, which would put
    // the default box beyond the picture. The default box never leaves the view copy.
    if (r > pictureRatio) {
        const int newHeight = std::min(h, Round(w / r));
        box.top = box.top + Halve(box.bottom - box.top) - Halve(newHeight);
        box.bottom = box.top + newHeight;
    } else {
        const int newWidth = std::min(w, Round(r * h));
        const int centreX = box.left + Halve(w);
        box.left = centreX - Halve(newWidth);
        box.right = box.left + newWidth;
    }
    m_crop = box;
}

void CropBoxModel::MatchOrientation(int pictureWidth, int pictureHeight) {
    if (pictureWidth <= 0 || pictureHeight <= 0) return;
    const double d = double(pictureWidth) / pictureHeight;
    const double c = CropBoxRatio();
    if ((d > 1 && c < 1) || (d < 1 && c > 1)) m_rotated = !m_rotated;
}

std::array<Rect, 4> CropBoxModel::GetHandleRects() const {
    if (m_crop.IsEmpty()) return {};
    const Rect& b = m_crop;
    const int cy = b.top + Halve(b.bottom - b.top);
    const int cx = b.left + Halve(b.right - b.left);
    return {HandleAround(b.left, cy), HandleAround(cx, b.top), HandleAround(b.right, cy), HandleAround(cx, b.bottom)};
}

int CropBoxModel::HitTest(Point point, bool picturesValid) const {
    if (m_crop.IsEmpty() || !picturesValid || !m_showCropBox) return kDragNone;
    const std::array<Rect, 4> handles = GetHandleRects();
    for (size_t i = 0; i < handles.size(); ++i) {
        if (handles[i].Contains(point)) return int(i) + kDragLeft;
    }
    return m_crop.Contains(point) ? kDragMove : kDragNone;
}

void CropBoxModel::BeginDrag(int mode, Point point) {
    m_dragMode = mode;
    m_lastPoint = point;
}

bool CropBoxModel::DragStep(Point point) {
    const int dx = point.x - m_lastPoint.x;
    const int dy = point.y - m_lastPoint.y;
    const double r = CropBoxRatio();
    Rect b = m_crop;
    switch (m_dragMode) {
    case kDragLeft: {
        const int nl = b.left + dx;
        if (nl + kMinimumSpan >= b.right) break;
        b.left = nl;
        if (r > 0) b.bottom = b.top + Round((b.right - nl) / r);
        break;
    }
    case kDragTop: {
        const int nt = b.top + dy;
        if (nt + kMinimumSpan >= b.bottom) break;
        b.top = nt;
        if (r > 0) b.right = b.left + Round(r * (b.bottom - nt));
        break;
    }
    case kDragRight: {
        const int nr = b.right + dx;
        if (b.left >= nr - kMinimumSpan) break;
        b.right = nr;
        if (r > 0) b.bottom = b.top + Round((nr - b.left) / r);
        break;
    }
    case kDragBottom: {
        const int nb = b.bottom + dy;
        if (b.top >= nb - kMinimumSpan) break;
        b.bottom = nb;
        if (r > 0) b.right = b.left + Round(r * (nb - b.top));
        break;
    }
    case kDragMove:
        b = Rect{b.left + dx, b.top + dy, b.right + dx, b.bottom + dy};
        break;
    default:
        return false;
    }
    // A refused step keeps measuring from the last accepted position.
    if (b == m_crop) return false;
    m_crop = b;
    m_lastPoint = point;
    return true;
}

bool CropBoxModel::WheelStep(int delta) {
    const double r = CropBoxRatio();
    if (m_crop.IsEmpty() || !m_showCropBox || r <= 0) return false;
    const int w = m_crop.Width();
    const int h = m_crop.Height();
    const int newWidth = delta > 0 ? w + 1 : w - 1;
    const int newHeight = Round(newWidth / r);
    if (newWidth <= kMinimumSpan || newHeight <= kMinimumSpan) return false;
    m_crop.left += Halve(w) - Halve(newWidth);
    m_crop.right = m_crop.left + newWidth;
    m_crop.top += Halve(h) - Halve(newHeight);
    m_crop.bottom = m_crop.top + newHeight;
    return true;
}

bool CropBoxModel::NudgeStep(int dx, int dy) {
    if (m_crop.IsEmpty() || !m_showCropBox || (dx == 0 && dy == 0)) return false;
    m_crop = Rect{m_crop.left + dx, m_crop.top + dy, m_crop.right + dx, m_crop.bottom + dy};
    return true;
}

bool CropBoxModel::CutEnabled(bool picturesValid) const {
    if (!picturesValid || !m_showCropBox) return false;
    const int w = m_crop.Width();
    const int h = m_crop.Height();
    const int inset = BorderInset(w, h);
    return w - 2 * inset > kMinimumSpan && h - 2 * inset > kMinimumSpan;
}

std::string CropBoxModel::ImageStatusText(bool workValid, int workWidth, int workHeight) {
    if (!workValid || workHeight <= 0) return "Image:";
    char text[128];
    std::snprintf(text, sizeof text, "Image: W=%d, H=%d, W/H=%.2lf", workWidth, workHeight,
                  double(workWidth) / workHeight);
    return text;
}

std::string CropBoxModel::CropStatusText(bool picturesValid, Size crop) const {
    if (!m_showCropBox || m_crop.IsEmpty() || !picturesValid || crop.width <= 0 || crop.height <= 0) {
        return "Crop Box:";
    }
    const double ratio = double(crop.width) / crop.height;
    char text[256];
    const PrintSizePreset* preset = FindPreset(m_presetId);
    if (preset != nullptr && preset->width > 0 && preset->height > 0) {
        std::snprintf(text, sizeof text, "Cropbox: W=%d, H=%d, W/H=%.2lf, Printing Size=%s, DPI=%d", crop.width,
                      crop.height, ratio, preset->name, PrintDpi(crop));
    } else {
        std::snprintf(text, sizeof text, "Cropbox: W=%d, H=%d, W/H=%.2lf", crop.width, crop.height, ratio);
    }
    return text;
}

int CropBoxModel::PrintDpi(Size crop) const {
    const PrintSizePreset* preset = FindPreset(m_presetId);
    if (preset == nullptr || !(preset->width > 0) || !(preset->height > 0)) return 0;
    // The first number of a preset is the print's long side; the box's long side lies along
    // it whichever way the box is turned.
    return Round(std::max(crop.width, crop.height) / std::max(preset->width, preset->height));
}

std::string CropBoxModel::LowPrintResolutionNote(Size crop) const {
    if (crop.width <= 0 || crop.height <= 0) return {};
    const int dpi = PrintDpi(crop);
    if (dpi <= 0 || dpi >= kLowPrintDpi) return {};
    const PrintSizePreset* preset = FindPreset(m_presetId);
    const int longSide = Round(std::max(preset->width, preset->height) * kSharpPrintDpi);
    const int shortSide = Round(std::min(preset->width, preset->height) * kSharpPrintDpi);
    const bool portrait = crop.height > crop.width;
    char text[256];
    std::snprintf(text, sizeof text, "Too few pixels for a sharp %s print: %d x %d of %d x %d", preset->name,
                  crop.width, crop.height, portrait ? shortSide : longSide, portrait ? longSide : shortSide);
    return text;
}

}  // namespace cropbox
