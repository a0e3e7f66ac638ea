// Straightening in the view: [ and ] turn the shown picture a tenth of a degree at a time (with
// Shift a whole degree), and "Straighten by Line" turns it so that a line drawn along its
// horizon comes out level. The document keeps the turn and the box inside the turned picture;
// the view shows the fine grid in the box while the turn changes.
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>

#include <cmath>
#include <variant>

#include "commands/CommandIds.h"
#include "doc/StraightenGeometry.h"
#include "view/PictureView.h"

namespace {

constexpr double kCoarseStepDegrees = 1.0;
// How long the fine grid stays after the last change of the turn.
constexpr int kFineGridMilliseconds = 1500;

cropbox::Point ToPoint(QPointF p) { return {p.toPoint().x(), p.toPoint().y()}; }

}  // namespace

void PictureView::RegisterStraightenCommands() {
    CommandHandlers& h = m_handlers;
    // The ribbon's slider: tenths of a degree.
    h.OnValue(
        cmd::ID_STRAIGHTEN,
        [this](const CommandValue& position) {
            const int* tenths = std::get_if<int>(&position);
            if (tenths == nullptr || !CanEdit()) return;
            m_document->SetStraightenDegrees(*tenths / 10.0);
            ShowStraightenMarks();
        },
        [this](CommandUpdate& u) {
            u.enabled = CanEdit();
            u.value = int(std::lround(m_document->StraightenDegrees() * 10.0));
        });
    h.On(cmd::ID_STRAIGHTEN_BY_LINE, [this] { StartHorizonLine(); }, [this](CommandUpdate& u) { u.enabled = CanEdit(); });
}

bool PictureView::StraightenKey(const QKeyEvent& event) {
    double direction = 0.0;
    switch (event.key()) {
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft:   // [ with Shift on most layouts
        direction = -1.0;
        break;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight:
        direction = 1.0;
        break;
    case Qt::Key_Escape:
        if (!m_horizonMode) return false;
        m_horizonMode = m_horizonDrawing = false;
        m_horizon = QLineF();
        unsetCursor();
        ShowStraightenMarks();
        return true;
    default:
        return false;
    }
    const double step = (event.modifiers() & Qt::ShiftModifier) ? kCoarseStepDegrees : straighten::kStepDegrees;
    if (CanEdit()) StraightenBy(direction * step);
    return true;
}

void PictureView::StraightenBy(double degrees) {
    m_document->SetStraightenDegrees(m_document->StraightenDegrees() + degrees);
    ShowStraightenMarks();
}

void PictureView::AddStraightenMenu(QMenu& menu) {
    QAction* line = menu.addAction(QStringLiteral("Straighten by &Line"));
    line->setEnabled(CanEdit());
    connect(line, &QAction::triggered, this, &PictureView::StartHorizonLine);
}

void PictureView::StartHorizonLine() {
    if (!CanEdit()) return;
    m_horizonMode = true;
    setCursor(Qt::CrossCursor);
}

bool PictureView::HorizonPress(const QMouseEvent& event) {
    if (!m_horizonMode) return false;
    m_horizonDrawing = true;
    m_horizon = QLineF(event.position(), event.position());
    ShowStraightenMarks();
    return true;
}

bool PictureView::HorizonMove(const QMouseEvent& event) {
    if (!m_horizonDrawing) return false;
    m_horizon.setP2(event.position());
    ShowStraightenMarks();
    return true;
}

bool PictureView::HorizonRelease(const QMouseEvent& event) {
    if (!m_horizonDrawing || event.button() != Qt::LeftButton) return false;
    m_horizon.setP2(event.position());
    const QLineF drawn = m_horizon;
    m_horizonMode = m_horizonDrawing = false;
    m_horizon = QLineF();
    unsetCursor();
    // A click without a line leaves the turn as it is.
    if (CanEdit()) m_document->StraightenAlongLine(ToPoint(drawn.p1()), ToPoint(drawn.p2()));
    ShowStraightenMarks();
    return true;
}

void PictureView::ShowStraightenMarks() {
    const uint64_t change = ++m_straightenChange;
    m_painter.SetStraightenMarks(true, m_horizon);
    QTimer::singleShot(kFineGridMilliseconds, this, [this, change] {
        if (change != m_straightenChange || m_horizonMode) return;
        m_painter.SetStraightenMarks(false, QLineF());
        Repaint();
    });
    Repaint();
}
