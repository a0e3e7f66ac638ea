#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QSlider>
#include <QTabBar>
#include <QMouseEvent>

#include <vector>

#include "app/MainWindow.h"
#include "view/PictureView.h"
#include "commands/CommandIds.h"
#include "doc/FileCommands.h"
#include "app/MainRibbonBar.h"
#include "app/RibbonKeyTips.h"
#include "commands/SettingsKeys.h"
#include "platform/SettingsStore.h"
#include "ShellTestSupport.h"

using shelltest::CellColour;
using shelltest::IconCentre;
using shelltest::ShellTest;

namespace {

struct Expected {
    const char* panel;
    uint32_t id;
    const char* label;
    RibbonKind kind;
    int icon;           // cell index, -1 for none
    const char* keyTip;
};

constexpr RibbonKind L = RibbonKind::LargeButton;
constexpr RibbonKind S = RibbonKind::SmallButton;
constexpr RibbonKind M = RibbonKind::MenuButton;

const Expected kHome[] = {
    {"Pictures", 57603, "&Save", L, 1, "S"},
    {"Pictures", 57604, "Save &As", L, 2, "A"},
    {"Pictures", 32785, "Delete", L, 7, ""},
    {"Pictures", 57643, "&Undo", S, -1, "U"},
    {"Pictures", 57644, "&Redo", S, -1, "R"},
    {"Cutter", 32772, "Cropbox", M, 4, ""},
    {"Cutter", 32776, "Border", M, 5, ""},
    {"Cutter", 32828, "Rotate", L, 9, ""},
    {"Cutter", 32773, "Rectangle", S, 3, ""},
    {"Cutter", 32774, "Round Corner", S, 4, ""},
    {"Cutter", 32775, "Oval", S, 5, ""},
    {"Cutter", 32880, "Lossless", RibbonKind::CheckBox, -1, ""},
    {"Cutter", 32771, "Cut", L, 3, ""},
    {"Cutter", 0, "", RibbonKind::Separator, -1, ""},
    {"Cutter", 32837, "Ext. Cutter", L, 10, ""},
    {"Rotate", 32777, "Rotate Left", L, 8, ""},
    {"Rotate", 32827, "Rotate Right", L, 6, ""},
    {"Rotate", 32780, "Mirror", S, 6, ""},
    {"Rotate", 32781, "Flip", S, 7, ""},
    {"Rotate", 32882, "Horizon", S, -1, ""},
    {"Light", 0, "Contrast   :", RibbonKind::Label, -1, ""},
    {"Light", 32778, "", RibbonKind::Slider, -1, ""},
    {"Light", 0, "Brightness:", RibbonKind::Label, -1, ""},
    {"Light", 32779, "Brightness", RibbonKind::Slider, -1, ""},
    {"Light", 0, "Straighten:", RibbonKind::Label, -1, ""},
    {"Light", 32881, "Straighten", RibbonKind::Slider, -1, ""},
    {"Color", 32782, "Cool Tone", S, 8, ""},
    {"Color", 32783, "Warm Tone", S, 9, ""},
    {"Color", 32784, "Sepia", S, 10, ""},
    {"Print Order", 32862, "Apply to Selected", S, -1, ""},
    {"Print Order", 32863, "Export Order", S, -1, ""},
    {"Print Order", 32865, "Print Sheets", S, -1, ""},
    {"Print Order", 32866, "Contact Sheet", S, -1, ""},
    {"Print", 57607, "Print", L, -1, ""},
};

const Expected kOptions[] = {
    {"File", 32829, "Confirm overwrite", RibbonKind::CheckBox, -1, ""},
    {"File", 32830, "Confirm delete", RibbonKind::CheckBox, -1, ""},
    {"File", 32852, "Ask to save changes", RibbonKind::CheckBox, -1, ""},
    {"Image", 32845, "JPEG Quality:", RibbonKind::EditBox, -1, ""},
    {"Crop Box", 32833, "Hide Cropbox", RibbonKind::CheckBox, -1, ""},
    {"Crop Box", 32834, "Auto Show", RibbonKind::CheckBox, -1, ""},
    {"Crop Box", 32864, "Keep boxes in sidecars", RibbonKind::CheckBox, -1, ""},
    {"Customization", 32851, "Order", L, 0, ""},
};

void ExpectCategory(const RibbonCategory& category, const Expected* expected, size_t count) {
    size_t next = 0;
    for (const RibbonPanel* panel : category.Panels()) {
        for (RibbonElement* element : panel->Elements()) {
            ASSERT_LT(next, count) << "extra element " << element->Label().toStdString();
            const Expected& e = expected[next++];
            SCOPED_TRACE(std::string(e.panel) + " / " + e.label);
            EXPECT_EQ(panel->Name(), QLatin1String(e.panel));
            EXPECT_EQ(element->Id(), e.id);
            EXPECT_EQ(element->Label(), QLatin1String(e.label));
            EXPECT_EQ(element->Kind(), e.kind);
            EXPECT_EQ(element->IconIndex(), e.icon);
            EXPECT_EQ(element->KeyTip(), QLatin1String(e.keyTip));
        }
    }
    EXPECT_EQ(next, count);
}

class RibbonTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        m_app = Start();
        ASSERT_NE(m_app->Window(), nullptr);
        m_ribbon = m_app->Window()->Ribbon();
        ASSERT_NE(m_ribbon, nullptr);
    }
    void TearDown() override {
        m_app->Router().SetActiveView(nullptr);
        m_app.reset();
        ShellTest::TearDown();
    }
    RibbonElement* Element(uint32_t id) const { return m_ribbon->FindElementById(id); }
    template <class T>
    T* As(uint32_t id) const {
        return dynamic_cast<T*>(Element(id));
    }

    std::unique_ptr<Application> m_app;
    MainRibbonBar* m_ribbon = nullptr;
};

}  // namespace

