// The browser pane: the remembered folder, folder choices, the bar, the layout and the keys.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QShortcut>
#include <QSplitter>
#include <QTreeView>

#include "BrowserTestSupport.h"
#include "commands/CommandIds.h"
#include "commands/CommandRouter.h"
#include "browser/BrowserPane.h"
#include "commands/SettingsKeys.h"
#include "platform/SettingsStore.h"
#include "browser/ThumbnailList.h"
#include "TestSupport.h"

using browsertest::ToQString;

namespace {

class BrowserPaneTest : public ::testing::Test {
protected:
    void SetUp() override {
        SettingsStore::UseFolder(ToQString(m_settings.path()));
        browsertest::WriteSolidPicture(m_pictures / "a.png", 100, 100, 0x00FF00, RASTER_FORMAT_PNG);
    }
    void TearDown() override { SettingsStore::UseFolder(QString()); }

    static QString StoredFolder() {
        return SettingsStore::ReadString(settings::kSection, settings::kBrowserFolder);
    }
    static void SendMouse(QWidget& target, QEvent::Type type, QPoint point) {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, QPointF(point), QPointF(target.mapToGlobal(point)), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(&target, &event);
    }
    // The bar between tree and list, in the pane's coordinates.
    static QRect Bar(const BrowserPane& pane) { return pane.Splitter()->handle(1)->geometry(); }
    static void DragBar(BrowserPane& pane, int dy) {
        QWidget& bar = *pane.Splitter()->handle(1);
        const QPoint start = bar.rect().center();
        SendMouse(bar, QEvent::MouseButtonPress, start);
        SendMouse(bar, QEvent::MouseMove, start + QPoint(0, dy));
        SendMouse(bar, QEvent::MouseButtonRelease, start + QPoint(0, dy));
    }
    // A shown pane of the size, laid out.
    static void ShowAt(BrowserPane& pane, int width, int height) {
        pane.resize(width, height);
        pane.show();
        QApplication::processEvents();
    }

    testsupport::TempDir m_settings;
    testsupport::TempDir m_pictures;
};

}  // namespace

TEST_F(BrowserPaneTest, RemembersTheChosenFolderAndListsItAtTheNextStart) {
    {
        BrowserPane pane(nullptr);
        ASSERT_TRUE(pane.SelectFolder(ToQString(m_pictures.path())));
        EXPECT_EQ(StoredFolder(), ToQString(m_pictures.path()));
        browsertest::WaitForScan(*pane.List());
    }
    BrowserPane pane(nullptr);
    EXPECT_EQ(pane.RememberedFolder(), ToQString(m_pictures.path()));
    EXPECT_EQ(pane.SelectedFolder(), ToQString(m_pictures.path()));
    browsertest::WaitForScan(*pane.List());
    EXPECT_EQ(pane.List()->count(), 1);
}

TEST_F(BrowserPaneTest, MissingRememberedFolderSelectsNothing) {
    SettingsStore::WriteString(settings::kSection, settings::kBrowserFolder, ToQString(m_pictures / "gone"));
    BrowserPane pane(nullptr);
    EXPECT_TRUE(pane.SelectedFolder().isEmpty());
    EXPECT_EQ(pane.List()->count(), 0);
    EXPECT_FALSE(pane.List()->IsScanning());
    EXPECT_EQ(StoredFolder(), ToQString(m_pictures / "gone"));
}

TEST_F(BrowserPaneTest, WithoutSettingStartsInThePicturesFolderOrHome) {
    BrowserPane pane(nullptr);
    EXPECT_FALSE(pane.RememberedFolder().isEmpty());
    EXPECT_TRUE(QFileInfo(pane.RememberedFolder()).isDir());
    EXPECT_EQ(StoredFolder(), pane.SelectedFolder());
}

