// Long operations on a large picture run on a worker thread: the view's event loop keeps
// turning (a timer fires meanwhile), the picture commands are disabled until they end, and
// the history stays right. A large JPEG photo shows a reduced decode first. The document's
// threshold is lowered so that small pictures count as large. Run under ThreadSanitizer too.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include "doc/FileCommands.h"
#include "view/StatusPaneText.h"

#include "commands/CommandIds.h"

#include "RoutedViewFixture.h"
#include "TestSupport.h"

namespace {

using namespace testsupport;

// Past this many pixels the test's pictures count as large.
constexpr uint64_t kTestBackgroundPixels = 100'000;
constexpr uint32_t kWidth = 2400;
constexpr uint32_t kHeight = 1600;
constexpr int kWaitMs = 60'000;
constexpr int kTurnMs = 50;

class PictureWorker : public RoutedViewFixture {
protected:
    void SetUp() override {
        RoutedViewFixture::SetUp();
        m_view.reset();
        m_files = std::make_unique<FileCommands>();
        m_view = std::make_unique<PictureView>(m_files.get());
        m_view->resize(400, 300);
        m_router->SetActiveView(&m_view->Handlers());
        m_router->SetDocument(&m_files->Handlers());
        Document().SetBackgroundPixels(kTestBackgroundPixels);
    }

    PictureDocument& Document() { return *m_view->Document(); }

    std::string WritePattern(const char* name, uint32_t type) {
        const std::string path = (m_dir / name).string();
        RasterImage pattern = MakePatternImage(kWidth, kHeight);
        pattern.SetJpegQuality(90);
        EXPECT_TRUE(pattern.Save(path.c_str(), type)) << pattern.LastErrorText();
        return path;
    }

    // Runs operation with a timer ticking; the number of ticks it saw. A timer due from the
    // start fires only when the event loop turns.
    static int RunWithTicks(const std::function<void()>& operation) {
        int ticks = 0;
        QTimer ticker;
        ticker.setInterval(0);
        QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
        ticker.start();
        operation();
        ticker.stop();
        return ticks;
    }

    void ExpectEditingDisabled() {
        for (uint32_t id : {cmd::ID_CUT, cmd::ID_ROTATE_LEFT, cmd::ID_SEPIA, cmd::ID_EDIT_UNDO, cmd::ID_EDIT_REDO,
                            cmd::ID_FILE_SAVE_AS, cmd::ID_EDIT_COPY, cmd::ID_FILE_PRINT, cmd::ID_EXT_CUTTER}) {
            EXPECT_FALSE(m_router->QueryUpdate(id).enabled) << "command " << id;
        }
    }

    QString FilePane() { return ReadPaneText(m_router->QueryUpdate(cmd::ID_STATUSBAR_PANE_FILE)).text; }