TEST_F(RibbonTest, CategoriesPanelsAndElementsFollowTheTablesInOrder) {
    ASSERT_EQ(m_ribbon->Categories().size(), 2u);
    EXPECT_EQ(m_ribbon->Categories()[0]->Name(), QStringLiteral("&Home"));
    EXPECT_EQ(m_ribbon->Categories()[1]->Name(), QStringLiteral("&Options"));
    EXPECT_EQ(m_ribbon->ActiveCategory(), m_ribbon->Categories()[0]);
    EXPECT_EQ(m_ribbon->Tabs()->tabText(0), QStringLiteral("Home"));
    EXPECT_EQ(m_ribbon->Tabs()->tabText(1), QStringLiteral("Options"));
    ExpectCategory(*m_ribbon->Categories()[0], kHome, std::size(kHome));
    ExpectCategory(*m_ribbon->Categories()[1], kOptions, std::size(kOptions));
    for (const RibbonCategory* category : m_ribbon->Categories()) {
        for (const RibbonPanel* panel : category->Panels()) {
            for (RibbonElement* element : panel->Elements()) {
                if (auto* button = dynamic_cast<RibbonButton*>(element); button && element->Kind() != S) {
                    EXPECT_TRUE(button->AlwaysLarge()) << element->Label().toStdString();
                }
            }
        }
    }
}

