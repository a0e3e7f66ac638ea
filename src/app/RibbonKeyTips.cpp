#include "app/RibbonKeyTips.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QTabBar>

#include "app/MainRibbonBar.h"
#include "app/RibbonPanelPopup.h"

RibbonKeyTips::RibbonKeyTips(MainRibbonBar* ribbon) : QObject(ribbon), m_ribbon(ribbon) {
    qApp->installEventFilter(this);
}

RibbonKeyTips::~RibbonKeyTips() {
    qApp->removeEventFilter(this);
    ClearBadges();
}

QStringList RibbonKeyTips::ShownKeys() const {
    QStringList keys;
    for (const Tip& tip : m_tips) keys << tip.key;
    return keys;
}

void RibbonKeyTips::ShowTabRow() {
    std::vector<Tip> tips;
    if (RibbonButton* app = m_ribbon->ApplicationButton()) {
        tips.push_back({app->KeyTip(), app, [app] { app->ActivateByKeyTip(); }});
    }
    QTabBar* tabs = m_ribbon->Tabs();
    const std::vector<RibbonCategory*>& categories = m_ribbon->Categories();
    for (size_t i = 0; i < categories.size(); ++i) {
        RibbonCategory* category = categories[i];
        tips.push_back({RibbonElement::KeyTipOf(category->Name()), tabs, [this, category] {
                            m_ribbon->SetActiveCategory(category);
                            ShowCategory(category);
                        }});
    }
    for (RibbonButton* button : m_ribbon->TabRowButtons()) {
        tips.push_back({button->KeyTip(), button, [button] { button->ActivateByKeyTip(); }});
    }
    Show(std::move(tips), Level::TabRow);
    // The tab tips sit over their own tab.
    for (size_t i = 0; i < categories.size() && i + 1 < m_badges.size(); ++i) {
        QLabel* badge = m_badges[i + 1];
        if (badge == nullptr) continue;
        const QRect tab = tabs->tabRect(int(i));
        const QPoint at = tabs->mapTo(m_ribbon->window(), QPoint(tab.center().x() - badge->width() / 2,
                                                                  tab.bottom() - badge->height() / 2));
        badge->move(at);
    }
}

void RibbonKeyTips::ShowCategory(RibbonCategory* category) {
    std::vector<Tip> tips;
    for (const RibbonPanel* panel : category->Panels()) {
        for (RibbonElement* element : panel->Elements()) {
            if (element->KeyTip().isEmpty() || element->Widget() == nullptr) continue;
            // A collapsed panel's letters sit on its button; they still run their elements.
            QWidget* anchor = panel->IsCollapsed() ? static_cast<QWidget*>(panel->CollapsedButton()) : element->Widget();
            tips.push_back({element->KeyTip(), anchor, [element] { element->ActivateByKeyTip(); }});
        }
    }
    Show(std::move(tips), Level::Category);
}

void RibbonKeyTips::Leave() {
    ClearBadges();
    m_tips.clear();
    m_level = Level::Off;
}

void RibbonKeyTips::ClearBadges() {
    for (const QPointer<QLabel>& badge : m_badges) delete badge.data();
    m_badges.clear();
}

void RibbonKeyTips::Show(std::vector<Tip> tips, Level level) {
    ClearBadges();
    m_tips = std::move(tips);
    m_level = level;
    QWidget* window = m_ribbon->window();
    for (const Tip& tip : m_tips) {
        auto* badge = new QLabel(tip.key, window);
        badge->setObjectName(QStringLiteral("ribbonKeyTip"));
        badge->setStyleSheet(QStringLiteral(
            "QLabel { background: #fbfbe4; color: #202020; border: 1px solid #767676; border-radius: 2px;"
            " padding: 0px 3px; font-weight: bold; }"));
        badge->adjustSize();
        if (tip.anchor != nullptr) {
            const QRect area = tip.anchor->rect();
            badge->move(tip.anchor->mapTo(window, QPoint(area.center().x() - badge->width() / 2,
                                                         area.bottom() - badge->height() + 2)));
        }
        badge->show();
        badge->raise();
        m_badges.emplace_back(badge);
    }
}

bool RibbonKeyTips::TypeKey(const QString& text) {
    const QString key = text.toUpper();
    for (const Tip& tip : m_tips) {
        if (tip.key != key) continue;
        const std::function<void()> activate = tip.activate;
        // Leaving first: the activation may open a menu or descend to the category's tips.
        Leave();
        activate();
        return true;
    }
    return false;
}

bool RibbonKeyTips::BelongsToRibbonWindow(QObject* watched) const {
    auto* widget = qobject_cast<QWidget*>(watched);
    return widget != nullptr && widget->window() == m_ribbon->window();
}

bool RibbonKeyTips::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::ShortcutOverride:
            // Accelerators take their keys before the key press arrives: Alt with another
            // key (Alt+Backspace) is no request for key tips.
            if (static_cast<QKeyEvent*>(event)->key() != Qt::Key_Alt) m_altAlone = false;
            return false;
        case QEvent::KeyPress: {
            if (!BelongsToRibbonWindow(watched)) return false;
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Alt) {
                if (!key->isAutoRepeat()) m_altAlone = true;
                return false;
            }
            m_altAlone = false;
            if (m_level == Level::Off) return false;
            if (key->key() == Qt::Key_Escape) {
                if (m_level == Level::Category) {
                    ShowTabRow();
                } else {
                    Leave();
                }
                return true;
            }
            TypeKey(key->text());
            return true;  // while the letters show, keys go to them only
        }
        case QEvent::KeyRelease: {
            if (!BelongsToRibbonWindow(watched)) return false;
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() != Qt::Key_Alt || !m_altAlone) return false;
            m_altAlone = false;
            if (m_level == Level::Off) {
                ShowTabRow();
            } else {
                Leave();
            }
            return true;
        }
        case QEvent::MouseButtonPress:
        case QEvent::WindowDeactivate:
            if (m_level != Level::Off && BelongsToRibbonWindow(watched)) Leave();
            return false;
        default:
            return false;
    }
}
