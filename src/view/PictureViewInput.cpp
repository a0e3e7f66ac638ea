// The view's input: the mouse, the wheel and the arrow keys edit the shown document's crop
// box; Delete asks for the file to be deleted.
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include "commands/CommandIds.h"
#include "view/PictureView.h"

namespace {

cropbox::Point ToPoint(QPoint p) { return {p.x(), p.y()}; }

}  // namespace

void PictureView::UpdateCursor(QPoint position) {
    switch (Box().HitTest(ToPoint(position), PicturesValid())) {
    case cropbox::kDragLeft:
    case cropbox::kDragRight:
        setCursor(Qt::SizeHorCursor);
        break;
    case cropbox::kDragTop:
    case cropbox::kDragBottom:
        setCursor(Qt::SizeVerCursor);
        break;
    case cropbox::kDragMove:
        setCursor(Qt::SizeAllCursor);
        break;
    default:
        unsetCursor();
        break;
    }
}

void PictureView::BeginDrag(QPoint position) {
    const cropbox::Point point = ToPoint(position);
    Box().BeginDrag(Box().HitTest(point, PicturesValid()), point);
    if (Box().m_dragMode > cropbox::kDragNone) {
        if (isVisible()) grabMouse();
        m_captured = true;
    }
}

void PictureView::EndDrag() {
    Box().m_dragMode = cropbox::kDragNone;
    if (m_captured && isVisible()) releaseMouse();
    m_captured = false;
    m_document->KeepBox(true);
    Repaint();
}

void PictureView::BoxStepped() {
    m_document->KeepBox(false);
    Repaint();
}

void PictureView::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    if (event->button() == Qt::ForwardButton || event->button() == Qt::BackButton) {
        StepPhoto(event->button() == Qt::ForwardButton ? 1 : -1);
        return;
    }
    if (event->button() != Qt::LeftButton) return;
    setFocus(Qt::MouseFocusReason);
    if (HorizonPress(*event)) return;
    BeginDrag(event->position().toPoint());
}

void PictureView::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
    if (HorizonMove(*event)) return;
    const QPoint position = event->position().toPoint();
    if (Box().m_dragMode > cropbox::kDragNone) {
        if (m_document->DragBox(ToPoint(position))) Repaint();
    } else {
        UpdateCursor(position);
    }
}

void PictureView::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    if (HorizonRelease(*event)) return;
    if (event->button() == Qt::LeftButton && Box().m_dragMode > cropbox::kDragNone) EndDrag();
}

void PictureView::mouseDoubleClickEvent(QMouseEvent* event) {
    // QWidget's own handling would treat the second click as a press and start a drag.
    event->accept();
    if (event->button() != Qt::LeftButton) return;
    if (PicturesValid() && !Box().m_crop.IsEmpty()) {
        Box().m_showCropBox = !Box().m_showCropBox;
        Repaint();
    }
}

void PictureView::keyPressEvent(QKeyEvent* event) {
    if (StraightenKey(*event)) return;
    switch (event->key()) {
    case Qt::Key_Escape:
        if (m_captured && Box().m_dragMode > cropbox::kDragNone) EndDrag();
        break;
    case Qt::Key_Left:
        if (Box().NudgeStep(-1, 0)) BoxStepped();
        break;
    case Qt::Key_Up:
        if (Box().NudgeStep(0, -1)) BoxStepped();
        break;
    case Qt::Key_Right:
        if (Box().NudgeStep(1, 0)) BoxStepped();
        break;
    case Qt::Key_Down:
        if (Box().NudgeStep(0, 1)) BoxStepped();
        break;
    case Qt::Key_PageDown:
        StepPhoto(1);
        break;
    case Qt::Key_PageUp:
        StepPhoto(-1);
        break;
    case Qt::Key_Delete:
        if (CommandRouter* router = CommandRouter::Instance()) router->Post(cmd::ID_DELETE);
        break;
    case Qt::Key_O:
        // A plain letter: only while the picture has the keyboard (the list and the tree use
        // letters to find names).
        if ((event->modifiers() & ~Qt::ShiftModifier & ~Qt::KeypadModifier) == Qt::NoModifier) {
            if (event->modifiers() & Qt::ShiftModifier) {
                TurnSpiral();
            } else {
                ShowNextGuide();
            }
        }
        break;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

void PictureView::wheelEvent(QWheelEvent* event) {
    // Only the vertical wheel resizes; one pixel per message whatever its delta.
    const int delta = event->angleDelta().y();
    if (delta != 0 && Box().WheelStep(delta)) {
        BoxStepped();
        event->accept();
        return;
    }
    QWidget::wheelEvent(event);
}

