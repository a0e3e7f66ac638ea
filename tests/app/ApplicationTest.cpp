#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QSettings>
#include <QSplitter>
#include <QTreeView>

#include "app/MainWindow.h"
#include "doc/FileCommands.h"
#include "view/PictureView.h"
#include "commands/CommandIds.h"
#include "app/GDIPlus.h"
#include "app/MainRibbonBar.h"
#include "browser/BrowserPane.h"
#include "app/IconAtlas.h"
#include "commands/SettingsKeys.h"
#include "platform/SettingsStore.h"
#include "ShellTestSupport.h"

using shelltest::ShellTest;

TEST_F(ShellTest, MissingAtlasStopsStartUpWithItsMessageAndNoFrame) {
    Application::StartupHooks hooks;
    hooks.loadAtlas = [](RasterImage&) { return false; };
    bool probed = false;
    hooks.drawingProbe = [&] { return probed = true; };
    auto app = Start(hooks);
    EXPECT_EQ(m_messages, QStringList{QStringLiteral("Resource Image Lib failed.")});
    EXPECT_EQ(app->Window(), nullptr);
    EXPECT_EQ(app->GraphicsGuard(), nullptr);
    EXPECT_FALSE(probed);  // the steps after the failed one never run
}

TEST_F(ShellTest, AtlasThatLoadsButHoldsNoPictureIsAFailureToo) {
    Application::StartupHooks hooks;
    hooks.loadAtlas = [](RasterImage&) { return true; };
    auto app = Start(hooks);
    EXPECT_EQ(m_messages, QStringList{QStringLiteral("Resource Image Lib failed.")});
    EXPECT_EQ(app->Window(), nullptr);
}

TEST_F(ShellTest, FailingDrawingLayerStopsStartUpAndItsGuardIsStillReleasedAtExit) {
    Application::StartupHooks hooks;
    hooks.drawingProbe = [] { return false; };
    auto app = Start(hooks);
    EXPECT_EQ(m_messages, QStringList{QStringLiteral("GDI Plus failed.")});
    EXPECT_EQ(app->Window(), nullptr);
    ASSERT_NE(app->GraphicsGuard(), nullptr);
    EXPECT_NE(app->GraphicsGuard()->Status(), GDIPlus::kOk);
    EXPECT_FALSE(app->GraphicsGuard()->Started());
    app->Shutdown();
    EXPECT_EQ(app->GraphicsGuard(), nullptr);
    EXPECT_TRUE(SettingsFileText().isEmpty());  // nothing was written: no frame was made
}

TEST(GDIPlusGuard, RealAntiAliasedDrawingCheckPasses) {
    EXPECT_TRUE(GDIPlus::AntiAliasedDrawingWorks());
    GDIPlus guard;
    EXPECT_EQ(guard.Status(), GDIPlus::kOk);
    EXPECT_TRUE(guard.Started());
}

TEST_F(ShellTest, SuccessfulStartShowsOneFrameWithDocumentViewAndBrowserAndWritesOnlyTheStyle) {
    auto app = Start();
    EXPECT_TRUE(m_messages.isEmpty());
    MainWindow* frame = app->Window();
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_FALSE(frame->isMaximized());
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Norvane Snipwell"));
    ASSERT_NE(app->GraphicsGuard(), nullptr);
    EXPECT_EQ(app->GraphicsGuard()->Status(), GDIPlus::kOk);
    EXPECT_TRUE(app->Atlas().IsValid());
    EXPECT_EQ(InterfaceAtlas(), &app->Atlas());

    ASSERT_NE(app->Document(), nullptr);
    EXPECT_EQ(app->Document()->m_view, frame->View());
    EXPECT_EQ(frame->Splitter()->count(), 2);
    EXPECT_EQ(frame->Splitter()->widget(0), frame->Browser());
    EXPECT_EQ(frame->Splitter()->widget(1), frame->View());
    EXPECT_EQ(frame->Splitter()->sizes().value(0), MainWindow::kBrowserPaneWidth);

    // A first run writes "ApplicationLook" = 216; the browser, which selects the pictures
    // folder, stores that folder as its remembered one. Nothing else is written.
    QSettings stored(m_dir.filePath(QStringLiteral("Norvane Snipwell.ini")), QSettings::IniFormat);
    QStringList keys = stored.allKeys();
    keys.removeAll(QStringLiteral("Settings/PicPickerFolder"));
    EXPECT_EQ(keys, QStringList{QStringLiteral("Workspace/ApplicationLook")});
    EXPECT_EQ(stored.value(QStringLiteral("Workspace/ApplicationLook")).toInt(), 216);

    app->Shutdown();
    EXPECT_EQ(app->GraphicsGuard(), nullptr);
}