TEST_F(RibbonTest, TabRowApplicationButtonAndApplicationMenu) {
    const auto& row = m_ribbon->TabRowButtons();
    ASSERT_EQ(row.size(), 3u);
    EXPECT_EQ(row[0]->Id(), cmd::ID_WINDOW_MANAGER);
    EXPECT_EQ(row[0]->Label(), QStringLiteral("Windows"));
    EXPECT_EQ(row[0]->KeyTip(), QStringLiteral("W"));
    EXPECT_EQ(row[1]->Id(), 0u);
    EXPECT_EQ(row[1]->Label(), QStringLiteral("Style"));
    EXPECT_EQ(row[1]->KeyTip(), QStringLiteral("S"));
    EXPECT_EQ(row[1]->menu(), m_ribbon->StyleMenu());
    EXPECT_EQ(row[2]->Id(), cmd::ID_APP_ABOUT);
    EXPECT_EQ(row[2]->KeyTip(), QStringLiteral("A"));
    EXPECT_EQ(IconCentre(row[2]->icon(), 16), CellColour(0, 0));
    EXPECT_TRUE(row[0]->icon().isNull());

    RibbonButton* app = m_ribbon->ApplicationButton();
    EXPECT_EQ(app->size(), QSize(45, 45));
    EXPECT_EQ(app->toolTip(), QStringLiteral("File"));
    EXPECT_EQ(app->KeyTip(), QStringLiteral("F"));
    EXPECT_EQ(IconCentre(app->icon(), 45), CellColour(0, 10));

    EXPECT_EQ(m_ribbon->ApplicationCategory()->Name(), QStringLiteral("File"));
    const auto& items = m_ribbon->ApplicationMenuItems();
    ASSERT_EQ(items.size(), 3u);
    const uint32_t ids[] = {57603, 57604, 57665};
    const char* labels[] = {"&Save", "Save &As...", "E&xit"};
    const QColor colours[] = {CellColour(64, 1), CellColour(64, 2), CellColour(48, 3)};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(items[i]->Id(), ids[i]);
        EXPECT_EQ(items[i]->Label(), QLatin1String(labels[i]));
        EXPECT_EQ(IconCentre(items[i]->Action()->icon(), 16), colours[i]) << labels[i];
    }
}

TEST_F(RibbonTest, IconsAreCutFromTheirCategoryStripCells) {
    const RibbonCategory* home = m_ribbon->Categories()[0];
    EXPECT_EQ(home->SmallIconCount(), 30);
    EXPECT_EQ(home->LargeIconCount(), 15);
    EXPECT_EQ(IconCentre(As<RibbonButton>(cmd::ID_DELETE)->icon(), 32), CellColour(112, 7));
    EXPECT_EQ(IconCentre(As<RibbonButton>(cmd::ID_EXT_CUTTER)->icon(), 32), CellColour(112, 10));
    EXPECT_EQ(IconCentre(As<RibbonButton>(cmd::ID_SHAPE_RECTANGLE)->icon(), 16), CellColour(96, 3));
    EXPECT_EQ(IconCentre(As<RibbonButton>(cmd::ID_SEPIA)->icon(), 16), CellColour(96, 10));
    EXPECT_EQ(IconCentre(As<RibbonButton>(cmd::ID_CUSTOMIZATION)->icon(), 32), CellColour(160, 0));
    // Home's Save comes before the menu's Save: FindElementById takes the tab row, then the
    // application menu, then the categories.
    EXPECT_EQ(Element(cmd::ID_FILE_SAVE)->Kind(), RibbonKind::MenuItem);
}

TEST_F(RibbonTest, TooltipsShowTitleAndDescriptionOfTheCommandTable) {
    const QString sepia = As<RibbonButton>(cmd::ID_SEPIA)->toolTip();
    EXPECT_TRUE(sepia.contains(QStringLiteral("<b>Sepia</b>")));
    EXPECT_TRUE(sepia.contains(QStringLiteral("Convert the picture to brown")));
    EXPECT_TRUE(As<RibbonButton>(cmd::ID_WARM_TONE)->toolTip().contains(QStringLiteral("<b>Warm tone</b>")));
    EXPECT_TRUE(As<RibbonSlider>(cmd::ID_CONTRAST)->toolTip().contains(QStringLiteral("<b>Contrast</b>")));
    EXPECT_TRUE(As<RibbonCheckBox>(cmd::ID_CONFIRM_OVERWRITE)
                    ->toolTip()
                    .contains(QStringLiteral("<b>Confirm Overwritten</b>")));
    EXPECT_TRUE(As<RibbonButton>(cmd::ID_WINDOW_MANAGER)->toolTip().isEmpty());
    EXPECT_TRUE(As<RibbonEdit>(cmd::ID_JPEG_QUALITY)->toolTip().isEmpty());
}

