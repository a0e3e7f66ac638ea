// A print order in the window: stepping through the listed photos from the view with the next
// one decoded ahead, gathering several thumbnails apart from the photo shown, giving them all a
// box, and deleting several with one question.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileInfo>
#include <QMouseEvent>

#include "ListedPicturesFixture.h"
#include "commands/CommandIds.h"
#include "doc/KeptBoxes.h"
#include "image/metadata/CropSidecar.h"
#include "platform/MessageService.h"

namespace shelltest {
namespace {

void MouseButton(QWidget* target, Qt::MouseButton button) {
    const QPointF at(10, 10);
    QMouseEvent press(QEvent::MouseButtonPress, at, target->mapToGlobal(at), button, button, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, target->mapToGlobal(at), button, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

TEST_F(ListedPicturesTest, PageDownStepsToThePhotoDecodedAheadAndTheListFollows) {
    // The photo after the shown one is decoded while the user looks at it.
    ASSERT_TRUE(browsertest::RunEventLoopUntil([&] { return View()->Ahead().ReadyPaths().contains(PathOf("b.png")); }));
    KeyPress(View(), Qt::Key_PageDown);
    EXPECT_EQ(View()->Path(), PathOf("b.png"));
    EXPECT_EQ(ShownSize(), QSize(150, 90));
    EXPECT_EQ(List()->CurrentPath(), PathOf("b.png"));
    KeyPress(View(), Qt::Key_PageDown);
    KeyPress(View(), Qt::Key_PageDown);  // past the end: stays
    EXPECT_EQ(View()->Path(), PathOf("c.png"));
    MouseButton(View(), Qt::BackButton);
    EXPECT_EQ(View()->Path(), PathOf("b.png"));
    KeyPress(View(), Qt::Key_PageUp);
    EXPECT_EQ(View()->Path(), PathOf("a.png"));
}

TEST_F(ListedPicturesTest, SeveralSelectedPhotosGetBoxesAndKeepTheirSelectionWhileSteppingThrough) {
    KeptBoxes::Instance().SetSidecarsOn(true);
    List()->setFocus();
    KeyPress(List(), Qt::Key_A, Qt::ControlModifier);
    QApplication::processEvents();
    ASSERT_EQ(List()->SelectedPaths().size(), 3);
    // Gathering several opens none of them.
    browsertest::RunEventLoopUntil([] { return false; }, 3 * cmd::TIMER_OPEN_SELECTED_MS);
    EXPECT_EQ(View()->Path(), PathOf("a.png"));

    // c already has a box of its own: the user keeps it.
    View()->Document()->Box().m_presetId = cmd::ID_PRESET_FREE;
    KeptCrop own;
    own.left = 0.25;
    own.right = 0.5;
    ASSERT_TRUE(KeptBoxes::Instance().Keep(PathOf("c.png"), own).isEmpty());
    int questions = 0;
    MessageService::SetAnswerer([&](const QString&, bool) {
        ++questions;
        return MessageAnswer::No;
    });
    View()->Document()->Box().m_presetId = cmd::ID_PRESET_6X4;
    m_app->Router().Execute(cmd::ID_APPLY_TO_SELECTED);
    MessageService::SetAnswerer({});
    EXPECT_EQ(questions, 1);
    const auto b = ReadSidecarCrop(QFile::encodeName(PathOf("b.png")).toStdString());
    ASSERT_TRUE(b.has_value());
    EXPECT_EQ(b->preset, cmd::ID_PRESET_6X4);
    // 150 x 90 is wider than 6x4: the box takes the full height, centred.
    EXPECT_NEAR((b->right - b->left) * 150, 135, 1);
    EXPECT_NEAR(b->left * 150, 7.5, 1);
    EXPECT_DOUBLE_EQ(ReadSidecarCrop(QFile::encodeName(PathOf("c.png")).toStdString())->left, 0.25);
    EXPECT_TRUE(View()->Document()->HasKeptBox());
    for (int row = 0; row < List()->count(); ++row) EXPECT_TRUE(List()->Thumb(row)->m_hasBox) << row;

    KeyPress(View(), Qt::Key_PageDown);
    EXPECT_EQ(View()->Path(), PathOf("b.png"));
    EXPECT_EQ(List()->SelectedPaths().size(), 3);
    EXPECT_EQ(List()->CurrentPath(), PathOf("b.png"));
}

TEST_F(ListedPicturesTest, DeleteWithSeveralSelectedAsksOnceAndTakesTheirSidecars) {
    KeptBoxes::Instance().SetSidecarsOn(true);
    ASSERT_TRUE(WriteSidecarCrop(QFile::encodeName(PathOf("b.png")).toStdString(), KeptCrop{}));
    List()->item(1)->setSelected(true);
    List()->item(2)->setSelected(true);
    List()->item(0)->setSelected(false);
    ASSERT_EQ(List()->SelectedPaths(), (QStringList{PathOf("b.png"), PathOf("c.png")}));
    QStringList asked;
    MessageService::SetAnswerer([&](const QString& text, bool) {
        asked.append(text);
        return MessageAnswer::Yes;
    });
    m_app->Router().Execute(cmd::ID_DELETE);
    MessageService::SetAnswerer({});
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].startsWith(QStringLiteral("This will delete 2 pictures:\nb.png\nc.png"))) << asked[0].toStdString();
    EXPECT_FALSE(QFileInfo::exists(PathOf("b.png")));
    EXPECT_FALSE(QFileInfo::exists(PathOf("c.png")));
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(SidecarPathOf(QFile::encodeName(PathOf("b.png")).toStdString()))));
    EXPECT_TRUE(QFileInfo::exists(PathOf("a.png")));
    EXPECT_EQ(View()->Path(), PathOf("a.png"));
}

}  // namespace
}  // namespace shelltest