TEST_F(ShellTest, TheBrowserReadsItsFoldersOnlyOnceTheWindowIsOnScreen) {
    const QString pictures = m_dir.filePath(QStringLiteral("pictures"));
    ASSERT_TRUE(QDir().mkpath(pictures));
    SettingsStore::WriteString(settings::kSection, settings::kBrowserFolder, pictures);

    auto app = std::make_unique<Application>(Application::StartupHooks{shelltest::MakeSyntheticAtlas, {}});
    app->Router().SetIdleUpdatesEnabled(false);
    ASSERT_TRUE(app->Start());
    auto* browser = qobject_cast<BrowserPane*>(app->Window()->Browser());
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(browser->Tree()->model(), nullptr) << "folders read before the frame was shown";

    // Notes whether the folders had been read when the frame's first paint arrived.
    struct FirstPaint : QObject {
        QTreeView* tree = nullptr;
        bool painted = false;
        bool readBefore = false;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint && !painted) {
                painted = true;
                readBefore = tree->model() != nullptr;
            }
            return false;
        }
    } watch;
    watch.tree = browser->Tree();
    app->Window()->installEventFilter(&watch);
    QElapsedTimer clock;
    clock.start();
    while (browser->Tree()->model() == nullptr && clock.elapsed() < 5000) QApplication::processEvents();
    app->Window()->removeEventFilter(&watch);
    ASSERT_NE(browser->Tree()->model(), nullptr);
    EXPECT_TRUE(watch.painted);
    EXPECT_FALSE(watch.readBefore) << "folders read before the first paint";
    EXPECT_EQ(browser->SelectedFolder(), pictures);
}

TEST_F(ShellTest, AFrameThatIsNeverPaintedStillFinishesItsStart) {
    auto app = std::make_unique<Application>(Application::StartupHooks{shelltest::MakeSyntheticAtlas, {}});
    app->Router().SetIdleUpdatesEnabled(false);
    ASSERT_TRUE(app->Start());
    auto* browser = qobject_cast<BrowserPane*>(app->Window()->Browser());
    ASSERT_NE(browser, nullptr);
    app->Window()->hide();  // no paint will come
    QElapsedTimer clock;
    clock.start();
    while (browser->Tree()->model() == nullptr && clock.elapsed() < 5000) QApplication::processEvents();
    EXPECT_NE(browser->Tree()->model(), nullptr);
}

TEST_F(ShellTest, TheViewIsTheActiveViewAtStartAndExitClosesTheFrame) {
    auto app = Start();
    ASSERT_NE(app->Window(), nullptr);
    EXPECT_EQ(app->Router().ActiveView(), &app->Window()->View()->Handlers());
    EXPECT_TRUE(app->Router().Execute(cmd::ID_APP_EXIT));
    EXPECT_FALSE(app->Window()->isVisible());
}

TEST_F(ShellTest, CtrlNMakesThePictureViewTheActiveViewAgain) {
    auto app = Start();
    MainWindow* frame = app->Window();
    QApplication::setActiveWindow(frame);
    frame->Browser()->findChild<QTreeView*>()->setFocus();
    QApplication::processEvents();
    ASSERT_FALSE(frame->View()->hasFocus());

    shelltest::KeyClick(QApplication::focusWidget(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_TRUE(frame->View()->hasFocus());
    EXPECT_EQ(app->Router().ActiveView(), &frame->View()->Handlers());
}

TEST_F(ShellTest, StartsWithTheEmbeddedAtlasAndCutsTheRibbonIconsFromIt) {
    Application app;  // no hooks: the real atlas and the real drawing check
    app.Router().SetIdleUpdatesEnabled(false);
    ASSERT_TRUE(app.Start());
    EXPECT_TRUE(m_messages.isEmpty());
    EXPECT_EQ(app.Atlas().GetWidth(), 480u);
    EXPECT_EQ(app.Atlas().GetHeight(), 240u);
    const MainRibbonBar* ribbon = app.Window()->Ribbon();
    EXPECT_FALSE(ribbon->ApplicationButton()->icon().isNull());
    EXPECT_EQ(ribbon->Categories()[0]->SmallIconCount(), 30);
    EXPECT_EQ(ribbon->Categories()[0]->LargeIconCount(), 15);
    EXPECT_EQ(ribbon->ApplicationCategory()->SmallIconCount(), 20);
    EXPECT_EQ(ribbon->ApplicationCategory()->LargeIconCount(), 10);
    app.Shutdown();
}