TEST_F(RibbonTest, UpdatePassSetsEnableCheckAndTextFromTheHandlers) {
    CommandHandlers view;
    bool canCut = false;
    int shape = 1;
    bool hidden = false;
    view.On(cmd::ID_CUT, [] {}, [&](CommandUpdate& u) {
        u.enabled = canCut;
        u.text = canCut ? QStringLiteral("Cut") : QStringLiteral("Cut!");
    });
    view.OnRange(cmd::ID_SHAPE_RECTANGLE, cmd::ID_SHAPE_OVAL, [](uint32_t) {},
                 [&](CommandUpdate& u) { u.checked = int(u.id - cmd::ID_SHAPE_RECTANGLE) + 1 == shape; });
    view.On(cmd::ID_HIDE_CROPBOX, [&] { hidden = !hidden; }, [&](CommandUpdate& u) { u.checked = hidden; });
    view.On(cmd::ID_CROPBOX, [] {}, [](CommandUpdate& u) { u.text = QStringLiteral("6x4 (4R, KG)"); });
    m_app->Router().SetActiveView(&view);
    m_app->Router().RunUpdatePass();

    auto* cut = As<RibbonButton>(cmd::ID_CUT);
    EXPECT_FALSE(cut->isEnabled());
    EXPECT_EQ(cut->text(), QStringLiteral("Cut!"));
    EXPECT_TRUE(As<RibbonButton>(cmd::ID_SHAPE_RECTANGLE)->isChecked());
    EXPECT_FALSE(As<RibbonButton>(cmd::ID_SHAPE_OVAL)->isChecked());
    EXPECT_EQ(As<RibbonButton>(cmd::ID_CROPBOX)->text(), QStringLiteral("6x4 (4R, KG)"));
    // Commands nobody handles are disabled; handled ones enabled.
    EXPECT_FALSE(As<RibbonButton>(cmd::ID_ROTATE_LEFT)->isEnabled());
    EXPECT_TRUE(As<RibbonButton>(cmd::ID_SHAPE_OVAL)->isEnabled());

    canCut = true;
    shape = 3;
    m_app->Router().RunUpdatePass();
    EXPECT_TRUE(cut->isEnabled());
    EXPECT_EQ(cut->text(), QStringLiteral("Cut"));
    EXPECT_FALSE(As<RibbonButton>(cmd::ID_SHAPE_RECTANGLE)->isChecked());
    EXPECT_TRUE(As<RibbonButton>(cmd::ID_SHAPE_OVAL)->isChecked());

    // A checked button stays checked when clicked again: the handler decides, not the click.
    As<RibbonButton>(cmd::ID_SHAPE_OVAL)->click();
    EXPECT_TRUE(As<RibbonButton>(cmd::ID_SHAPE_OVAL)->isChecked());

    // A check box shows the command's state, whatever the click did to it locally.
    auto* hide = As<RibbonCheckBox>(cmd::ID_HIDE_CROPBOX);
    hide->click();
    EXPECT_TRUE(hidden);
    EXPECT_TRUE(hide->isChecked());
    hide->click();
    EXPECT_FALSE(hidden);
    EXPECT_FALSE(hide->isChecked());
}

