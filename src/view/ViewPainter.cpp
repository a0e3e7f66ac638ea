#include "view/ViewPainter.h"

#include <QPainter>
#include <QPainterPath>
#include <QTransform>
#include <QtMath>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/AntiAliasedDrawing.h"
#include "doc/RoundCornerPath.h"

namespace {

using cropbox::Rect;

constexpr QRgb kBoxBlue = qRgb(0x00, 0x77, 0xE0);
constexpr QRgb kHandleFill = qRgb(255, 0, 0);
constexpr QRgb kHandleOutline = qRgb(255, 255, 255);
constexpr int kFrameHalfWidth = 1;  // the frame pen is 2 pixels wide, centred on the box lines
constexpr int kMaskSteps = 6;       // a = m div 6 keeps the preview within 42/255 of the picture
constexpr uint8_t kWhite = 255;

// A client coordinate at the screen's pixels.
int ToDevice(int client, qreal ratio) { return qRound(client * ratio); }

Rect ToDevice(const Rect& r, qreal ratio) {
    return Rect{ToDevice(r.left, ratio), ToDevice(r.top, ratio), ToDevice(r.right, ratio), ToDevice(r.bottom, ratio)};
}

Rect Intersect(const Rect& a, const Rect& b) {
    return Rect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}

// Row y of the client (0 = top) in a bottom-up picture.
uint8_t* ClientRow(RasterImage& picture, int y) { return picture.RowPointer(picture.GetHeight() - 1 - uint32_t(y)); }

// Sets the bytes of every pixel of area that lies outside keep to value.
void FillOutside(RasterImage& composite, const Rect& area, const Rect& keep, uint8_t value) {
    if (area.IsEmpty()) return;
    const Rect inner = Intersect(area, keep);
    for (int row = area.top; row < area.bottom; ++row) {
        uint8_t* line = ClientRow(composite, row);
        if (inner.IsEmpty() || row < inner.top || row >= inner.bottom) {
            std::memset(line + size_t(area.left) * 3, value, size_t(area.Width()) * 3);
            continue;
        }
        std::memset(line + size_t(area.left) * 3, value, size_t(inner.left - area.left) * 3);
        std::memset(line + size_t(inner.right) * 3, value, size_t(area.right - inner.right) * 3);
    }
}

// Black client with the box white and the view copy on top, both clipped to the client. The
// picture covers its own rectangle whole, so only what lies around it is filled first.
void ComposeClient(RasterImage& composite, const RasterImage& view, int x, int y, const Rect* whiteArea) {
    const Rect client{0, 0, int(composite.GetWidth()), int(composite.GetHeight())};
    const Rect picture{x, y, x + int(view.GetWidth()), y + int(view.GetHeight())};
    FillOutside(composite, client, picture, 0);
    if (whiteArea != nullptr) FillOutside(composite, *whiteArea, picture, kWhite);
    composite.PasteAll(view, 0, 0, x, y, RASTER_PASTE_COPY, 1.0);
}

// The inner shape over the visible part of the box, anti-aliased: 255 inside, 0 outside. The
// zone Cut turns white is its complement within the box (m = 255 - coverage), which is how the
// white box with the shape filled black on top reads. The figures are Cut's own, so the
// zone marked is the zone Cut makes white to the pixel. The figures are in client pixels and
// drawn at ratio times their size; `visible` is in those pixels, and its top-left corner is
// the surface's origin.
GreySurface BuildShapeCoverage(const cropbox::CropBoxModel& model, const Rect& visible, qreal ratio) {
    const Rect& box = model.m_crop;
    const int inset = model.BorderInset(box.Width(), box.Height());
    const Rect inner{box.left + inset, box.top + inset, box.right - inset, box.bottom - inset};
    const double dx = -visible.left;
    const double dy = -visible.top;

    GreySurface coverage(visible.Width(), visible.Height());
    if (!coverage.IsValid() || inner.IsEmpty()) return coverage;
    const double left = inner.left * ratio + dx;
    const double top = inner.top * ratio + dy;
    const double width = inner.Width() * ratio;
    const double height = inner.Height() * ratio;
    switch (model.m_shape) {
    case cropbox::kShapeRoundCorner: {
        QTransform toSurface;
        toSurface.translate(dx, dy);
        toSurface.scale(ratio, ratio);
        coverage.FillPath(toSurface.map(RoundCornerFigureCovering(inner.left, inner.top, inner.right, inner.bottom)),
                          kWhite);
        break;
    }
    case cropbox::kShapeOval:
        coverage.FillEllipse(left, top, width, height, kWhite);
        break;
    default:
        coverage.FillRect(left, top, width, height, kWhite);
        break;
    }
    return coverage;
}

// For each shape coverage, the lightening level a = (255 - coverage) div 6, and for each level
// the 256 results P(c, 255 - a) + a: one small table lookup per channel in the paint loop.
struct LightenTables {
    uint8_t level[256];
    uint8_t result[kWhite / kMaskSteps + 1][256];
    LightenTables() {
        const uint8_t* product = ProductTable();
        for (int coverage = 0; coverage < 256; ++coverage) level[coverage] = uint8_t((kWhite - coverage) / kMaskSteps);
        for (int a = 0; a <= kWhite / kMaskSteps; ++a) {
            for (int c = 0; c < 256; ++c) result[a][c] = uint8_t(product[c * 256 + (kWhite - a)] + a);
        }
    }
};

const LightenTables& Tables() {
    static const LightenTables tables;
    return tables;
}

// Blends the composite toward white wherever the mask (255 - coverage) is not 0.
void LightenMaskedZone(RasterImage& composite, const GreySurface& coverage, const Rect& visible) {
    const LightenTables& tables = Tables();
    for (int row = 0; row < visible.Height(); ++row) {
        const uint8_t* inside = coverage.Row(row);
        uint8_t* pixel = ClientRow(composite, visible.top + row) + size_t(visible.left) * 3;
        for (int col = 0; col < visible.Width(); ++col, pixel += 3) {
            const int a = tables.level[inside[col]];
            if (a == 0) continue;
            const uint8_t* lighten = tables.result[a];
            pixel[0] = lighten[pixel[0]];
            pixel[1] = lighten[pixel[1]];
            pixel[2] = lighten[pixel[2]];
        }
    }
}

// One row of 24-bit pixels (blue, green, red) as 32-bit opaque pixels, four at a time.
void ConvertRow(const uint8_t* in, uint32_t* out, int width) {
    constexpr uint32_t kOpaque = 0xFF000000u;
    int x = 0;
    for (; x + 4 <= width; x += 4, in += 12) {
        uint32_t w[3];
        std::memcpy(w, in, sizeof w);
        out[x] = kOpaque | (w[0] & 0xFFFFFFu);
        out[x + 1] = kOpaque | (w[0] >> 24) | ((w[1] & 0xFFFFu) << 8);
        out[x + 2] = kOpaque | (w[1] >> 16) | ((w[2] & 0xFFu) << 16);
        out[x + 3] = kOpaque | (w[2] >> 8);
    }
    for (; x < width; ++x, in += 3) out[x] = kOpaque | uint32_t(in[2]) << 16 | uint32_t(in[1]) << 8 | in[0];
}

// The 24-bit bottom-up composite as a top-down 32-bit bitmap.
void ToClientBitmap(RasterImage& composite, QImage& bitmap) {
    const int width = int(composite.GetWidth());
    for (int y = 0; y < bitmap.height(); ++y) {
        ConvertRow(ClientRow(composite, y), reinterpret_cast<uint32_t*>(bitmap.scanLine(y)), width);
    }
}

// The part of the box the picture keeps: inside the white border.
Rect InnerBox(const cropbox::CropBoxModel& model) {
    const Rect& box = model.m_crop;
    const int inset = model.BorderInset(box.Width(), box.Height());
    return Rect{box.left + inset, box.top + inset, box.right - inset, box.bottom - inset};
}

// Light lines on a dark edge, so that they show on bright and dark pictures alike; clipped to
// clip unless it is empty.
void DrawLightLines(QPainter& painter, const QRectF& clip, const std::vector<QLineF>& lines,
                    const QPolygonF& polyline = QPolygonF()) {
    painter.save();
    if (!clip.isEmpty()) painter.setClipRect(clip);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(Qt::NoBrush);
    for (const QPen& pen : {QPen(QColor(0, 0, 0, 96), 2.0), QPen(QColor(255, 255, 255, 176), 1.0)}) {
        painter.setPen(pen);
        painter.drawLines(lines.data(), int(lines.size()));
        if (!polyline.isEmpty()) painter.drawPolyline(polyline);
    }
    painter.restore();
}

void DrawGuide(QPainter& painter, const cropbox::CropBoxModel& model, CompositionGuide guide, int spiralTurn) {
    const Rect inner = InnerBox(model);
    if (guide == CompositionGuide::None || inner.IsEmpty()) return;
    const QRectF box(inner.left, inner.top, inner.Width(), inner.Height());
    const QPolygonF spiral = guide == CompositionGuide::GoldenSpiral ? GoldenSpiral(box, spiralTurn) : QPolygonF();
    DrawLightLines(painter, box, GuideLines(guide, box, spiralTurn), spiral);
}

// While the picture is straightened: the fine grid inside the box and the line being drawn
// along a horizon.
void DrawStraightenMarks(QPainter& painter, const cropbox::CropBoxModel& model, bool showBox, bool fineGrid,
                         const QLineF& horizon) {
    const Rect inner = InnerBox(model);
    if (showBox && fineGrid && !inner.IsEmpty()) {
        const QRectF box(inner.left, inner.top, inner.Width(), inner.Height());
        DrawLightLines(painter, box, FineGridLines(box));
    }
    if (!horizon.isNull()) DrawLightLines(painter, QRectF(), {horizon});
}

void DrawShapeOutline(QPainter& painter, const cropbox::CropBoxModel& model) {
    const Rect inner = InnerBox(model);
    if (inner.IsEmpty()) return;
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(QColor::fromRgb(kBoxBlue), 1.0));
    painter.setBrush(Qt::NoBrush);
    switch (model.m_shape) {
    case cropbox::kShapeRoundCorner:
        painter.drawPath(RoundCornerFigureCovering(inner.left, inner.top, inner.right, inner.bottom));
        break;
    case cropbox::kShapeOval:
        painter.drawEllipse(QRectF(inner.left, inner.top, inner.Width(), inner.Height()));
        break;
    default:
        painter.drawRect(QRectF(inner.left, inner.top, inner.Width(), inner.Height()));
        break;
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
}

void DrawFrameAndHandles(QPainter& painter, const cropbox::CropBoxModel& model) {
    const Rect& b = model.m_crop;
    const int h = kFrameHalfWidth;
    const QColor blue = QColor::fromRgb(kBoxBlue);
    painter.fillRect(QRect(QPoint(b.left - h, b.top - h), QPoint(b.right + h - 1, b.top + h - 1)), blue);
    painter.fillRect(QRect(QPoint(b.left - h, b.bottom - h), QPoint(b.right + h - 1, b.bottom + h - 1)), blue);
    painter.fillRect(QRect(QPoint(b.left - h, b.top - h), QPoint(b.left + h - 1, b.bottom + h - 1)), blue);
    painter.fillRect(QRect(QPoint(b.right - h, b.top - h), QPoint(b.right + h - 1, b.bottom + h - 1)), blue);
    for (const Rect& handle : model.GetHandleRects()) {
        const QRect outer(handle.left, handle.top, handle.Width(), handle.Height());
        painter.fillRect(outer, QColor::fromRgb(kHandleOutline));
        painter.fillRect(outer.adjusted(1, 1, -1, -1), QColor::fromRgb(kHandleFill));
    }
}

QImage BlackClient(int clientWidth, int clientHeight, qreal ratio) {
    if (!(ratio > 0)) ratio = 1.0;
    QImage bitmap(std::max(qCeil(clientWidth * ratio), 0), std::max(qCeil(clientHeight * ratio), 0),
                  QImage::Format_RGB32);
    bitmap.setDevicePixelRatio(ratio);
    bitmap.fill(Qt::black);
    return bitmap;
}

}  // namespace

