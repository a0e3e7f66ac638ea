// The ribbon's elements as Qt widgets: buttons (large, small, drop-down, tab row), check
// boxes, labels, separators, the sliders with their minus and plus buttons, and the edit box
// with spin buttons. Each element carries its command id, its label, its kind, its icon cell
// and its key tip; clicking it sends the command through the CommandRouter, and every update
// pass sets its enable, check and text states from the command's update handlers.
#pragma once

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QToolButton>

#include <cstdint>
#include <optional>

#include "commands/CommandRouter.h"

class QActionGroup;
class QLineEdit;
class QSlider;

enum class RibbonKind {
    ApplicationButton,
    TabRowButton,
    LargeButton,
    SmallButton,
    MenuButton,  // large button that drops down a menu on any click
    MenuItem,    // item of the application menu
    CheckBox,
    Label,
    Slider,
    EditBox,
    Separator,
};

// What every ribbon element tells about itself.
class RibbonElement {
public:
    RibbonElement(uint32_t id, QString label, RibbonKind kind, QString keyTip, int iconIndex);
    virtual ~RibbonElement() = default;

    uint32_t Id() const { return m_id; }
    const QString& Label() const { return m_label; }
    RibbonKind Kind() const { return m_kind; }
    // The key tip letters, upper case ("" when the element has none).
    const QString& KeyTip() const { return m_keyTip; }
    // The icon cell in the category's strip (small or large by kind), -1 without an icon.
    int IconIndex() const { return m_iconIndex; }

    virtual QWidget* Widget() = 0;
    // Takes over the state the update handlers give for the command.
    virtual void ApplyUpdate(const CommandUpdate& update);
    // What typing the key tip does: clicks the element (or focuses it).
    virtual void ActivateByKeyTip();

    // The key tip of a label: the explicit one after "\n", else the letter after '&'.
    static QString KeyTipOf(const QString& text);
    // The label without its "\n..." key tip part.
    static QString LabelOf(const QString& text);

private:
    uint32_t m_id;
    QString m_label;
    RibbonKind m_kind;
    QString m_keyTip;
    int m_iconIndex;
};

// Sends a command through the router of the running program; false when nobody handled it.
bool SendRibbonCommand(uint32_t id);
// Sends a control's value with its command; false when nothing handles it.
bool SendRibbonValue(uint32_t id, const CommandValue& value);

// The tooltip of a command in rich text: the title in bold over the description, which
// wraps at 200 pixels. Empty for commands without a tooltip.
QString RibbonTooltip(uint32_t id);

// A menu of commands: triggering an item sends its id; opening the menu asks the update
// handlers for each item's enable, check and radio state first.
class CommandMenu : public QMenu {
    Q_OBJECT
public:
    explicit CommandMenu(QWidget* parent = nullptr);
    QAction* AddCommand(uint32_t id, const QString& text, const QIcon& icon = QIcon());
    // Refreshes the items now (also done whenever the menu opens).
    void RefreshStates();
    static constexpr const char* kIdProperty = "commandId";

private:
    QActionGroup* RadioGroup();
    QActionGroup* m_radioGroup = nullptr;
};

class RibbonButton : public QToolButton, public RibbonElement {
    Q_OBJECT
public:
    // text: the label, optionally followed by "\n" and the key tip.
    RibbonButton(uint32_t id, const QString& text, RibbonKind kind, const QIcon& icon, int iconIndex,
                 QWidget* parent = nullptr);
    QWidget* Widget() override { return this; }
    void ApplyUpdate(const CommandUpdate& update) override;
    void ActivateByKeyTip() override;
    // Drop-down buttons open this menu on any click instead of sending a command.
    void SetDropDownMenu(QMenu* menu);
    // Large buttons keep their large form when the ribbon narrows.
    void SetAlwaysLarge(bool alwaysLarge) { m_alwaysLarge = alwaysLarge; }
    bool AlwaysLarge() const { return m_alwaysLarge; }
    // Keeps the button as wide as the widest of the texts its update handler may give it, so
    // that nothing beside it moves when its text changes.
    void KeepWidthFor(const QStringList& texts);

protected:
    void changeEvent(QEvent* event) override;

private:
    void FixWidthToWidestText();

    bool m_alwaysLarge = false;
    QStringList m_widthTexts;
};

