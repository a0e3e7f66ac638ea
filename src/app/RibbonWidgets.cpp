#include "app/RibbonWidgets.h"

#include <QActionGroup>
#include <QEvent>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLineEdit>
#include <QSlider>
#include <QVBoxLayout>

#include "commands/CommandIds.h"

namespace {

constexpr int kLargeIconSize = 32;
constexpr int kSmallIconSize = 16;
constexpr int kTooltipWrapWidth = 200;
constexpr int kSpinButtonWidth = 14;
constexpr int kSliderButtonSize = 18;
constexpr int kValueGap = 4;   // between the plus button and the slider's value

// The text shown on a widget: without the key tip part and without '&' marks, so that Qt
// does not turn them into Alt shortcuts of its own (key tips do that job).
QString DisplayText(const QString& label) {
    QString shown;
    shown.reserve(label.size());
    for (qsizetype i = 0; i < label.size(); ++i) {
        if (label[i] == QLatin1Char('&') && i + 1 < label.size()) ++i;
        shown += label[i];
    }
    return shown;
}

}  // namespace

// ---- RibbonElement ---------------------------------------------------------------------------------

RibbonElement::RibbonElement(uint32_t id, QString label, RibbonKind kind, QString keyTip, int iconIndex)
    : m_id(id), m_label(std::move(label)), m_kind(kind), m_keyTip(keyTip.toUpper()), m_iconIndex(iconIndex) {}

void RibbonElement::ApplyUpdate(const CommandUpdate& update) {
    if (QWidget* widget = Widget()) widget->setEnabled(update.enabled);
}

void RibbonElement::ActivateByKeyTip() {
    if (QWidget* widget = Widget()) widget->setFocus(Qt::ShortcutFocusReason);
}

QString RibbonElement::KeyTipOf(const QString& text) {
    const qsizetype lineBreak = text.indexOf(QLatin1Char('\n'));
    if (lineBreak >= 0) return text.mid(lineBreak + 1).toUpper();
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&')) continue;
        if (text[i + 1] == QLatin1Char('&')) {
            ++i;
            continue;
        }
        return QString(text[i + 1]).toUpper();
    }
    return {};
}

QString RibbonElement::LabelOf(const QString& text) {
    const qsizetype lineBreak = text.indexOf(QLatin1Char('\n'));
    return lineBreak >= 0 ? text.left(lineBreak) : text;
}

bool SendRibbonCommand(uint32_t id) {
    CommandRouter* router = CommandRouter::Instance();
    return router != nullptr && router->Execute(id);
}

bool SendRibbonValue(uint32_t id, const CommandValue& value) {
    CommandRouter* router = CommandRouter::Instance();
    return router != nullptr && router->Execute(id, value);
}

QString RibbonTooltip(uint32_t id) {
    const std::string_view text = cmd::TooltipOf(id);
    if (text.empty()) return {};
    const QString all = QString::fromUtf8(text.data(), qsizetype(text.size()));
    const qsizetype lineBreak = all.indexOf(QLatin1Char('\n'));
    const QString description = lineBreak >= 0 ? all.left(lineBreak) : all;
    const QString title = lineBreak >= 0 ? all.mid(lineBreak + 1) : QString();
    return QStringLiteral("<b>%1</b><table width=\"%2\"><tr><td>%3</td></tr></table>")
        .arg(title.toHtmlEscaped())
        .arg(kTooltipWrapWidth)
        .arg(description.toHtmlEscaped());
}

// ---- CommandMenu -------------------------------------------------------------------------------------

CommandMenu::CommandMenu(QWidget* parent) : QMenu(parent) {
    connect(this, &QMenu::aboutToShow, this, &CommandMenu::RefreshStates);
}

QAction* CommandMenu::AddCommand(uint32_t id, const QString& text, const QIcon& icon) {
    QAction* action = addAction(icon, text);
    action->setProperty(kIdProperty, uint(id));
    connect(action, &QAction::triggered, this, [id] { SendRibbonCommand(id); });
    return action;
}

