#include "app/StatusBarPanes.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>

#include "commands/CommandRouter.h"
#include "app/RibbonLook.h"
#include "app/VisualStyles.h"

namespace {
constexpr int kPaneHorizontalPadding = 4;  // left and right of the text
}  // namespace

StatusPane::StatusPane(uint32_t id, const QString& label, const QString& widthTemplate, QWidget* parent)
    : QLabel(parent), m_id(id), m_label(label) {
    setTextFormat(Qt::PlainText);
    setContentsMargins(kPaneHorizontalPadding, 0, kPaneHorizontalPadding, 0);
    setFixedWidth(fontMetrics().horizontalAdvance(widthTemplate) + 2 * kPaneHorizontalPadding + 2 * margin());
    setMinimumHeight(fontMetrics().height());
}

void StatusPane::SetPaneText(const QString& text) {
    if (text == m_fullText) return;
    m_fullText = text;
    ShowElided();
}

void StatusPane::ShowElided() {
    const int room = contentsRect().width();
    QLabel::setText(fontMetrics().elidedText(m_fullText, Qt::ElideRight, room));
    setToolTip(text() == m_fullText ? QString() : m_fullText);
}

void StatusPane::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    ShowElided();
}

void StatusPane::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
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
        // A pane nobody answers for shows nothing.
        pane->SetPaneText(update.enabled ? update.text.value_or(pane->FullText()) : QString());
    }
}
