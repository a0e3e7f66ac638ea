#include "cutter/AlphaCutterPreview.h"

#include <QMouseEvent>
#include <QPainter>

#include "platform/RasterQtBridge.h"

using cutter::DragMode;

namespace {

cutter::Point ToPoint(const QPoint& p) {
    return cutter::Point{p.x(), p.y()};
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

// The red outline of the placed picture (one pixel inside its edges) and its four handles.
void DrawPlacementFrame(QPainter& painter, const RasterRect& placement) {
    const QColor red(255, 0, 0);
    painter.setPen(QPen(red, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(ToQRect(placement).adjusted(0, 0, -1, -1));
    for (DragMode handle : {cutter::DRAG_LEFT, cutter::DRAG_TOP, cutter::DRAG_RIGHT, cutter::DRAG_BOTTOM}) {
        painter.fillRect(ToQRect(cutter::HandleRect(placement, handle)), red);
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
    return m_model.HitTestPlacement(ToPoint(point));
}

void AlphaCutterPreview::BuildBackdrop() {
    m_buildPosted = false;
    m_model.BuildBackdrop(width(), height());
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
        DrawPlacementFrame(memory, m_model.Placement());
    }
    screen.drawImage(QPoint(0, 0), bitmap);
}

void AlphaCutterPreview::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const RasterImage& backdrop = m_model.Backdrop();
    if (backdrop.IsValid() && (int(backdrop.GetWidth()) != width() || int(backdrop.GetHeight()) != height())) {
        m_model.DropBackdrop();
    }
}

void AlphaCutterPreview::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    if (event->button() != Qt::LeftButton) return;
    // While the button is down the widget keeps the mouse (Qt's implicit grab).
    m_model.BeginDrag(ToPoint(event->position().toPoint()));
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
    if (m_model.DragTo(ToPoint(point))) update();
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
