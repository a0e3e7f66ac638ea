// The ribbon in a narrow window: panels collapse from the right into drop-down buttons whose
// popups keep every command within reach, and the preset and border buttons keep one width.
#include <gtest/gtest.h>

#include <QApplication>

#include <map>

#include "app/MainWindow.h"
#include "app/MainRibbonBar.h"
#include "app/RibbonCollapse.h"
#include "app/RibbonPanelPopup.h"
#include "commands/CommandIds.h"
#include "ShellTestSupport.h"

namespace {

using shelltest::ShellTest;

TEST(RibbonCollapse, FewestPanelsFromTheRightThatLetTheRowFit) {
    const std::vector<PanelWidths> panels = {{200, 60}, {300, 50}, {100, 40}};
    // Widths with 0..3 collapsed, gaps of 3: 606, 546, 296, 156.
    struct Case {
        int available;
        int collapsed;
    } const cases[] = {{1000, 0}, {606, 0}, {605, 1}, {546, 1}, {545, 2}, {296, 2}, {295, 3}, {156, 3}, {10, 3}};
    for (const Case& c : cases) {
        EXPECT_EQ(CollapsedPanelCount(panels, c.available, 3), c.collapsed) << c.available;
    }
    EXPECT_EQ(PanelRowWidth(panels, 2, 3), 296);
    EXPECT_EQ(CollapsedPanelCount({}, 0, 3), 0);
}

class RibbonNarrowingTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        m_app = Start();
        ASSERT_NE(m_app->Window(), nullptr);
        m_frame = m_app->Window();
        m_ribbon = m_frame->Ribbon();
        ASSERT_NE(m_ribbon, nullptr);
    }
    void TearDown() override {
        m_app->Router().SetActiveView(nullptr);
        m_app.reset();
        ShellTest::TearDown();
    }
    void Resize(int width, int height) {
        m_frame->resize(width, height);
        Settle();
    }
    static void Settle() {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            QApplication::processEvents();
        }
    }
    RibbonButton* Button(uint32_t id) const { return dynamic_cast<RibbonButton*>(m_ribbon->FindElementById(id)); }

    // Every element with a command shows whole, in its panel or, for a collapsed panel, in the
    // popup its button opens.
    void ExpectEveryCommandReachable(RibbonCategory* category) {
        for (RibbonPanel* panel : category->Panels()) {
            SCOPED_TRACE(panel->Name().toStdString());
            CollapsedPanelButton* button = panel->CollapsedButton();
            if (panel->IsCollapsed()) {
                ASSERT_TRUE(button->isVisible());
                button->click();
                Settle();
                ASSERT_TRUE(button->PopupShown());
            } else {
                EXPECT_FALSE(button->isVisible());
            }
            EXPECT_TRUE(panel->isVisible());
            for (RibbonElement* element : panel->Elements()) {
                QWidget* widget = element->Widget();
                SCOPED_TRACE(element->Label().toStdString());
                EXPECT_TRUE(widget->isVisible());
                EXPECT_GE(widget->width(), widget->sizeHint().width()) << "squeezed";
            }
            button->ClosePopup();
            Settle();
            EXPECT_EQ(panel->isVisible(), !panel->IsCollapsed());
        }
    }

    std::unique_ptr<Application> m_app;
    MainWindow* m_frame = nullptr;
    MainRibbonBar* m_ribbon = nullptr;
};