QActionGroup* CommandMenu::RadioGroup() {
    if (m_radioGroup == nullptr) {
        m_radioGroup = new QActionGroup(this);
        m_radioGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    }
    return m_radioGroup;
}

void CommandMenu::RefreshStates() {
    const CommandRouter* router = CommandRouter::Instance();
    for (QAction* action : actions()) {
        const QVariant id = action->property(kIdProperty);
        if (!id.isValid()) continue;
        if (router == nullptr) {
            action->setEnabled(false);
            continue;
        }
        const CommandUpdate update = router->QueryUpdate(id.toUInt());
        action->setEnabled(update.enabled);
        // Radio items join an exclusive group so that the menu draws a radio mark for them.
        if (update.radio && action->actionGroup() == nullptr) RadioGroup()->addAction(action);
        const std::optional<bool> mark = update.radio ? update.radio : update.checked;
        action->setCheckable(mark.has_value());
        if (mark) action->setChecked(*mark);
        if (update.text) action->setText(*update.text);
    }
}

// ---- RibbonButton --------------------------------------------------------------------------------------

RibbonButton::RibbonButton(uint32_t id, const QString& text, RibbonKind kind, const QIcon& icon, int iconIndex,
                           QWidget* parent)
    : QToolButton(parent), RibbonElement(id, LabelOf(text), kind, KeyTipOf(text), iconIndex) {
    setText(DisplayText(Label()));
    setFocusPolicy(Qt::NoFocus);  // the ribbon never takes the focus from the panes
    setAutoRaise(true);
    setToolTip(RibbonTooltip(id));
    if (!icon.isNull()) setIcon(icon);
    const bool large = kind == RibbonKind::LargeButton || kind == RibbonKind::MenuButton;
    if (large) {
        setIconSize(QSize(kLargeIconSize, kLargeIconSize));
        setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    } else {
        setIconSize(QSize(kSmallIconSize, kSmallIconSize));
        setToolButtonStyle(icon.isNull() ? Qt::ToolButtonTextOnly : Qt::ToolButtonTextBesideIcon);
    }
    setObjectName(QStringLiteral("ribbonButton"));
    setProperty("ribbonLarge", large);
    connect(this, &QToolButton::clicked, this, [this] {
        if (menu() != nullptr || Id() == 0) return;
        SendRibbonCommand(Id());
        // A click toggles a checkable button by itself; the command's state decides.
        if (CommandRouter* router = CommandRouter::Instance()) ApplyUpdate(router->QueryUpdate(Id()));
    });
}

void RibbonButton::SetDropDownMenu(QMenu* dropDown) {
    setMenu(dropDown);
    setPopupMode(QToolButton::InstantPopup);
}

void RibbonButton::ApplyUpdate(const CommandUpdate& update) {
    setEnabled(update.enabled);
    const std::optional<bool> mark = update.radio ? update.radio : update.checked;
    if (mark) {
        setCheckable(true);
        setChecked(*mark);
    } else if (isCheckable()) {
        setChecked(false);
        setCheckable(false);
    }
    if (update.text) setText(DisplayText(*update.text));
}

void RibbonButton::KeepWidthFor(const QStringList& texts) {
    m_widthTexts = texts;
    FixWidthToWidestText();
}

void RibbonButton::FixWidthToWidestText() {
    if (m_widthTexts.isEmpty()) return;
    const QString shown = text();
    int widest = 0;
    for (const QString& candidate : m_widthTexts + QStringList{shown}) {
        setText(DisplayText(candidate));
        widest = std::max(widest, QToolButton::sizeHint().width());
    }
    setText(shown);
    setFixedWidth(widest);
}

void RibbonButton::changeEvent(QEvent* event) {
    QToolButton::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) FixWidthToWidestText();
}

void RibbonButton::ActivateByKeyTip() {
    if (!isEnabled()) return;
    if (menu() != nullptr) {
        showMenu();
    } else {
        click();
    }
}

// ---- RibbonCheckBox ----------------------------------------------------------------------------------