TEST_F(RibbonTest, ClickingAButtonSendsItsCommandThroughTheRouteAndDropDownsSendNone) {
    CommandHandlers view;
    std::vector<uint32_t> sent;
    for (uint32_t id : {cmd::ID_ROTATE_LEFT, cmd::ID_MIRROR, cmd::ID_CROPBOX, cmd::ID_FILE_SAVE}) {
        view.On(id, [&sent, id] { sent.push_back(id); });
    }
    m_app->Router().SetActiveView(&view);
    m_app->Router().RunUpdatePass();
    As<RibbonButton>(cmd::ID_ROTATE_LEFT)->click();
    As<RibbonButton>(cmd::ID_MIRROR)->click();
    m_ribbon->ApplicationMenuItems()[0]->Action()->trigger();
    EXPECT_EQ(sent, (std::vector<uint32_t>{cmd::ID_ROTATE_LEFT, cmd::ID_MIRROR, cmd::ID_FILE_SAVE}));
    EXPECT_EQ(As<RibbonButton>(cmd::ID_CROPBOX)->popupMode(), QToolButton::InstantPopup);
    EXPECT_NE(As<RibbonButton>(cmd::ID_CROPBOX)->menu(), nullptr);
    EXPECT_EQ(As<RibbonButton>(cmd::ID_BORDER)->menu()->actions().size(), 26);
    EXPECT_EQ(As<RibbonButton>(cmd::ID_CROPBOX)->menu()->actions().size(), 14);
}

TEST_F(RibbonTest, WindowsButtonIsNeverEnabled) {
    auto* windows = As<RibbonButton>(cmd::ID_WINDOW_MANAGER);
    for (int pass = 0; pass < 3; ++pass) {
        m_app->Router().RunUpdatePass();
        EXPECT_TRUE(windows->isVisible());
        EXPECT_FALSE(windows->isEnabled());
        windows->setEnabled(true);  // whatever happened in between, the next pass disables it
    }
    EXPECT_FALSE(m_app->Router().Execute(cmd::ID_WINDOW_MANAGER));
}

TEST_F(RibbonTest, CtrlOAndCtrlZChangeNothing) {
    m_app->Router().RunUpdatePass();
    const QString settingsBefore = SettingsFileText();
    MainWindow* frame = m_app->Window();
    QApplication::setActiveWindow(frame);
    shelltest::KeyClick(frame->View(), Qt::Key_O, Qt::ControlModifier);
    shelltest::KeyClick(frame->View(), Qt::Key_Z, Qt::ControlModifier);
    shelltest::KeyClick(frame->View(), Qt::Key_Backspace, Qt::AltModifier);
    QApplication::processEvents();
    EXPECT_EQ(SettingsFileText(), settingsBefore);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Norvane Snipwell"));
    EXPECT_TRUE(frame->View()->Path().isEmpty());
    EXPECT_TRUE(m_app->Router().Execute(cmd::ID_FILE_OPEN));   // the document takes it ...
    EXPECT_TRUE(m_app->Router().Execute(cmd::ID_EDIT_UNDO));   // ... the view, with nothing to undo
    EXPECT_FALSE(m_app->Router().QueryUpdate(cmd::ID_EDIT_UNDO).enabled);
}

