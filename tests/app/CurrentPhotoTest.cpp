// The list's current cell and the picture the view shows stay one photo: after the save
// question, whatever its answer, and after Save As.
#include <gtest/gtest.h>

#include <QMouseEvent>

#include "ListedPicturesFixture.h"
#include "commands/CommandIds.h"
#include "platform/FileDialogService.h"
#include "platform/MessageService.h"

using shelltest::ListedPicturesTest;

namespace {

// A click on a cell as the mouse gives it.
void ClickCell(ThumbnailList& list, int row) {
    const QPoint centre = list.IconRect(row).center();
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, centre, list.viewport()->mapToGlobal(centre), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(list.viewport(), &event);
    }
}

}  // namespace

TEST_F(ListedPicturesTest, EveryAnswerToTheSaveQuestionLeavesTheShownPhotoCurrent) {
    m_app->Router().Execute(cmd::ID_MIRROR);
    ASSERT_TRUE(View()->IsModified());
    const struct {
        MessageAnswer answer;
        const char* shown;   // after clicking b.png
    } cases[] = {{MessageAnswer::Cancel, "a.png"}, {MessageAnswer::Cancel, "a.png"}, {MessageAnswer::No, "b.png"}};
    int asked = 0;
    for (const auto& c : cases) {
        MessageService::SetAnswerer([&](const QString&, bool) {
            ++asked;
            return c.answer;
        });
        const int before = asked;
        // A click on the framed cell after a Cancel must reach the question again.
        ClickCell(*List(), 1);
        ASSERT_TRUE(browsertest::RunEventLoopUntil([&] { return asked > before; }));
        browsertest::RunEventLoop(50);
        EXPECT_EQ(View()->Path(), PathOf(c.shown));
        EXPECT_EQ(List()->CurrentPath(), PathOf(c.shown));
        EXPECT_EQ(Pane()->CurrentPath(), PathOf(c.shown));
        EXPECT_EQ(List()->selectedItems().size(), 1);
    }
    EXPECT_EQ(asked, 3);
}

TEST_F(ListedPicturesTest, SaveAsMakesTheNewFileTheCurrentPhotoAndSaveAsksAboutIt) {
    FileDialogService::SetChooser([&](const FileDialogRequest&) { return PathOf("copy.png"); });
    m_app->Router().Execute(cmd::ID_FILE_SAVE_AS);
    FileDialogService::SetChooser({});
    ASSERT_EQ(View()->Path(), PathOf("copy.png"));
    EXPECT_TRUE(browsertest::RunEventLoopUntil([&] { return List()->CurrentPath() == PathOf("copy.png"); }));
    EXPECT_EQ(List()->count(), 4);

    // Save's overwrite question names the shown file.
    m_app->Router().Execute(cmd::ID_MIRROR);
    QStringList asked;
    MessageService::SetAnswerer([&](const QString& text, bool) {
        asked << text;
        return MessageAnswer::No;
    });
    m_app->Router().Execute(cmd::ID_FILE_SAVE);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains(PathOf("copy.png"))) << asked[0].toStdString();
}