RibbonCheckBox::RibbonCheckBox(uint32_t id, const QString& text, QWidget* parent)
    : QCheckBox(parent), RibbonElement(id, LabelOf(text), RibbonKind::CheckBox, KeyTipOf(text), -1) {
    setText(DisplayText(Label()));
    setFocusPolicy(Qt::NoFocus);
    setToolTip(RibbonTooltip(id));
    // The check mark follows the command's state, not the click: the update pass sets it.
    connect(this, &QCheckBox::clicked, this, [this] {
        SendRibbonCommand(Id());
        if (CommandRouter* router = CommandRouter::Instance()) ApplyUpdate(router->QueryUpdate(Id()));
    });
}

void RibbonCheckBox::ApplyUpdate(const CommandUpdate& update) {
    setEnabled(update.enabled);
    const std::optional<bool> mark = update.checked ? update.checked : update.radio;
    setChecked(mark.value_or(false));
}

// ---- RibbonLabel, RibbonSeparator ------------------------------------------------------------------

RibbonLabel::RibbonLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent), RibbonElement(0, text, RibbonKind::Label, QString(), -1) {
    setTextFormat(Qt::PlainText);
}

RibbonSeparator::RibbonSeparator(QWidget* parent)
    : QFrame(parent), RibbonElement(0, QString(), RibbonKind::Separator, QString(), -1) {
    setFrameShape(QFrame::VLine);
    setFrameShadow(QFrame::Sunken);
}

// ---- RibbonSlider --------------------------------------------------------------------------------------

namespace {
QToolButton* MakeStepButton(const QString& text, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedSize(kSliderButtonSize, kSliderButtonSize);
    button->setAutoRepeat(true);
    return button;
}
}  // namespace

RibbonSlider::RibbonSlider(uint32_t id, const QString& text, QWidget* parent, const RibbonSliderScale& scale)
    : QWidget(parent), RibbonElement(id, text, RibbonKind::Slider, QString(), -1), m_scale(scale) {
    setToolTip(RibbonTooltip(id));
    setAccessibleName(text);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    m_minus = MakeStepButton(QStringLiteral("\u2212"), this);
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setRange(m_scale.min, m_scale.max);
    m_slider->setValue(m_scale.start);
    m_slider->setSingleStep(m_scale.step);
    m_slider->setPageStep(m_scale.step);
    m_slider->setFixedWidth(kWidth);
    m_slider->setFocusPolicy(Qt::NoFocus);
    m_plus = MakeStepButton(QStringLiteral("+"), this);
    m_value = new QLabel(this);
    m_value->setObjectName(QStringLiteral("sliderValue"));
    m_value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // As wide as the widest value, so that nothing moves while the value changes.
    m_value->setFixedWidth(m_value->fontMetrics().horizontalAdvance(ValueText(m_scale.min)) + kValueGap);
    row->addWidget(m_minus);
    row->addWidget(m_slider);
    row->addWidget(m_plus);
    row->addWidget(m_value);
    m_tooltip = toolTip();
    m_slider->installEventFilter(this);
    ShowValue();
    connect(m_minus, &QToolButton::clicked, this, [this] { m_slider->setValue(m_slider->value() - m_scale.step); });
    connect(m_plus, &QToolButton::clicked, this, [this] { m_slider->setValue(m_slider->value() + m_scale.step); });
    connect(m_slider, &QSlider::valueChanged, this, &RibbonSlider::OnValueChanged);
}

void RibbonSlider::OnValueChanged() {
    ShowValue();
    if (!m_settingByProgram) SendRibbonValue(Id(), m_slider->value());
}

QString RibbonSlider::ValueText(int position) const {
    const int value = position - m_scale.start;
    const QString number = m_scale.tenths ? QString::number(value / 10.0, 'f', 1) : QString::number(value);
    return (value > 0 ? QStringLiteral("+") : QString()) + number + m_scale.unit;
}

void RibbonSlider::ShowValue() {
    const QString value = ValueText(m_slider->value());
    m_value->setText(value);
    const QString line = QStringLiteral("Value: ") + value;
    setToolTip(m_tooltip.isEmpty() ? line : m_tooltip + QStringLiteral("<p>%1</p>").arg(line));
}

