// Opening a picture or folder named on the command line or dropped on the window, the answers
// given without a display, and the first window's fit to its screen.
#include <gtest/gtest.h>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QScreen>
#include <QUrl>

#include <cstdlib>
#include <optional>
#include <string>

#include "../browser/BrowserTestSupport.h"
#include "CliRun.h"
#include "ShellTestSupport.h"
#include "TestSupport.h"
#include "app/MainWindow.h"
#include "browser/BrowserPane.h"
#include "browser/ThumbnailList.h"
#include "view/PictureView.h"

using browsertest::ToQString;
using shelltest::ShellTest;

namespace {

// Two pictures in a folder of their own; b is the one opened.
class OpenPathTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        // Large enough to be listed (the list leaves out pictures with a side under 72).
        browsertest::WriteSolidPicture(m_pictures / "a.png", 120, 90, 0x00FF00, RASTER_FORMAT_PNG);
        browsertest::WriteSolidPicture(m_pictures / "b.png", 150, 100, 0x0000FF, RASTER_FORMAT_PNG);
    }

    static std::unique_ptr<Application> StartWith(const QString& path) {
        auto app = std::make_unique<Application>(Application::StartupHooks{.loadAtlas = shelltest::MakeSyntheticAtlas});
        app->Router().SetIdleUpdatesEnabled(false);  // the tests run the update passes themselves
        EXPECT_TRUE(app->Start(path));
        return app;
    }

    static BrowserPane* Pane(const Application& app) { return qobject_cast<BrowserPane*>(app.Window()->Browser()); }

    // The pictures' folder is listed and remembered; with a picture, it is selected and shown.
    void ExpectOpened(const Application& app, bool withPicture) const {
        BrowserPane* pane = Pane(app);
        ASSERT_NE(pane, nullptr);
        const QString folder = ToQString(m_pictures.path());
        EXPECT_TRUE(browsertest::RunEventLoopUntil([&] { return pane->List()->CurrentFolder() == folder; }));
        browsertest::WaitForScan(*pane->List());
        EXPECT_EQ(pane->List()->count(), 2);
        EXPECT_EQ(pane->RememberedFolder(), folder);
        const QString picture = ToQString(m_pictures / "b.png");
        PictureView* view = app.Window()->View();
        if (withPicture) {
            EXPECT_TRUE(browsertest::RunEventLoopUntil([&] { return view->Path() == picture; }));
            EXPECT_EQ(pane->CurrentPath(), picture);
            EXPECT_EQ(view->Document()->WorkPicture().GetWidth(), 150u);
        } else {
            EXPECT_TRUE(view->Path().isEmpty());
        }
    }

    testsupport::TempDir m_pictures;
};

TEST_F(OpenPathTest, StartPathListsAFolderOrShowsAPictureInItsFolder) {
    for (const bool withPicture : {false, true}) {
        SCOPED_TRACE(withPicture ? "picture" : "folder");
        const auto app = StartWith(ToQString(withPicture ? m_pictures / "b.png" : m_pictures.path()));
        ASSERT_NE(app->Window(), nullptr);
        ExpectOpened(*app, withPicture);
        EXPECT_TRUE(m_messages.isEmpty());
    }
}

TEST_F(OpenPathTest, DroppedPictureOrFolderOpensLikeTheStartPath) {
    for (const bool withPicture : {false, true}) {
        SCOPED_TRACE(withPicture ? "picture" : "folder");
        auto app = Start();
        ASSERT_NE(app->Window(), nullptr);
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(ToQString(withPicture ? m_pictures / "b.png" : m_pictures.path())),
                      QUrl::fromLocalFile(ToQString(m_pictures / "a.png"))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(app->Window(), &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(app->Window(), &drop);
        ExpectOpened(*app, withPicture);
    }
}

TEST_F(OpenPathTest, MissingStartPathIsNamedWithTheReasonAndTheProgramStarts) {
    const QString missing = ToQString(m_pictures / "gone.jpg");
    const auto app = StartWith(missing);
    ASSERT_NE(app->Window(), nullptr);
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].contains(missing)) << m_messages[0].toStdString();
    EXPECT_TRUE(m_messages[0].contains(QStringLiteral("no such file or folder"))) << m_messages[0].toStdString();
    EXPECT_TRUE(app->Window()->isVisible());
}

TEST(FirstWindowSize, KeepsTheUsualSizeWhenItFitsAndIsCutToTheScreenOtherwise) {
    const QSize usual(MainWindow::kInitialWidth, MainWindow::kInitialHeight);
    const struct {
        QSize available;
        qreal scale;
        QSize expected;
    } cases[] = {
        {QSize(1920, 1160), 1.0, usual},
        {QSize(1066, 640), 1.5, QSize(1066, 640)},   // 1600 x 1000 at a scale of 1.5, less a panel
        {QSize(1067, 667), 1.5, QSize(1066, 666)},   // 1600 x 1000 rounded up: 1600.5 device pixels
        {QSize(1600, 700), 1.0, QSize(MainWindow::kInitialWidth, 700)},
        {QSize(1280, 800), 1.25, usual},             // 1600 x 1000 at 1.25: exact
        {QSize(960, 600), 2.0, QSize(960, 600)},
        {QSize(), 1.5, usual},                       // no screen known
    };
    for (const auto& c : cases) {
        const QSize fitted = MainWindow::FittedSize(usual, c.available, c.scale);
        EXPECT_EQ(fitted, c.expected) << c.available.width() << "x" << c.available.height() << " at " << c.scale;
    }
}

TEST_F(OpenPathTest, FirstWindowFitsTheScreenItOpensOn) {
    auto app = Start();
    ASSERT_NE(app->Window(), nullptr);
    const QSize room = app->Window()->screen()->availableGeometry().size();
    EXPECT_LE(app->Window()->width(), std::max(room.width(), app->Window()->minimumSizeHint().width()));
    EXPECT_LE(app->Window()->height(), std::max(room.height(), app->Window()->minimumSizeHint().height()));
}

// The environment variable name without its value for the scope, then as it was.
class UnsetVariable {
public:
    explicit UnsetVariable(const char* name) : m_name(name) {
        if (const char* value = std::getenv(name)) m_value = value;
        unsetenv(name);
    }
    ~UnsetVariable() {
        if (m_value) setenv(m_name, m_value->c_str(), 1);
    }

private:
    const char* m_name;
    std::optional<std::string> m_value;
};

TEST(CommandLine, HelpAndVersionAnswerWithoutADisplay) {
    const UnsetVariable platform("QT_QPA_PLATFORM");
    const UnsetVariable display("DISPLAY");
    const UnsetVariable wayland("WAYLAND_DISPLAY");
    const testsupport::TempDir dir;
    const struct {
        const char* argument;
        const char* expected;
    } cases[] = {
        {"--help", "[path]"},
        {"-h", "A picture to show, or a folder to list."},
        {"--version", "Norvane Snipwell "},
    };
    for (const auto& c : cases) {
        const testsupport::RunResult run = testsupport::RunProgram(dir, SNIPWELL_PATH, {c.argument});
        EXPECT_EQ(run.exitCode, 0) << c.argument << ": " << run.err;
        EXPECT_NE(run.out.find(c.expected), std::string::npos) << c.argument << ": " << run.out;
    }
}

}  // namespace