class RibbonCheckBox : public QCheckBox, public RibbonElement {
    Q_OBJECT
public:
    RibbonCheckBox(uint32_t id, const QString& text, QWidget* parent = nullptr);
    QWidget* Widget() override { return this; }
    void ApplyUpdate(const CommandUpdate& update) override;
    void ActivateByKeyTip() override { click(); }
};

// A label inside a group; it has no command.
class RibbonLabel : public QLabel, public RibbonElement {
    Q_OBJECT
public:
    explicit RibbonLabel(const QString& text, QWidget* parent = nullptr);
    QWidget* Widget() override { return this; }
};

class RibbonSeparator : public QFrame, public RibbonElement {
    Q_OBJECT
public:
    explicit RibbonSeparator(QWidget* parent = nullptr);
    QWidget* Widget() override { return this; }
};

// The positions a ribbon slider takes and how it shows them: the light sliders' 0..200 from
// 100, moved 5 at a time, or the straighten turn's tenths of a degree.
struct RibbonSliderScale {
    int min = 0;
    int max = 200;
    int start = 100;  // no change: shown as 0, and where a double click puts it back
    int step = 5;     // the minus and plus buttons
    int tenths = 0;   // 1: the value is shown with one decimal (position 30 from start is "+3.0")
    QString unit;     // after the value, e.g. a degree sign
};

// A slider (0..200 starting at 100 unless its scale says otherwise), with minus and plus
// buttons that move it by a step and its value (position - start, signed) beside it and in its
// tooltip. Every change of position the user makes (drag, track click, minus, plus, a double
// click that puts it back to 0) sends the command with the new position; it shows the position
// the command's update reports (except while the user holds it), and a position set that way
// sends nothing.
class RibbonSlider : public QWidget, public RibbonElement {
    Q_OBJECT
public:
    static constexpr int kWidth = 70;

    // text: the slider's own text (shown as its accessible name), may be empty.
    RibbonSlider(uint32_t id, const QString& text, QWidget* parent = nullptr,
                 const RibbonSliderScale& scale = RibbonSliderScale());
    QWidget* Widget() override { return this; }
    void ApplyUpdate(const CommandUpdate& update) override;
    void ActivateByKeyTip() override;

    int Position() const;
    void SetPosition(int position, bool redraw);

    QToolButton* MinusButton() const { return m_minus; }
    QToolButton* PlusButton() const { return m_plus; }
    QSlider* Track() const { return m_slider; }
    QLabel* ValueLabel() const { return m_value; }
    // A value as shown: "+8", "0", "-12" (or "+3.0°" on a scale of tenths in degrees).
    QString ValueText(int position) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnValueChanged();
    void ShowValue();

    QToolButton* m_minus;
    QSlider* m_slider;
    QToolButton* m_plus;
    QLabel* m_value;
    QString m_tooltip;   // the command's own tooltip, before the value
    RibbonSliderScale m_scale;
    bool m_settingByProgram = false;
};

// An edit box with a label and spin buttons for 0..100. Each change the user makes (typing
// or spinning) sends the command with the box's text. Unless the user is typing in it, the
// box shows the value the command's update reports; the spin buttons step from that value.
class RibbonEdit : public QWidget, public RibbonElement {
    Q_OBJECT
public:
    static constexpr int kMin = 0;
    static constexpr int kMax = 100;
    static constexpr int kEditWidth = 48;

    RibbonEdit(uint32_t id, const QString& label, QWidget* parent = nullptr);
    QWidget* Widget() override { return this; }
    void ApplyUpdate(const CommandUpdate& update) override;
    void ActivateByKeyTip() override;

    QString EditText() const;
    void SetEditText(const QString& text);

    QLineEdit* Editor() const { return m_edit; }
    QToolButton* UpButton() const { return m_up; }
    QToolButton* DownButton() const { return m_down; }

private:
    void Spin(int step);

    QLineEdit* m_edit;
    QToolButton* m_up;
    QToolButton* m_down;
    std::optional<int> m_value;   // the owner's value, as the last update reported it
};

// An item of the application menu: an action of the menu the application button drops down.
class RibbonMenuItem : public RibbonElement {
public:
    RibbonMenuItem(uint32_t id, const QString& text, int iconIndex, QAction* action);
    QWidget* Widget() override { return nullptr; }
    QAction* Action() const { return m_action; }
    void ApplyUpdate(const CommandUpdate& update) override;
    void ActivateByKeyTip() override;

private:
    QAction* m_action;
};