    TempDir m_dir;
    std::unique_ptr<FileCommands> m_files;
};

TEST_F(PictureWorker, CutTurnAndSaveRunOnTheWorkerWhileTheLoopTurnsAndUndoStaysRight) {
    const std::string path = WritePattern("large.bmp", RASTER_FORMAT_BMP);
    m_view->LoadPicture(QString::fromStdString(path));
    ASSERT_TRUE(m_view->CanEdit());
    RasterImage original(Document().WorkPicture());
    Document().Box().m_shape = cropbox::kShapeOval;
    const cropbox::Rect box = Document().BoxInPicture();
    ASSERT_FALSE(box.IsEmpty());
    // What busyChanged said, in order; when it starts, the commands wait and the file pane
    // says what runs.
    std::vector<bool> busy;
    QString busyPane;
    QObject::connect(m_view.get(), &PictureView::busyChanged, [&](bool now) {
        busy.push_back(now);
        if (!now) return;
        EXPECT_TRUE(Document().IsBusy());
        ExpectEditingDisabled();
        EXPECT_TRUE(m_view->PicturesValid());  // the last view copy is still shown
        busyPane = FilePane();
    });

    const struct {
        const char* name;
        std::function<void()> operation;
        const char* busyText;
        uint32_t width, height;  // the picture after it
    } steps[] = {
        {"cut", [&] { EXPECT_TRUE(m_router->Execute(cmd::ID_CUT)); }, "Cutting\u2026", uint32_t(box.Width()),
         uint32_t(box.Height())},
        {"turn", [&] { EXPECT_TRUE(m_router->Execute(cmd::ID_ROTATE_RIGHT)); }, "Turning\u2026", uint32_t(box.Height()),
         uint32_t(box.Width())},
        {"save",
         [&] {
             const FileOutcome saved = Document().Save(QString::fromStdString((m_dir / "saved.jpg").string()), 90);
             EXPECT_TRUE(saved.ok) << saved.error.toStdString();
         },
         "Saving saved.jpg\u2026", uint32_t(box.Height()), uint32_t(box.Width())},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        busy.clear();
        busyPane.clear();
        EXPECT_GT(RunWithTicks(step.operation), 0);
        EXPECT_EQ(busyPane, QString::fromUtf8(step.busyText));
        EXPECT_FALSE(Document().IsBusy());
        EXPECT_EQ(busy, (std::vector<bool>{true, false}));
        EXPECT_EQ(Document().WorkPicture().GetWidth(), step.width);
        EXPECT_EQ(Document().WorkPicture().GetHeight(), step.height);
        EXPECT_TRUE(m_view->CanEdit());
    }
    EXPECT_FALSE(Document().IsModified());
    RasterImage saved;
    ASSERT_TRUE(saved.Load((m_dir / "saved.jpg").string().c_str(), RASTER_FORMAT_JPG));
    EXPECT_EQ(saved.GetWidth(), uint32_t(box.Height()));

    // Undo takes back the turn, then the cut, to the very pixels opened.
    ASSERT_TRUE(m_router->QueryUpdate(cmd::ID_EDIT_UNDO).enabled);
    ASSERT_TRUE(Document().UndoPicture());
    EXPECT_EQ(Document().WorkPicture().GetWidth(), uint32_t(box.Width()));
    ASSERT_TRUE(Document().UndoPicture());
    EXPECT_TRUE(SamePixels(Document().WorkPicture(), original));
    EXPECT_TRUE(Document().RedoPicture());
    EXPECT_EQ(Document().WorkPicture().GetHeight(), uint32_t(box.Height()));
}

TEST_F(PictureWorker, ALargeJpegShowsAReducedDecodeFirstThenTheFullPictureUnderTheSameBox) {
    const std::string path = WritePattern("large.jpg", RASTER_FORMAT_JPG);
    m_view->LoadPicture(QString::fromStdString(path));
    // The preview stands in at once; sizes, status texts and the box are the full picture's.
    ASSERT_TRUE(Document().IsBusy());
    EXPECT_FALSE(Document().WorkPicture().IsValid());
    EXPECT_LT(Document().ShownPicture().GetWidth(), kWidth);
    EXPECT_EQ(Document().PictureSize(), (cropbox::Size{int(kWidth), int(kHeight)}));
    EXPECT_EQ(FilePane(), QStringLiteral("Opening large.jpg\u2026"));
    EXPECT_TRUE(m_view->PicturesValid());
    ExpectEditingDisabled();
    const cropbox::Rect box = Document().BoxInPicture();
    ASSERT_FALSE(box.IsEmpty());
    EXPECT_GT(box.right, int(Document().ShownPicture().GetWidth()));
    EXPECT_LE(box.right, int(kWidth));

    QElapsedTimer waited;
    waited.start();
    while (Document().IsBusy() && waited.elapsed() < kWaitMs) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, kTurnMs);
    }
    ASSERT_FALSE(Document().IsBusy());
    EXPECT_EQ(Document().WorkPicture().GetWidth(), kWidth);
    EXPECT_EQ(Document().WorkPicture().GetHeight(), kHeight);
    EXPECT_EQ(Document().BoxInPicture(), box);
    EXPECT_EQ(FilePane(), QString::fromStdString(path));
    ASSERT_TRUE(m_router->QueryUpdate(cmd::ID_CUT).enabled);
    ASSERT_TRUE(m_router->Execute(cmd::ID_CUT));
    EXPECT_EQ(Document().WorkPicture().GetWidth(), uint32_t(box.Width()));
}

TEST_F(PictureWorker, AnotherPictureOpenedWhileTheFullDecodeRunsReplacesIt) {
    const std::string large = WritePattern("large.jpg", RASTER_FORMAT_JPG);
    std::vector<bool> busy;
    QObject::connect(m_view.get(), &PictureView::busyChanged, [&busy](bool now) { busy.push_back(now); });
    m_view->LoadPicture(QString::fromStdString(large));
    ASSERT_TRUE(Document().IsBusy());
    m_view->LoadPicture(QString());
    EXPECT_FALSE(Document().IsBusy());
    EXPECT_EQ(busy, (std::vector<bool>{true, false}));
    EXPECT_FALSE(Document().HasPicture());
    QCoreApplication::processEvents();
    EXPECT_FALSE(Document().HasPicture());
}

}  // namespace