TEST_F(BrowserPaneTest, BarDragIsClampedSixteenPixelsFromEitherEnd) {
    BrowserPane pane(nullptr);
    ShowAt(pane, 300, 500);
    const int barHeight = Bar(pane).height();
    ASSERT_GT(barHeight, 0);
    // The tree starts fourteen and a half lines high, the list below it takes the rest.
    EXPECT_EQ(pane.Tree()->height(), qRound(14.5 * pane.fontMetrics().height()));
    EXPECT_EQ(pane.List()->geometry().bottom() + 1, 500);

    DragBar(pane, -1000);
    EXPECT_EQ(Bar(pane).bottom() + 1, 16);
    EXPECT_EQ(pane.List()->geometry().top(), 16);
    EXPECT_EQ(pane.List()->geometry().bottom() + 1, 500);

    DragBar(pane, 1000);
    EXPECT_EQ(Bar(pane).top(), 500 - 16);
    EXPECT_EQ(pane.Tree()->geometry().height(), 500 - 16);
    EXPECT_EQ(Bar(pane).height(), barHeight);

    DragBar(pane, -200);
    EXPECT_EQ(Bar(pane).top(), 500 - 16 - 200);
    EXPECT_EQ(pane.Tree()->geometry().width(), 300);
}

TEST_F(BrowserPaneTest, GrowingGoesToTheListAndShrinkingTakesFromTheTree) {
    BrowserPane pane(nullptr);
    ShowAt(pane, 300, 500);
    const QRect bar = Bar(pane);
    pane.resize(300, 800);
    QApplication::processEvents();
    EXPECT_EQ(Bar(pane), bar);
    EXPECT_EQ(pane.List()->geometry().bottom() + 1, 800);

    pane.resize(200, bar.top() + 4);
    QApplication::processEvents();
    EXPECT_EQ(Bar(pane).top(), pane.height() - 16);
    EXPECT_EQ(Bar(pane).height(), bar.height());
    EXPECT_EQ(pane.List()->geometry().bottom() + 1, pane.height());
    EXPECT_EQ(pane.List()->width(), 200);
    EXPECT_EQ(pane.Tree()->geometry().bottom() + 1, Bar(pane).top());
}

TEST_F(BrowserPaneTest, DeleteInTheListPostsTheDeleteCommandAndNowhereElse) {
    CommandRouter router;
    CommandHandlers frame;
    int deletes = 0;
    frame.On(cmd::ID_DELETE, [&] { ++deletes; });
    router.SetFrame(&frame);
    BrowserPane pane(nullptr);

    QKeyEvent inList(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(pane.List(), &inList);
    EXPECT_EQ(deletes, 0) << "posted, not sent";
    browsertest::RunEventLoop(20);
    EXPECT_EQ(deletes, 1);

    QKeyEvent inTree(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(pane.Tree(), &inTree);
    browsertest::RunEventLoop(20);
    EXPECT_EQ(deletes, 1);
}

// Shift+Delete is also the frame's accelerator for Cut; in the list it is Delete.
TEST_F(BrowserPaneTest, ShiftDeleteInTheListIsDeleteAndNotTheWindowsShortcut) {
    CommandRouter router;
    CommandHandlers frame;
    int deletes = 0;
    frame.On(cmd::ID_DELETE, [&] { ++deletes; });
    router.SetFrame(&frame);
    QWidget window;
    auto* pane = new BrowserPane(nullptr, &window);
    int cuts = 0;
    QShortcut cut(QKeySequence(Qt::SHIFT | Qt::Key_Delete), &window);
    cut.setContext(Qt::WindowShortcut);
    QObject::connect(&cut, &QShortcut::activated, [&] { ++cuts; });
    window.show();
    QApplication::setActiveWindow(&window);
    pane->List()->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(pane->List()->hasFocus());

    // A key press that is not the keyboard's own is offered to the shortcuts first, as the
    // keyboard's would be.
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::ShiftModifier);
    QApplication::sendEvent(pane->List(), &press);
    browsertest::RunEventLoop(20);
    EXPECT_EQ(deletes, 1);
    EXPECT_EQ(cuts, 0);

    // Elsewhere the shortcut keeps the key.
    pane->Tree()->setFocus();
    QApplication::processEvents();
    QKeyEvent inTree(QEvent::KeyPress, Qt::Key_Delete, Qt::ShiftModifier);
    QApplication::sendEvent(pane->Tree(), &inTree);
    browsertest::RunEventLoop(20);
    EXPECT_EQ(deletes, 1);
    EXPECT_EQ(cuts, 1);
}
