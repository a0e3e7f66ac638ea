#include "app/StatusBarPanes.h"

#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QMenu>
#include <QPainter>
#include <QtMath>

#include "commands/CommandRouter.h"
#include "app/RibbonLook.h"
#include "app/VisualStyles.h"
#include "view/StatusPaneText.h"

namespace {
constexpr int kPaneHorizontalPadding = 4;  // left and right of the text
// A flagged pane is dark text on amber, which reads the same on the light looks' bars and on
// the black look's dark one.
const QColor kWarningBackground(0xFF, 0xC8, 0x3D);
const QColor kWarningText(0x20, 0x20, 0x20);
}  // namespace

StatusPane::StatusPane(uint32_t id, const QString& label, const QString& widthTemplate, QWidget* parent)
    : QLabel(parent), m_id(id), m_label(label), m_template(widthTemplate) {
    setTextFormat(Qt::PlainText);
    setContentsMargins(kPaneHorizontalPadding, 0, kPaneHorizontalPadding, 0);
    MeasureTemplate();
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    setMinimumHeight(fontMetrics().height());
}

void StatusPane::MeasureTemplate() {
    // Measured in fractions of a pixel and rounded up: at a fractional screen scale the
    // rounded whole-pixel advance can fall short of what the eliding measures.
    const int textWidth = qCeil(QFontMetricsF(font()).horizontalAdvance(m_template));
    m_templateWidth = textWidth + 2 * kPaneHorizontalPadding + 2 * margin();
    // As wide as the template when there is room, never wider; a narrow window shrinks the
    // pane down to its label's width, and the text is cut (its whole shows as the tooltip).
    setMaximumWidth(m_templateWidth);
    updateGeometry();
}

QSize StatusPane::sizeHint() const {
    return {m_templateWidth, QLabel::sizeHint().height()};
}

QSize StatusPane::minimumSizeHint() const {
    const int least = fontMetrics().horizontalAdvance(m_label) + 2 * kPaneHorizontalPadding + 2 * margin();
    return {std::min(least, m_templateWidth), QLabel::minimumSizeHint().height()};
}

void StatusPane::SetPaneText(const QString& text) {
    if (text == m_fullText) return;
    m_fullText = text;
    ShowElided();
}

QColor StatusPane::WarningBackground() { return kWarningBackground; }

void StatusPane::SetNote(const QString& note) {
    if (note == m_note) return;
    m_note = note;
    // The look's colours are inherited from the bar; a flag overrides them on the pane alone.
    setStyleSheet(IsFlagged() ? QStringLiteral("background-color: %1; color: %2;")
                                    .arg(kWarningBackground.name(), kWarningText.name())
                              : QString());
    ShowElided();
}

void StatusPane::ShowElided() {
    const int room = contentsRect().width();
    QLabel::setText(fontMetrics().elidedText(m_fullText, Qt::ElideRight, room));
    if (IsFlagged()) {
        setToolTip(m_note);
    } else {
        setToolTip(text() == m_fullText ? QString() : m_fullText);
    }
}

void StatusPane::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    ShowElided();
}

void StatusPane::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) MeasureTemplate();
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) ShowElided();
}

SnipwellStatusBar::SnipwellStatusBar(QWidget* parent) : QStatusBar(parent) {
    RibbonLook::MarkChrome(this);
    setSizeGripEnabled(true);
    if (CommandRouter* router = CommandRouter::Instance()) {
        connect(router, &CommandRouter::updatePass, this, &SnipwellStatusBar::UpdatePanes);
    }
}

StatusPane* SnipwellStatusBar::AddPane(uint32_t id, const QString& label, const QString& widthTemplate,
                                       bool extendedArea) {
    auto* pane = new StatusPane(id, label, widthTemplate, this);
    if (extendedArea) {
        addPermanentWidget(pane);
    } else {
        addWidget(pane);
    }
    m_panes.push_back(pane);
    return pane;
}

StatusPane* SnipwellStatusBar::Pane(uint32_t id) const {
    for (StatusPane* pane : m_panes) {
        if (pane->Id() == id) return pane;
    }
    return nullptr;
}

QMenu* SnipwellStatusBar::CreatePaneMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    for (StatusPane* pane : m_panes) {
        QAction* action = menu->addAction(pane->PaneLabel());
        action->setCheckable(true);
        action->setChecked(!pane->isHidden());
        connect(action, &QAction::toggled, pane, &QWidget::setVisible);
    }
    return menu;
}

void SnipwellStatusBar::ApplyLook(const LookColours& look) {
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, look.statusText);
    setPalette(colours);
    update();
}

void SnipwellStatusBar::paintEvent(QPaintEvent* event) {
    {
        const LookColours& look = CurrentLookColours();
        QPainter painter(this);
        PaintVerticalGradient(&painter, rect(), look.statusTop, look.statusBottom);
    }
    // The panes' separators and any passing message.
    QStatusBar::paintEvent(event);
}

void SnipwellStatusBar::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = CreatePaneMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void SnipwellStatusBar::UpdatePanes() {
    const CommandRouter* router = CommandRouter::Instance();
    if (router == nullptr) return;
    for (StatusPane* pane : m_panes) {
        const CommandUpdate update = router->QueryUpdate(pane->Id());
        // A pane nobody answers for shows nothing; a handler that sets no text keeps the pane's.
        if (!update.enabled) {
            pane->SetPaneText(QString());
            pane->SetNote(QString());
        } else if (update.text) {
            const PaneText answer = ReadPaneText(update);
            pane->SetPaneText(answer.text);
            pane->SetNote(answer.note);
        }
    }
}
