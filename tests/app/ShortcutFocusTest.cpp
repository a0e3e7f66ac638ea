// The program's own keys work wherever the keyboard is; the keys a control uses itself stay
// that control's.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTreeView>

#include "ListedPicturesFixture.h"
#include "app/MainRibbonBar.h"
#include "app/RibbonWidgets.h"
#include "commands/CommandIds.h"

using shelltest::ListedPicturesTest;

namespace {

void FocusOn(QWidget* target) {
    target->setFocus(Qt::MouseFocusReason);
    QApplication::processEvents();
}

// The ribbon's only control that takes the keyboard: the JPEG quality box, shown.
RibbonEdit* ShownQualityBox(const MainWindow& frame) {
    MainRibbonBar* ribbon = frame.Ribbon();
    ribbon->SetActiveCategory(ribbon->Categories()[1]);   // Options
    return dynamic_cast<RibbonEdit*>(ribbon->FindElementById(cmd::ID_JPEG_QUALITY));
}

}  // namespace

TEST_F(ListedPicturesTest, UndoAndRedoKeysReachThePictureFromTheTreeTheListAndARibbonControl) {
    RibbonEdit* quality = ShownQualityBox(*m_app->Window());
    ASSERT_NE(quality, nullptr);
    const QSize whole = ShownSize();
    const std::pair<const char*, QWidget*> targets[] = {
        {"thumbnail list", List()}, {"folder tree", Pane()->Tree()}, {"quality box", quality->Editor()}};
    for (const auto& [name, target] : targets) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(m_app->Router().Execute(cmd::ID_CUT));
        const QSize cut = ShownSize();
        ASSERT_NE(cut, whole);
        FocusOn(target);
        ASSERT_TRUE(target->hasFocus());
        shelltest::KeyClick(target, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(ShownSize(), whole);
        shelltest::KeyClick(target, Qt::Key_Y, Qt::ControlModifier);
        EXPECT_EQ(ShownSize(), cut);
        shelltest::KeyClick(target, Qt::Key_Z, Qt::ControlModifier);
        shelltest::KeyClick(target, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(ShownSize(), cut);
        shelltest::KeyClick(target, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(ShownSize(), whole);
        EXPECT_TRUE(target->hasFocus()) << "the key moved the keyboard";
    }
}

TEST_F(ListedPicturesTest, KeysTheFocusedControlUsesStayItsOwn) {
    ASSERT_TRUE(m_app->Router().Execute(cmd::ID_CUT));
    const QSize cut = ShownSize();

    // The quality box being edited undoes its own typing.
    RibbonEdit* quality = ShownQualityBox(*m_app->Window());
    ASSERT_NE(quality, nullptr);
    FocusOn(quality->Editor());
    const QString before = quality->Editor()->text();
    shelltest::TypeText(quality->Editor(), QStringLiteral("9"));
    ASSERT_NE(quality->Editor()->text(), before);
    shelltest::KeyClick(quality->Editor(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(quality->Editor()->text(), before);
    EXPECT_EQ(ShownSize(), cut) << "the picture's cut was undone from the text box";

    // Arrows, Home and End move through the list; a letter finds a picture by its name.
    FocusOn(List());
    ASSERT_EQ(List()->currentRow(), 0);
    const std::pair<Qt::Key, int> moves[] = {{Qt::Key_Right, 1}, {Qt::Key_End, 2}, {Qt::Key_Left, 1}, {Qt::Key_Home, 0}};
    for (const auto& [key, row] : moves) {
        shelltest::KeyClick(List(), key);
        EXPECT_EQ(List()->currentRow(), row) << key;
    }
    shelltest::KeyClick(List(), Qt::Key_C);
    EXPECT_EQ(List()->currentRow(), 2);
}
