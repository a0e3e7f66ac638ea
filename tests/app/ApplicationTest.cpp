#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <QElapsedTimer>
#include <QSettings>
#include <QSplitter>
#include <QTreeView>

#include "app/MainWindow.h"
#include "doc/FileCommands.h"
#include "view/PictureView.h"
#include "commands/CommandIds.h"
#include "app/MainRibbonBar.h"
#include "browser/BrowserPane.h"
#include "app/IconAtlas.h"
#include "app/Version.h"
#include "commands/SettingsKeys.h"
#include "platform/SettingsStore.h"
#include "ShellTestSupport.h"

using shelltest::ShellTest;

TEST_F(ShellTest, MissingAtlasStopsStartUpWithItsMessageAndNoFrame) {
    Application::StartupHooks hooks;
    hooks.loadAtlas = [](QImage&) { return false; };
    auto app = Start(hooks);
    EXPECT_EQ(m_messages, QStringList{QString::fromLatin1(Application::kAtlasFailedText)});
    EXPECT_EQ(app->Window(), nullptr);
    EXPECT_EQ(app->Files(), nullptr);  // the steps after the failed one never run
    EXPECT_TRUE(SettingsFileText().isEmpty());
}

TEST_F(ShellTest, AtlasThatLoadsButHoldsNoPictureIsAFailureToo) {
    Application::StartupHooks hooks;
    hooks.loadAtlas = [](QImage&) { return true; };
    auto app = Start(hooks);
    EXPECT_EQ(m_messages, QStringList{QString::fromLatin1(Application::kAtlasFailedText)});
    EXPECT_EQ(app->Window(), nullptr);
}

TEST_F(ShellTest, SuccessfulStartShowsOneFrameWithDocumentViewAndBrowserAndWritesOnlyTheStyle) {
    auto app = Start();
    EXPECT_TRUE(m_messages.isEmpty());
    MainWindow* frame = app->Window();
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_FALSE(frame->isMaximized());
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Norvane Snipwell"));
    EXPECT_FALSE(app->Atlas().isNull());
    EXPECT_EQ(InterfaceAtlas(), &app->Atlas());

    ASSERT_NE(app->Files(), nullptr);
    EXPECT_EQ(app->Files()->m_view, frame->View());
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

    // The version the build was made from, in four parts, as the About box shows it.
    EXPECT_EQ(QCoreApplication::applicationVersion(), QString::fromLatin1(version::kNumber));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+\\.\\d+$"))
                    .match(QCoreApplication::applicationVersion())
                    .hasMatch());
}

TEST_F(ShellTest, TheBrowserReadsItsFoldersOnlyOnceTheWindowIsOnScreen) {
    const QString pictures = m_dir.filePath(QStringLiteral("pictures"));
    ASSERT_TRUE(QDir().mkpath(pictures));
    SettingsStore::WriteString(settings::kSection, settings::kBrowserFolder, pictures);

    auto app = std::make_unique<Application>(Application::StartupHooks{shelltest::MakeSyntheticAtlas});
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
    auto app = std::make_unique<Application>(Application::StartupHooks{shelltest::MakeSyntheticAtlas});
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
    Application app;  // no hooks: the embedded atlas
    app.Router().SetIdleUpdatesEnabled(false);
    ASSERT_TRUE(app.Start());
    EXPECT_TRUE(m_messages.isEmpty());
    EXPECT_EQ(app.Atlas().size(), QSize(480, 240));
    const MainRibbonBar* ribbon = app.Window()->Ribbon();
    EXPECT_FALSE(ribbon->ApplicationButton()->icon().isNull());
    EXPECT_EQ(ribbon->Categories()[0]->SmallIconCount(), 30);
    EXPECT_EQ(ribbon->Categories()[0]->LargeIconCount(), 15);
    EXPECT_EQ(ribbon->ApplicationCategory()->SmallIconCount(), 20);
    EXPECT_EQ(ribbon->ApplicationCategory()->LargeIconCount(), 10);
}
