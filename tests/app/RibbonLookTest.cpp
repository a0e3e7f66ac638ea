#include <gtest/gtest.h>

#include <QImage>
#include <QMenu>
#include <QStackedWidget>
#include <QStatusBar>

#include "app/MainWindow.h"
#include "commands/CommandIds.h"
#include "app/MainRibbonBar.h"
#include "app/RibbonLook.h"
#include "ShellTestSupport.h"
#include "app/StatusBarPanes.h"
#include "app/VisualStyles.h"

using shelltest::ShellTest;

namespace {

// Whether each channel of seen lies between those of a and b (a step of rounding either side).
bool Between(const QColor& seen, const QColor& a, const QColor& b) {
    const auto within = [](int v, int x, int y) { return v >= std::min(x, y) - 2 && v <= std::max(x, y) + 2; };
    return within(seen.red(), a.red(), b.red()) && within(seen.green(), a.green(), b.green()) &&
           within(seen.blue(), a.blue(), b.blue());
}

QColor PixelOf(const QImage& image, QPoint at) {
    return image.pixelColor(at);
}

// Where a ribbon element's widget lies in the ribbon's own coordinates.
QRect ElementRect(const MainRibbonBar& ribbon, uint32_t id) {
    const auto* widget = dynamic_cast<const QWidget*>(ribbon.FindElementById(id));
    if (widget == nullptr) return {};
    return QRect(widget->mapTo(&ribbon, QPoint(0, 0)), widget->size());
}

}  // namespace

TEST_F(ShellTest, TheRibbonPaintsItsPageAndCheckedButtonsInTheColoursOfTheLook) {
    auto app = Start();
    MainWindow* frame = app->Window();
    ASSERT_NE(frame, nullptr);
    ShowAtUsualSize(frame);
    MainRibbonBar* ribbon = frame->Ribbon();
    const auto* pages = ribbon->findChild<QStackedWidget*>(QStringLiteral("ribbonPages"));
    ASSERT_NE(pages, nullptr);
    // Right of the last panel the page shows through.
    const QPoint onPage(pages->geometry().right() - 8, pages->geometry().center().y());
    const QRect checked = ElementRect(*ribbon, cmd::ID_SHAPE_ROUND_CORNER);
    const QRect unchecked = ElementRect(*ribbon, cmd::ID_SHAPE_RECTANGLE);
    ASSERT_FALSE(checked.isEmpty());
    ASSERT_FALSE(unchecked.isEmpty());

    QColor pageColours[2];
    int n = 0;
    for (uint32_t id : {cmd::ID_VIEW_APPLOOK_OFF_2007_BLUE, cmd::ID_VIEW_APPLOOK_OFF_2007_BLACK}) {
        SCOPED_TRACE(testing::Message() << "look " << id);
        frame->OnApplicationLook(id);
        app->Router().RunUpdatePass();
        const LookColours look = VisualStyleColours(id);
        const QImage picture = ribbon->grab().toImage();
        const QColor page = PixelOf(picture, onPage);
        EXPECT_TRUE(Between(page, look.ribbonTop, look.ribbonBottom)) << page.name().toStdString();
        pageColours[n++] = page;
        // The checked shape button carries the orange of a checked element; its unchecked
        // neighbour lets the page show.
        const QColor on = PixelOf(picture, QPoint(checked.left() + 3, checked.center().y()));
        EXPECT_TRUE(Between(on, look.hoverBottom, look.checked)) << on.name().toStdString();
        const QColor off = PixelOf(picture, QPoint(unchecked.left() + 1, unchecked.center().y()));
        EXPECT_TRUE(Between(off, look.ribbonTop, look.ribbonBottom)) << off.name().toStdString();
    }
    EXPECT_NE(pageColours[0], pageColours[1]);
}

TEST_F(ShellTest, ChromeMenusAndTheStatusBarTakeTheLookAndOtherWidgetsDoNot) {
    auto app = Start();
    MainWindow* frame = app->Window();
    ASSERT_NE(frame, nullptr);
    frame->OnApplicationLook(cmd::ID_VIEW_APPLOOK_OFF_2007_AQUA);
    const LookColours look = VisualStyleColours(cmd::ID_VIEW_APPLOOK_OFF_2007_AQUA);

    QMenu* styles = frame->Ribbon()->StyleMenu();
    ASSERT_NE(styles, nullptr);
    EXPECT_TRUE(RibbonLook::IsChrome(styles));
    styles->adjustSize();
    const QImage menu = styles->grab().toImage();
    EXPECT_EQ(PixelOf(menu, QPoint(0, menu.height() / 2)), look.panelBorder);
    EXPECT_EQ(PixelOf(menu, QPoint(menu.width() - 3, menu.height() - 3)), look.menuBackground);

    SnipwellStatusBar* status = frame->StatusBar();
    const QImage bar = status->grab().toImage();
    EXPECT_TRUE(Between(PixelOf(bar, QPoint(2, bar.height() / 2)), look.statusTop, look.statusBottom));

    // The panes between ribbon and status bar keep the platform's look.
    EXPECT_FALSE(RibbonLook::IsChrome(frame->Browser()));
    QMenu loose;
    EXPECT_FALSE(RibbonLook::IsChrome(&loose));
}
