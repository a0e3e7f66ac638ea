// The form a ribbon panel takes when its category is too narrow to show it: one large
// drop-down button with the panel's name and first icon. A click on it shows the panel whole,
// with all its elements, in a popup under the button; running a command from the popup closes
// it, as does a click elsewhere.
#pragma once

#include <QFrame>
#include <QToolButton>

class RibbonPanel;

class PanelPopup : public QFrame {
    Q_OBJECT
public:
    // parent: the widget the panel lives in while it is not shown in the popup.
    PanelPopup(RibbonPanel* panel, QWidget* parent);
    // Takes the panel in and shows it with its top-left corner at (or, near a screen edge,
    // as close as fits to) the global position.
    void Open(QPoint globalTopLeft);
    // From now on closing leaves the panel inside, to be deleted with the popup: for when the
    // category itself is going away.
    void KeepPanelOnClose() { m_home = nullptr; }

protected:
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void CloseWhenCommandsRun();

    RibbonPanel* m_panel;
    QWidget* m_home;
};

class CollapsedPanelButton : public QToolButton {
    Q_OBJECT
public:
    CollapsedPanelButton(RibbonPanel* panel, QWidget* parent);
    void SetPanelIcon(const QIcon& icon);
    // Shows the panel in its popup under the button.
    void ShowPopup();
    // The popup, null until it was first shown.
    PanelPopup* Popup() const { return m_popup; }
    bool PopupShown() const { return m_popup != nullptr && m_popup->isVisible(); }
    void ClosePopup();

private:
    RibbonPanel* m_panel;
    PanelPopup* m_popup = nullptr;
};