bool RibbonSlider::eventFilter(QObject* watched, QEvent* event) {
    // A double click on the track puts the slider back to no change.
    if (watched == m_slider && event->type() == QEvent::MouseButtonDblClick && isEnabled()) {
        m_slider->setValue(m_scale.start);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

int RibbonSlider::Position() const {
    return m_slider->value();
}

void RibbonSlider::SetPosition(int position, bool redraw) {
    m_settingByProgram = true;
    m_slider->setValue(position);
    m_settingByProgram = false;
    if (redraw) m_slider->update();
}

void RibbonSlider::ApplyUpdate(const CommandUpdate& update) {
    setEnabled(update.enabled);
    if (update.value && *update.value != m_slider->value() && !m_slider->isSliderDown()) {
        SetPosition(*update.value, true);
    }
}

void RibbonSlider::ActivateByKeyTip() {
    if (isEnabled()) m_slider->setFocus(Qt::ShortcutFocusReason);
}

// ---- RibbonEdit ------------------------------------------------------------------------------------------

RibbonEdit::RibbonEdit(uint32_t id, const QString& label, QWidget* parent)
    : QWidget(parent), RibbonElement(id, LabelOf(label), RibbonKind::EditBox, KeyTipOf(label), -1) {
    setToolTip(RibbonTooltip(id));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    auto* caption = new QLabel(DisplayText(Label()), this);
    m_edit = new QLineEdit(this);
    m_edit->setFixedWidth(kEditWidth);
    caption->setBuddy(m_edit);
    auto* spin = new QVBoxLayout;
    spin->setContentsMargins(0, 0, 0, 0);
    spin->setSpacing(0);
    m_up = new QToolButton(this);
    m_down = new QToolButton(this);
    for (QToolButton* button : {m_up, m_down}) {
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoRepeat(true);
        button->setFixedWidth(kSpinButtonWidth);
        spin->addWidget(button);
    }
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    row->addWidget(caption);
    row->addWidget(m_edit);
    row->addLayout(spin);
    m_up->setMaximumHeight(m_edit->sizeHint().height() / 2);
    m_down->setMaximumHeight(m_edit->sizeHint().height() / 2);
    connect(m_edit, &QLineEdit::textEdited, this, [this] { SendRibbonValue(Id(), m_edit->text()); });
    connect(m_up, &QToolButton::clicked, this, [this] { Spin(+1); });
    connect(m_down, &QToolButton::clicked, this, [this] { Spin(-1); });
}

void RibbonEdit::Spin(int step) {
    // From the stored value, whatever the box shows while the user types.
    bool ok = false;
    const int typed = m_edit->text().trimmed().toInt(&ok);
    const int current = m_value.value_or(ok ? typed : kMin);
    const int next = std::clamp(current + step, kMin, kMax);
    if (next == current && m_edit->text() == QString::number(current)) return;
    m_edit->setText(QString::number(next));
    SendRibbonValue(Id(), m_edit->text());
}

QString RibbonEdit::EditText() const {
    return m_edit->text();
}

void RibbonEdit::SetEditText(const QString& text) {
    m_edit->setText(text);
}

void RibbonEdit::ApplyUpdate(const CommandUpdate& update) {
    setEnabled(update.enabled);
    m_value = update.value;
    if (!m_value || m_edit->hasFocus()) return;
    const QString shown = QString::number(*m_value);
    if (m_edit->text() != shown) m_edit->setText(shown);
}

void RibbonEdit::ActivateByKeyTip() {
    if (!isEnabled()) return;
    m_edit->setFocus(Qt::ShortcutFocusReason);
    m_edit->selectAll();
}

// ---- RibbonMenuItem ----------------------------------------------------------------------------------

RibbonMenuItem::RibbonMenuItem(uint32_t id, const QString& text, int iconIndex, QAction* action)
    : RibbonElement(id, LabelOf(text), RibbonKind::MenuItem, KeyTipOf(text), iconIndex), m_action(action) {}

void RibbonMenuItem::ApplyUpdate(const CommandUpdate& update) {
    m_action->setEnabled(update.enabled);
}

void RibbonMenuItem::ActivateByKeyTip() {
    if (m_action->isEnabled()) m_action->trigger();
}