TEST_F(RibbonNarrowingTest, PanelsCollapseFromTheRightAsTheWindowNarrowsAndEveryCommandStaysReachable) {
    std::map<int, int> homeCounts;  // width -> collapsed Home panels on the way down
    int lastCount = 0;
    for (int width : {1760, 1300, 1100, 1000, 900, 800, 700, 640, 900, 1760}) {
        SCOPED_TRACE(width);
        Resize(width, width == 640 ? 480 : 600);
        EXPECT_EQ(m_frame->width(), width);
        for (RibbonCategory* category : m_ribbon->Categories()) {
            m_ribbon->SetActiveCategory(category);
            Settle();
            const auto& panels = category->Panels();
            const int count = category->CollapsedCount();
            for (size_t i = 0; i < panels.size(); ++i) {
                EXPECT_EQ(panels[i]->IsCollapsed(), i >= panels.size() - size_t(count)) << i;
                // Nothing is cut at the ribbon's right edge.
                QWidget* shown = panels[i]->IsCollapsed() ? static_cast<QWidget*>(panels[i]->CollapsedButton()) : panels[i];
                EXPECT_LE(shown->geometry().right(), category->width()) << i;
            }
            ExpectEveryCommandReachable(category);
        }
        const int homeCount = m_ribbon->Categories()[0]->CollapsedCount();
        if (homeCounts.count(width) == 0) {
            // Narrower never collapses fewer panels.
            EXPECT_GE(homeCount, lastCount);
            homeCounts[width] = homeCount;
        } else {
            // Widening gives the same ribbon as at that width before.
            EXPECT_EQ(homeCount, homeCounts[width]);
        }
        lastCount = homeCount;
    }
    EXPECT_EQ(homeCounts[1760], 0);
    EXPECT_GT(homeCounts[1000], 0);
    EXPECT_LT(homeCounts[640], int(m_ribbon->Categories()[0]->Panels().size())) << "640 still shows Pictures";
    m_ribbon->SetActiveCategory(m_ribbon->Categories()[0]);
}

TEST_F(RibbonNarrowingTest, CommandsRunFromACollapsedPanelsPopupWhichThenCloses) {
    Resize(640, 480);
    RibbonCategory* home = m_ribbon->Categories()[0];
    RibbonPanel* cutter = home->Panels()[1];
    ASSERT_EQ(cutter->Name(), QStringLiteral("Cutter"));
    ASSERT_TRUE(cutter->IsCollapsed());
    cutter->CollapsedButton()->click();
    Settle();
    ASSERT_TRUE(cutter->CollapsedButton()->PopupShown());
    Button(cmd::ID_SHAPE_OVAL)->click();
    Settle();
    EXPECT_FALSE(cutter->CollapsedButton()->PopupShown());
    EXPECT_TRUE(m_app->Router().QueryUpdate(cmd::ID_SHAPE_OVAL).checked.value_or(false));
    EXPECT_FALSE(cutter->isVisible());
    // Widened again, the panel is back in the ribbon with its elements.
    Resize(1600, 1000);
    EXPECT_FALSE(cutter->IsCollapsed());
    EXPECT_TRUE(Button(cmd::ID_SHAPE_OVAL)->isVisible());
    EXPECT_EQ(Button(cmd::ID_SHAPE_OVAL)->window(), m_frame);
    // Closing the program with a popup open takes the panel down with it.
    Resize(640, 480);
    cutter->CollapsedButton()->click();
    Settle();
    ASSERT_TRUE(cutter->CollapsedButton()->PopupShown());
}

TEST_F(RibbonNarrowingTest, PresetAndBorderButtonsKeepOneWidthWhateverTheyShow) {
    Resize(1600, 1000);
    RibbonButton* cropbox = Button(cmd::ID_CROPBOX);
    RibbonButton* border = Button(cmd::ID_BORDER);
    RibbonButton* rotate = Button(cmd::ID_ROTATE_CROPBOX);
    const int cropboxWidth = cropbox->width();
    const int borderWidth = border->width();
    const int rotateX = rotate->x();
    const auto expectSteady = [&](const char* what, uint32_t id) {
        ASSERT_TRUE(m_app->Router().Execute(id));
        m_app->Router().RunUpdatePass();
        Settle();
        SCOPED_TRACE(std::string(what) + " " + std::to_string(id) + " " + cropbox->text().toStdString() + " " +
                     border->text().toStdString());
        EXPECT_EQ(cropbox->width(), cropboxWidth);
        EXPECT_EQ(border->width(), borderWidth);
        EXPECT_EQ(rotate->x(), rotateX);
        // The text shows whole.
        for (RibbonButton* button : {cropbox, border}) {
            EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), button->width());
        }
    };
    for (uint32_t id = cmd::ID_PRESET_FIRST; id <= cmd::ID_PRESET_LAST; ++id) expectSteady("preset", id);
    for (uint32_t id = cmd::ID_BORDER_NONE; id <= cmd::ID_BORDER_LAST; ++id) expectSteady("border", id);
}

}  // namespace