uint8_t LightenTowardWhite(uint8_t colour, uint8_t mask) {
    const int a = mask / kMaskSteps;
    return uint8_t(ProductTable()[size_t(colour) * 256 + size_t(kWhite - a)] + a);
}

QSize ViewPainter::ShownSize(QSize viewSize, qreal ratio) {
    return {ToDevice(viewSize.width(), ratio), ToDevice(viewSize.height(), ratio)};
}

bool ViewPainter::PrepareBuffers(int width, int height) {
    const bool sameSize =
        m_composite.IsValid() && int(m_composite.GetWidth()) == width && int(m_composite.GetHeight()) == height;
    if (!sameSize && m_composite.Create(uint32_t(width), uint32_t(height), 24, 0) == nullptr) return false;
    if (m_bitmap.size() != QSize(width, height)) m_bitmap = QImage(width, height, QImage::Format_RGB32);
    return !m_bitmap.isNull();
}

QImage ViewPainter::Render(const RasterImage& view, const cropbox::CropBoxModel& model, int clientWidth,
                           int clientHeight) {
    return Render(view, view, model, clientWidth, clientHeight, 1.0);
}

QImage ViewPainter::Render(const RasterImage& view, const RasterImage& shown, const cropbox::CropBoxModel& model,
                           int clientWidth, int clientHeight, qreal ratio) {
    if (!view.IsValid() || clientWidth <= 0 || clientHeight <= 0) return BlackClient(clientWidth, clientHeight, ratio);
    const QSize viewSize(int(view.GetWidth()), int(view.GetHeight()));
    const bool sharp = ratio > 0 && shown.IsValid() &&
                       QSize(int(shown.GetWidth()), int(shown.GetHeight())) == ShownSize(viewSize, ratio);
    const RasterImage& picture = sharp ? shown : view;
    if (!sharp) ratio = 1.0;
    const int deviceWidth = qCeil(clientWidth * ratio);
    const int deviceHeight = qCeil(clientHeight * ratio);
    if (!PrepareBuffers(deviceWidth, deviceHeight)) return BlackClient(clientWidth, clientHeight, ratio);
    const int x = ToDevice(cropbox::Halve(clientWidth - viewSize.width()), ratio);
    const int y = ToDevice(cropbox::Halve(clientHeight - viewSize.height()), ratio);
    const bool showBox = model.m_showCropBox && !model.m_crop.IsEmpty();
    const Rect visible =
        showBox ? Intersect(ToDevice(model.m_crop, ratio), Rect{0, 0, deviceWidth, deviceHeight}) : Rect{};

    ComposeClient(m_composite, picture, x, y, showBox ? &visible : nullptr);
    if (showBox && !visible.IsEmpty()) {
        const GreySurface coverage = BuildShapeCoverage(model, visible, ratio);
        if (coverage.IsValid()) LightenMaskedZone(m_composite, coverage, visible);
    }
    ToClientBitmap(m_composite, m_bitmap);
    // The outline, the frame and the handles are drawn in client pixels; the painter puts
    // them on the screen's pixels.
    m_bitmap.setDevicePixelRatio(ratio);
    if (showBox || !m_horizon.isNull()) {
        QPainter painter(&m_bitmap);
        if (showBox) {
            DrawGuide(painter, model, m_guide, m_spiralTurn);
            DrawShapeOutline(painter, model);
            DrawFrameAndHandles(painter, model);
        }
        DrawStraightenMarks(painter, model, showBox, m_fineGrid, m_horizon);
    }
    return m_bitmap;
}

QImage RenderViewClient(const RasterImage& view, const cropbox::CropBoxModel& model, int clientWidth,
                        int clientHeight) {
    ViewPainter painter;
    return painter.Render(view, model, clientWidth, clientHeight);
}