TEST_F(RibbonTest, AcceleratorsSendTheirCommands) {
    CommandHandlers view;
    std::vector<uint32_t> sent;
    view.OnRange(cmd::ID_EDIT_COPY, cmd::ID_EDIT_PASTE, [&](uint32_t id) { sent.push_back(id); });
    view.On(cmd::ID_FILE_SAVE, [&] { sent.push_back(cmd::ID_FILE_SAVE); });
    MainWindow* frame = m_app->Window();
    QApplication::setActiveWindow(frame);
    m_app->Router().SetActiveView(&view);
    QWidget* target = frame->Ribbon();
    shelltest::KeyClick(target, Qt::Key_S, Qt::ControlModifier);
    shelltest::KeyClick(target, Qt::Key_C, Qt::ControlModifier);
    shelltest::KeyClick(target, Qt::Key_Insert, Qt::ControlModifier);
    shelltest::KeyClick(target, Qt::Key_V, Qt::ControlModifier);
    shelltest::KeyClick(target, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(sent, (std::vector<uint32_t>{cmd::ID_FILE_SAVE, cmd::ID_EDIT_COPY, cmd::ID_EDIT_COPY,
                                           cmd::ID_EDIT_PASTE, cmd::ID_EDIT_PASTE}));
}

TEST_F(RibbonTest, SliderStepsByFiveSendsItsPositionAndShowsTheOwnersValue) {
    CommandHandlers view;
    std::vector<int> seen;
    int owned = 100;
    view.OnValue(
        cmd::ID_CONTRAST, [&](const CommandValue& value) { seen.push_back(owned = std::get<int>(value)); },
        [&](CommandUpdate& u) { u.value = owned; });
    m_app->Router().SetActiveView(&view);
    m_app->Router().RunUpdatePass();

    auto* slider = As<RibbonSlider>(cmd::ID_CONTRAST);
    EXPECT_EQ(slider->Track()->minimum(), 0);
    EXPECT_EQ(slider->Track()->maximum(), 200);
    EXPECT_EQ(slider->Track()->width(), 70);
    EXPECT_EQ(slider->Position(), 100);

    slider->PlusButton()->click();
    slider->PlusButton()->click();
    slider->MinusButton()->click();
    EXPECT_EQ(seen, (std::vector<int>{105, 110, 105}));

    // The owner's value moves the slider on the next update pass and sends nothing.
    owned = 198;
    m_app->Router().RunUpdatePass();
    EXPECT_EQ(slider->Position(), 198);
    EXPECT_EQ(seen.size(), 3u);
    // The ends stop the buttons.
    slider->PlusButton()->click();
    slider->PlusButton()->click();
    EXPECT_EQ(seen, (std::vector<int>{105, 110, 105, 200}));
    slider->Track()->setValue(7);  // a drag or a track click
    EXPECT_EQ(seen.back(), 7);
    slider->MinusButton()->click();
    slider->MinusButton()->click();
    EXPECT_EQ(seen, (std::vector<int>{105, 110, 105, 200, 7, 2, 0}));

    // The value shows beside the slider and in its tooltip; a double click puts it back to 0.
    EXPECT_EQ(slider->ValueLabel()->text(), QStringLiteral("-100"));
    slider->Track()->setValue(108);
    EXPECT_EQ(slider->ValueLabel()->text(), QStringLiteral("+8"));
    EXPECT_TRUE(slider->toolTip().contains(QStringLiteral("Value: +8"))) << slider->toolTip().toStdString();
    const int labelWidth = slider->ValueLabel()->width();
    const QPointF centre = slider->Track()->rect().center();
    QMouseEvent doubleClick(QEvent::MouseButtonDblClick, centre, slider->Track()->mapToGlobal(centre), Qt::LeftButton,
                            Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(slider->Track(), &doubleClick);
    EXPECT_EQ(seen.back(), 100);
    EXPECT_EQ(slider->ValueLabel()->text(), QStringLiteral("0"));
    EXPECT_EQ(slider->ValueLabel()->width(), labelWidth);
}

TEST_F(RibbonTest, QualityBoxShowsTheOwnersValueSendsEachChangeAndSpinsFromTheStoredValue) {
    auto* box = As<RibbonEdit>(cmd::ID_JPEG_QUALITY);
    EXPECT_EQ(box->Editor()->width(), 48);

    CommandHandlers view;
    QStringList reported;
    int stored = 99;
    view.OnValue(
        cmd::ID_JPEG_QUALITY,
        [&](const CommandValue& value) {
            reported << std::get<QString>(value);
            stored = FileCommands::ParseJpegQuality(reported.back());
        },
        [&](CommandUpdate& u) { u.value = stored; });
    m_app->Router().SetActiveView(&view);
    m_app->Router().RunUpdatePass();
    EXPECT_EQ(box->EditText(), QStringLiteral("99"));
    EXPECT_TRUE(reported.isEmpty());  // shown from the owner's value
    box->UpButton()->click();
    m_app->Router().RunUpdatePass();
    box->UpButton()->click();  // already at 100: no change, nothing sent
    box->DownButton()->click();
    m_app->Router().RunUpdatePass();
    box->Editor()->setFocus();
    box->Editor()->clear();
    shelltest::TypeText(box->Editor(), QStringLiteral("42"));
    EXPECT_EQ(reported, (QStringList{"100", "99", "4", "42"}));

    // Cleared or not a number: the owner stores 75, and the spin buttons step from it, not
    // from the text the user is still typing.
    for (const QString& typed : {QString(), QStringLiteral("abc")}) {
        box->Editor()->setText(typed);
        emit box->Editor()->textEdited(typed);
        m_app->Router().RunUpdatePass();
        EXPECT_EQ(box->EditText(), typed) << "the user's text stays while the box has the focus";
        box->UpButton()->click();
        EXPECT_EQ(reported.back(), QStringLiteral("76")) << typed.toStdString();
        EXPECT_EQ(stored, 76);
    }
}

TEST_F(ShellTest, QualityBoxShowsAStoredValueInsideTheRangeAndSeventyFiveOutsideIt) {
    for (const auto& [stored, shown] : {std::pair{40, "40"}, std::pair{0, "0"}, std::pair{150, "75"}, std::pair{-3, "75"}}) {
        SettingsStore::WriteInt(settings::kSection, settings::kJpegQuality, stored);
        auto app = Start();
        app->Router().RunUpdatePass();
        auto* box = dynamic_cast<RibbonEdit*>(app->Window()->Ribbon()->FindElementById(cmd::ID_JPEG_QUALITY));
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->EditText(), QLatin1String(shown)) << stored;
    }
}

TEST_F(RibbonTest, KeyTipsShowOnAltActivateOnTheirLetterAndEscapeLeaves) {
    CommandHandlers view;
    std::vector<uint32_t> sent;
    view.On(cmd::ID_FILE_SAVE_AS, [&] { sent.push_back(cmd::ID_FILE_SAVE_AS); });
    m_app->Router().SetActiveView(&view);
    m_app->Router().RunUpdatePass();
    QWidget* target = m_app->Window()->View();
    RibbonKeyTips* tips = m_ribbon->KeyTips();

    shelltest::KeyPress(target, Qt::Key_Alt);
    shelltest::KeyRelease(target, Qt::Key_Alt);
    ASSERT_EQ(tips->CurrentLevel(), RibbonKeyTips::Level::TabRow);
    EXPECT_EQ(tips->ShownKeys(), (QStringList{"F", "H", "O", "W", "S", "A"}));

    shelltest::KeyClick(target, Qt::Key_O);
    EXPECT_EQ(m_ribbon->ActiveCategory(), m_ribbon->Categories()[1]);
    EXPECT_EQ(tips->CurrentLevel(), RibbonKeyTips::Level::Category);
    shelltest::KeyClick(target, Qt::Key_Escape);
    EXPECT_EQ(tips->CurrentLevel(), RibbonKeyTips::Level::TabRow);
    shelltest::KeyClick(target, Qt::Key_H);
    EXPECT_EQ(m_ribbon->ActiveCategory(), m_ribbon->Categories()[0]);
    EXPECT_EQ(tips->ShownKeys(), (QStringList{"S", "A", "U", "R"}));
    shelltest::KeyClick(target, Qt::Key_A);
    EXPECT_EQ(sent, std::vector<uint32_t>{cmd::ID_FILE_SAVE_AS});
    EXPECT_EQ(tips->CurrentLevel(), RibbonKeyTips::Level::Off);

    // Escape leaves from the top; Alt with another key is no key-tip request.
    shelltest::KeyPress(target, Qt::Key_Alt);
    shelltest::KeyRelease(target, Qt::Key_Alt);
    shelltest::KeyClick(target, Qt::Key_Escape);
    EXPECT_EQ(tips->CurrentLevel(), RibbonKeyTips::Level::Off);
    shelltest::KeyPress(target, Qt::Key_Alt);
    shelltest::KeyClick(target, Qt::Key_Backspace, Qt::AltModifier);
    shelltest::KeyRelease(target, Qt::Key_Alt);
    EXPECT_EQ(tips->CurrentLevel(), RibbonKeyTips::Level::Off);
}
