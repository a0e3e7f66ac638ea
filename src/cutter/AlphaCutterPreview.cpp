#include "cutter/AlphaCutterPreview.h"

#include <QMouseEvent>
#include <QPainter>
#include <QtMath>

#include <algorithm>
#include <cmath>

#include "platform/RasterQtBridge.h"

using cutter::DragMode;

namespace {

// The device pixel under a logical position.
cutter::Point ToDevicePoint(const QPointF& p, qreal ratio) {
    return cutter::Point{int32_t(std::floor(p.x() * ratio)), int32_t(std::floor(p.y() * ratio))};
}

QRect ToQRect(const RasterRect& r) {
    return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
}

Qt::CursorShape CursorFor(int hit) {
    switch (hit) {
        case cutter::DRAG_LEFT:
        case cutter::DRAG_RIGHT: return Qt::SizeHorCursor;
        case cutter::DRAG_TOP:
        case cutter::DRAG_BOTTOM: return Qt::SizeVerCursor;
        case cutter::DRAG_MOVE: return Qt::SizeAllCursor;
        default: return Qt::ArrowCursor;
    }
}

// The red outline of the placed picture (line pixels thick, inside its edges) and its four
// handles, in the frame's own pixels.
void DrawPlacementFrame(QPainter& painter, const RasterRect& placement, int line, int32_t handleHalf) {
    const QColor red(255, 0, 0);
    const QRect outline = ToQRect(placement);
    painter.fillRect(QRect(outline.left(), outline.top(), outline.width(), line), red);
    painter.fillRect(QRect(outline.left(), outline.bottom() - line + 1, outline.width(), line), red);
    painter.fillRect(QRect(outline.left(), outline.top(), line, outline.height()), red);
    painter.fillRect(QRect(outline.right() - line + 1, outline.top(), line, outline.height()), red);
    for (DragMode handle : {cutter::DRAG_LEFT, cutter::DRAG_TOP, cutter::DRAG_RIGHT, cutter::DRAG_BOTTOM}) {
        painter.fillRect(ToQRect(cutter::HandleRect(placement, handle, handleHalf)), red);
    }
}

}  // namespace

AlphaCutterPreview::AlphaCutterPreview(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);  // the cursor follows what the pointer is over
    setAttribute(Qt::WA_OpaquePaintEvent);  // every paint covers the whole control
}

void AlphaCutterPreview::SetPicture(const RasterImage& source, const std::vector<uint8_t>& icc) {
    m_model.SetPicture(source, icc);
    // A paint only builds when the backdrop is missing; a picture given later needs its
    // preview and placement too.
    if (m_model.HasBackdrop()) PostBuild();
    update();
}

void AlphaCutterPreview::SetCutter(const RasterImage& source) {
    m_model.SetCutter(source);
    update();
}

void AlphaCutterPreview::ReverseAlpha() {
    if (m_model.ReverseAlpha()) update();
}

int AlphaCutterPreview::HitTestPlacement(const QPoint& point) const {
    return m_model.HitTestPlacement(ToDevicePoint(point, devicePixelRatioF()));
}

QSize AlphaCutterPreview::DeviceSize() const {
    const qreal ratio = devicePixelRatioF();
    return QSize(qCeil(width() * ratio), qCeil(height() * ratio));
}

bool AlphaCutterPreview::BackdropFitsDevice() const {
    const RasterImage& backdrop = m_model.Backdrop();
    return QSize(int(backdrop.GetWidth()), int(backdrop.GetHeight())) == DeviceSize();
}

void AlphaCutterPreview::BuildBackdrop() {
    m_buildPosted = false;
    // The model works in the screen's own pixels, so that the preview is as sharp as the
    // picture view; the mouse is brought to them on the way in.
    m_model.SetHandleScale(devicePixelRatioF());
    const QSize device = DeviceSize();
    m_model.BuildBackdrop(device.width(), device.height());
    // Without a backdrop (no memory) a repaint would only post the build again.
    if (m_model.HasBackdrop()) update();
    PostCutterState();
}

void AlphaCutterPreview::PostBuild() {
    if (m_buildPosted) return;
    m_buildPosted = true;
    QMetaObject::invokeMethod(this, &AlphaCutterPreview::BuildBackdrop, Qt::QueuedConnection);
}

void AlphaCutterPreview::PostCutterState() {
    QMetaObject::invokeMethod(this, [this] { emit cutterStateChanged(); }, Qt::QueuedConnection);
}

void AlphaCutterPreview::paintEvent(QPaintEvent*) {
    QPainter screen(this);
    // Moved to a screen of another ratio: built again for its pixels.
    if (m_model.HasBackdrop() && !BackdropFitsDevice()) m_model.DropBackdrop();
    if (!m_model.HasBackdrop()) {
        screen.fillRect(rect(), Qt::black);
        PostBuild();
        return;
    }
    RasterImage frame;
    QImage bitmap;
    if (m_model.ComposeFrame(frame)) bitmap = MakeAlphaBitmap(frame);
    if (bitmap.isNull()) {
        screen.fillRect(rect(), Qt::black);
        return;
    }
    // The frame has no alpha plane, so every alpha byte is 255: a plain RGB blit.
    bitmap.reinterpretAsFormat(QImage::Format_RGB32);
    if (m_model.HasHandles()) {
        QPainter memory(&bitmap);
        const int line = std::max(1, cutter::RoundHalfAway(devicePixelRatioF()));
        DrawPlacementFrame(memory, m_model.Placement(), line, m_model.HandleHalf());
    }
    // Put on the screen one frame pixel per device pixel.
    bitmap.setDevicePixelRatio(devicePixelRatioF());
    screen.drawImage(QPoint(0, 0), bitmap);
}

void AlphaCutterPreview::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_model.HasBackdrop() && !BackdropFitsDevice()) m_model.DropBackdrop();
}

void AlphaCutterPreview::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    if (event->button() != Qt::LeftButton) return;
    // While the button is down the widget keeps the mouse (Qt's implicit grab).
    m_model.BeginDrag(ToDevicePoint(event->position(), devicePixelRatioF()));
}

void AlphaCutterPreview::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
    const QPoint point = event->position().toPoint();
    if (m_model.CurrentDragMode() != cutter::DRAG_NONE && !(event->buttons() & Qt::LeftButton)) {
        // The release went elsewhere (the grab was taken away): the drag ended there, and a
        // plain move must not carry the picture along.
        FinishDrag();
    }
    if (m_model.CurrentDragMode() == cutter::DRAG_NONE) {
        UpdateCursor(point);
        return;
    }
    if (m_model.DragTo(ToDevicePoint(event->position(), devicePixelRatioF()))) update();
}

void AlphaCutterPreview::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton) return;
    FinishDrag();
}

void AlphaCutterPreview::FinishDrag() {
    update();
    m_model.EndDrag();
    PostCutterState();
}

void AlphaCutterPreview::UpdateCursor(const QPoint& point) {
    setCursor(CursorFor(HitTestPlacement(point)));
}
