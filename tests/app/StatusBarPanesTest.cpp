// The status bar's panes as the user sees them: the texts the handlers give, and a flagged
// pane in warning colours with its note as the tooltip.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>

#include "ShellTestSupport.h"
#include "app/MainWindow.h"
#include "app/StatusBarPanes.h"
#include "commands/CommandIds.h"
#include "commands/CommandRouter.h"
#include "view/StatusPaneText.h"

namespace {

constexpr const char* kTemplate = "Crop Box: W=9999, H=9999, W/H=1.23, Print Size=1234x1234, DPI=1234,,,,,";

QColor PaneBackground(StatusPane* pane) { return pane->grab().toImage().pixelColor(1, 1); }

}  // namespace

TEST(StatusBarPanes, AFlaggedPaneShowsWarningColoursAndItsNoteAsTooltip) {
    CommandRouter router;
    router.SetIdleUpdatesEnabled(false);
    CommandHandlers view;
    QString note;
    view.OnUpdate(cmd::ID_STATUSBAR_PANE_CROPBOX, [&](CommandUpdate& u) {
        SetPaneText(u, QStringLiteral("Cropbox: W=600, H=400"), note);
    });
    router.SetActiveView(&view);
    SnipwellStatusBar bar;
    StatusPane* pane = bar.AddPane(cmd::ID_STATUSBAR_PANE_CROPBOX, QStringLiteral("Crop Box"),
                                   QString::fromLatin1(kTemplate), true);
    bar.resize(900, 30);
    bar.show();

    bar.UpdatePanes();
    EXPECT_EQ(pane->FullText(), QStringLiteral("Cropbox: W=600, H=400"));
    EXPECT_FALSE(pane->IsFlagged());
    EXPECT_TRUE(pane->toolTip().isEmpty());
    const QColor plain = PaneBackground(pane);
    EXPECT_NE(plain, StatusPane::WarningBackground());

    note = QStringLiteral("Too few pixels for a sharp 6x4 print: 600 x 400 of 1800 x 1200");
    bar.UpdatePanes();
    EXPECT_EQ(pane->FullText(), QStringLiteral("Cropbox: W=600, H=400"));
    EXPECT_EQ(pane->toolTip(), note);
    EXPECT_EQ(PaneBackground(pane), StatusPane::WarningBackground());

    note.clear();
    bar.UpdatePanes();
    EXPECT_TRUE(pane->toolTip().isEmpty());
    EXPECT_EQ(PaneBackground(pane), plain);

    // A pane nobody answers for is emptied and loses its flag.
    note = QStringLiteral("flag");
    bar.UpdatePanes();
    router.SetActiveView(nullptr);
    bar.UpdatePanes();
    EXPECT_TRUE(pane->FullText().isEmpty());
    EXPECT_FALSE(pane->IsFlagged());
}

// Runs at screen scales 1, 1.5 and 2.
class StatusPaneFit : public shelltest::ShellTest {};

// The largest camera pictures' sizes show whole; a text longer than its pane is cut and shows
// whole in the tooltip.
TEST_F(StatusPaneFit, FiveDigitSizesShowWholeAndALongerTextWholeInTheTooltip) {
    auto app = Start();
    ShowAtUsualSize(app->Window());
    SnipwellStatusBar* bar = app->Window()->StatusBar();
    QString texts[] = {QStringLiteral("Image: W=16320, H=12240, W/H=1.33"),
                       QStringLiteral("Cropbox: W=16320, H=12240, W/H=1.33, Printing Size=14x11, DPI=1166")};
    const uint32_t ids[] = {cmd::ID_STATUSBAR_PANE_IMAGE, cmd::ID_STATUSBAR_PANE_CROPBOX};
    CommandHandlers view;
    for (size_t i = 0; i < 2; ++i) {
        view.OnUpdate(ids[i], [&texts, i](CommandUpdate& u) { u.text = texts[i]; });
    }
    app->Router().SetActiveView(&view);
    for (const bool longer : {false, true}) {
        if (longer) {
            for (QString& text : texts) text += QStringLiteral(", and a remark far longer than any pane");
        }
        app->Router().RunUpdatePass();
        for (size_t i = 0; i < 2; ++i) {
            StatusPane* pane = bar->Pane(ids[i]);
            SCOPED_TRACE(texts[i].toStdString());
            EXPECT_EQ(pane->text() == texts[i], !longer);
            EXPECT_EQ(pane->toolTip(), longer ? texts[i] : QString());
        }
    }
    app->Router().SetActiveView(nullptr);
}
