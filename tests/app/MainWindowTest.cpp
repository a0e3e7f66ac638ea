#include <gtest/gtest.h>

#include <QActionGroup>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTreeView>
#include <QApplication>
#include <QMenu>
#include <QSettings>
#include <QSplitter>

#include "app/MainWindow.h"
#include "app/RibbonWidgets.h"
#include "browser/BrowserPane.h"
#include "browser/ThumbnailList.h"
#include "image/RasterImage.h"
#include "view/PictureView.h"
#include "commands/CommandIds.h"
#include "app/MainRibbonBar.h"
#include "commands/SettingsKeys.h"
#include "platform/MessageService.h"
#include "platform/SettingsStore.h"
#include "ShellTestSupport.h"
#include "app/StatusBarPanes.h"
#include "app/VisualStyles.h"

using shelltest::ShellTest;

namespace {

// The look's colours dress the ribbon and the status bar.
void ExpectLook(const MainWindow& frame, uint32_t id) {
    const LookColours look = VisualStyleColours(id);
    EXPECT_EQ(CurrentVisualStyle(), id);
    EXPECT_EQ(CurrentLookColours(), look);
    EXPECT_EQ(frame.Ribbon()->palette().color(QPalette::ButtonText), look.text);
    EXPECT_EQ(frame.StatusBar()->palette().color(QPalette::WindowText), look.statusText);
    EXPECT_EQ(frame.Splitter()->handle(1)->palette().color(QPalette::Window), VisualStyleFrameColour(id));
}

int StoredLook() {
    return SettingsStore::ReadWorkspaceInt(settings::kApplicationLook, -1);
}

QAction* StyleAction(const MainRibbonBar& ribbon, uint32_t id) {
    for (QAction* action : ribbon.StyleMenu()->actions()) {
        if (action->property(CommandMenu::kIdProperty).toUInt() == id) return action;
    }
    return nullptr;
}

}  // namespace

TEST_F(ShellTest, StoredStyleOutsideTheFourBecomesBlackAndIsWrittenBack) {
    for (const int stored : {212, 219, -1, 0}) {
        SettingsStore::WriteWorkspaceInt(settings::kApplicationLook, stored);
        auto app = Start();
        ASSERT_NE(app->Window(), nullptr);
        EXPECT_EQ(app->Window()->ApplicationLook(), cmd::ID_VIEW_APPLOOK_OFF_2007_BLACK) << stored;
        ExpectLook(*app->Window(), cmd::ID_VIEW_APPLOOK_OFF_2007_BLACK);
        EXPECT_EQ(StoredLook(), 216) << stored;
    }
}

TEST_F(ShellTest, StoredStyleIsUsedAndWrittenAgainAtEveryStart) {
    SettingsStore::WriteWorkspaceInt(settings::kApplicationLook, 218);
    auto app = Start();
    ASSERT_NE(app->Window(), nullptr);
    EXPECT_EQ(app->Window()->ApplicationLook(), 218u);
    ExpectLook(*app->Window(), 218);
    EXPECT_EQ(StoredLook(), 218);
}

TEST_F(ShellTest, ChoosingAStyleStoresItAtOnceMarksItAndTheNextStartUsesIt) {
    {
        auto app = Start();
        MainRibbonBar* ribbon = app->Window()->Ribbon();
        ASSERT_NE(ribbon, nullptr);
        QAction* silver = StyleAction(*ribbon, cmd::ID_VIEW_APPLOOK_OFF_2007_SILVER);
        ASSERT_NE(silver, nullptr);
        EXPECT_EQ(silver->text(), QStringLiteral("Office 2007 (&Silver Style)"));
        silver->trigger();
        EXPECT_EQ(StoredLook(), 217);
        ExpectLook(*app->Window(), 217);
        EXPECT_EQ(app->Window()->windowTitle(), QStringLiteral("Norvane Snipwell"));

        ribbon->StyleMenu()->RefreshStates();
        for (const VisualStyle& style : kVisualStyles) {
            QAction* action = StyleAction(*ribbon, style.id);
            ASSERT_NE(action, nullptr);
            EXPECT_TRUE(action->isEnabled());
            EXPECT_EQ(action->isChecked(), style.id == cmd::ID_VIEW_APPLOOK_OFF_2007_SILVER) << style.id;
            ASSERT_NE(action->actionGroup(), nullptr);  // drawn with a radio mark
            EXPECT_TRUE(action->actionGroup()->isExclusive());
        }
    }
    auto again = Start();
    EXPECT_EQ(again->Window()->ApplicationLook(), 217u);
}

TEST(VisualStyles, TheFourLooksAreDistinctAndAnUnknownIdGetsTheBlackOne) {
    std::vector<LookColours> looks;
    for (const VisualStyle& style : kVisualStyles) looks.push_back(VisualStyleColours(style.id));
    for (size_t i = 0; i < looks.size(); ++i) {
        for (size_t j = i + 1; j < looks.size(); ++j) {
            EXPECT_NE(looks[i].ribbonTop, looks[j].ribbonTop) << i << " and " << j;
            EXPECT_NE(looks[i].frame, looks[j].frame) << i << " and " << j;
        }
        EXPECT_TRUE(looks[i].caption.isValid() && looks[i].hoverTop.isValid() && looks[i].statusText.isValid());
    }
    EXPECT_EQ(VisualStyleColours(3), VisualStyleColours(cmd::ID_VIEW_APPLOOK_OFF_2007_BLACK));
    EXPECT_EQ(VisualStyleFrameColour(3), VisualStyleFrameColour(cmd::ID_VIEW_APPLOOK_OFF_2007_BLACK));
    // Light tab texts on the black look's dark frame, the caption colour on the light ones.
    EXPECT_GT(VisualStyleColours(cmd::ID_VIEW_APPLOOK_OFF_2007_BLACK).tabText.lightness(), 200);
    EXPECT_EQ(VisualStyleColours(cmd::ID_VIEW_APPLOOK_OFF_2007_BLUE).tabText,
              VisualStyleColours(cmd::ID_VIEW_APPLOOK_OFF_2007_BLUE).caption);
}

TEST_F(ShellTest, StatusPanesAreTheThreeOfTheTableSizedToTheirTemplates) {
    auto app = Start();
    ShowAtUsualSize(app->Window());
    SnipwellStatusBar* bar = app->Window()->StatusBar();
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(bar->Panes().size(), 3u);
    const uint32_t ids[] = {120, 121, 32836};
    const char* labels[] = {"File", "Image", "Crop Box"};
    const char* templates[] = {"File Path: D:\\abcdefg\\abcdefg\\abcdefg\\abcdefg\\abcdefg",
                               "Image: W=99999, H=99999, W/H=99.99,,,,",
                               "Crop Box: W=99999, H=99999, W/H=99.99, Print Size=1234x1234, DPI=12345,,,,,"};
    for (size_t i = 0; i < 3; ++i) {
        StatusPane* pane = bar->Panes()[i];
        EXPECT_EQ(pane->Id(), ids[i]);
        EXPECT_EQ(pane->PaneLabel(), QLatin1String(labels[i]));
        const int needed = pane->fontMetrics().horizontalAdvance(QLatin1String(templates[i]));
        EXPECT_GE(pane->contentsRect().width(), needed) << labels[i];
        EXPECT_LE(pane->width(), needed + 16) << labels[i];
    }
    // The file pane is on the left, the two others on the right in order.
    EXPECT_LT(bar->Pane(120)->x(), bar->Pane(121)->x());
    EXPECT_LT(bar->Pane(121)->x(), bar->Pane(32836)->x());
}

TEST_F(ShellTest, StatusTextsComeFromTheActiveViewAndLongOnesAreCut) {
    auto app = Start();
    SnipwellStatusBar* bar = app->Window()->StatusBar();
    app->Router().RunUpdatePass();
    // With no picture, the picture view's own update handlers answer.
    EXPECT_EQ(bar->Pane(120)->text(), QString());
    EXPECT_EQ(bar->Pane(121)->text(), QStringLiteral("Image:"));
    EXPECT_EQ(bar->Pane(32836)->text(), QStringLiteral("Crop Box:"));

    CommandHandlers view;
    QString path = QStringLiteral("/short.jpg");
    view.OnUpdate(cmd::ID_STATUSBAR_PANE_FILE, [&](CommandUpdate& u) { u.text = path; });
    app->Router().SetActiveView(&view);
    app->Router().RunUpdatePass();
    EXPECT_EQ(bar->Pane(120)->text(), path);

    path = QStringLiteral("/home/someone/Pictures/") + QString(200, QLatin1Char('x')) + QStringLiteral(".jpg");
    app->Router().RunUpdatePass();
    StatusPane* file = bar->Pane(120);
    EXPECT_EQ(file->FullText(), path);
    EXPECT_NE(file->text(), path);
    EXPECT_TRUE(file->text().startsWith(QStringLiteral("/home/someone/")));
    EXPECT_LE(file->fontMetrics().horizontalAdvance(file->text()), file->contentsRect().width());
    // What the active view does not answer, the picture view does; panes nobody answers for
    // are empty.
    EXPECT_EQ(bar->Pane(121)->text(), QStringLiteral("Image:"));
    app->Router().SetPictureView(nullptr);
    app->Router().RunUpdatePass();
    EXPECT_EQ(bar->Pane(121)->text(), QString());
    app->Router().SetPictureView(&app->Window()->View()->Handlers());
    app->Router().SetActiveView(nullptr);
}

TEST_F(ShellTest, StatusBarMenuHidesAndShowsEachPaneByItsLabel) {
    auto app = Start();
    SnipwellStatusBar* bar = app->Window()->StatusBar();
    std::unique_ptr<QMenu> menu(bar->CreatePaneMenu(nullptr));
    ASSERT_EQ(menu->actions().size(), 3);
    QStringList labels;
    for (QAction* action : menu->actions()) {
        labels << action->text();
        EXPECT_TRUE(action->isChecked());
    }
    EXPECT_EQ(labels, (QStringList{"File", "Image", "Crop Box"}));
    menu->actions()[1]->trigger();
    EXPECT_FALSE(bar->Pane(121)->isVisible());
    EXPECT_TRUE(bar->Pane(32836)->isVisible());
    std::unique_ptr<QMenu> second(bar->CreatePaneMenu(nullptr));
    EXPECT_FALSE(second->actions()[1]->isChecked());
    second->actions()[1]->trigger();
    EXPECT_TRUE(bar->Pane(121)->isVisible());
}

TEST_F(ShellTest, BrowserPaneKeepsItsWidthWhenTheWindowGrows) {
    auto app = Start();
    MainWindow* frame = app->Window();
    frame->resize(1600, 900);
    QApplication::processEvents();
    EXPECT_EQ(frame->Splitter()->sizes().value(0), MainWindow::kBrowserPaneWidth);
    EXPECT_GT(frame->Splitter()->sizes().value(1), 1000);
}

TEST_F(ShellTest, F6AndShiftF6MoveTheFocusBetweenThePanesAndTheActiveViewFollows) {
    auto app = Start();
    MainWindow* frame = app->Window();
    QApplication::setActiveWindow(frame);
    frame->View()->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(frame->View()->hasFocus());

    shelltest::KeyClick(frame->View(), Qt::Key_F6);
    EXPECT_TRUE(frame->Browser()->isAncestorOf(QApplication::focusWidget()) ||
                frame->Browser() == QApplication::focusWidget());
    EXPECT_NE(app->Router().ActiveView(), &frame->View()->Handlers());

    shelltest::KeyClick(QApplication::focusWidget(), Qt::Key_F6, Qt::ShiftModifier);
    EXPECT_TRUE(frame->View()->hasFocus());
    EXPECT_EQ(app->Router().ActiveView(), &frame->View()->Handlers());
}

TEST_F(ShellTest, OpeningAPictureNamesItInTheTitleFillsTheStatusPanesAndEnablesThePictureCommands) {
    auto app = Start();
    MainWindow* frame = app->Window();
    MainRibbonBar* ribbon = frame->Ribbon();
    app->Router().RunUpdatePass();
    EXPECT_FALSE(ribbon->FindElementById(cmd::ID_ROTATE_LEFT)->Widget()->isEnabled());

    const QString path = QStringLiteral(SNIPWELL_CORPUS "/exif-orientation/Landscape_0.jpg");
    frame->View()->LoadPicture(path);
    app->Router().RunUpdatePass();
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Landscape_0.jpg - Norvane Snipwell"));
    EXPECT_EQ(frame->StatusBar()->Pane(cmd::ID_STATUSBAR_PANE_FILE)->FullText(), path);
    EXPECT_TRUE(frame->StatusBar()->Pane(cmd::ID_STATUSBAR_PANE_IMAGE)->FullText().startsWith(QStringLiteral("Image: W=")));
    EXPECT_TRUE(ribbon->FindElementById(cmd::ID_ROTATE_LEFT)->Widget()->isEnabled());
    EXPECT_TRUE(ribbon->FindElementById(cmd::ID_CUT)->Widget()->isEnabled());
    EXPECT_FALSE(ribbon->FindElementById(cmd::ID_WINDOW_MANAGER)->Widget()->isEnabled());
}

TEST_F(ShellTest, PictureCommandsAndStatusTextsWorkWhereverTheKeyboardFocusIs) {
    auto app = Start();
    MainWindow* frame = app->Window();
    RasterImage picture;
    ASSERT_TRUE(picture.Create(320, 200, 24, RASTER_FORMAT_PNG));
    const QString path = m_dir.filePath(QStringLiteral("shown.png"));
    ASSERT_TRUE(picture.Save(QFile::encodeName(path).constData(), RASTER_FORMAT_PNG));
    frame->View()->LoadPicture(path);
    ASSERT_TRUE(frame->View()->PicturesValid());

    auto* picker = qobject_cast<BrowserPane*>(frame->Browser());
    ASSERT_NE(picker, nullptr);
    MainRibbonBar* ribbon = frame->Ribbon();
    ribbon->SetActiveCategory(ribbon->Categories()[1]);   // Options, with the quality box
    auto* quality = dynamic_cast<RibbonEdit*>(ribbon->FindElementById(cmd::ID_JPEG_QUALITY));
    ASSERT_NE(quality, nullptr);

    const std::pair<const char*, QWidget*> targets[] = {
        {"folder tree", picker->Tree()}, {"quality box", quality->Editor()}, {"thumbnail list", picker->List()}};
    for (const auto& [name, target] : targets) {
        QApplication::setActiveWindow(frame);
        target->setFocus(Qt::MouseFocusReason);
        QApplication::processEvents();
        ASSERT_TRUE(target->hasFocus()) << name;
        app->Router().RunUpdatePass();
        for (uint32_t id : {cmd::ID_CUT, cmd::ID_ROTATE_LEFT, cmd::ID_SEPIA, cmd::ID_SHAPE_OVAL}) {
            EXPECT_TRUE(app->Router().QueryUpdate(id).enabled) << name << " " << id;
        }
        for (uint32_t id : {cmd::ID_STATUSBAR_PANE_FILE, cmd::ID_STATUSBAR_PANE_IMAGE, cmd::ID_STATUSBAR_PANE_CROPBOX}) {
            EXPECT_NE(frame->StatusBar()->Pane(id)->FullText().size(), 0) << name << " " << id;
        }
        EXPECT_EQ(frame->StatusBar()->Pane(cmd::ID_STATUSBAR_PANE_FILE)->FullText(), path) << name;
    }
    // The ribbon's control never became the view the commands go to first.
    EXPECT_NE(app->Router().ActiveView(), nullptr);
}

TEST_F(ShellTest, AChangedPictureIsOfferedForSavingOnEveryWayOut) {
    auto app = Start();
    MainWindow* frame = app->Window();
    RasterImage picture;
    ASSERT_TRUE(picture.Create(320, 200, 24, RASTER_FORMAT_PNG));
    const QString shown = m_dir.filePath(QStringLiteral("shown.png"));
    const QString other = m_dir.filePath(QStringLiteral("other.png"));
    for (const QString& path : {shown, other}) {
        ASSERT_TRUE(RasterImage(picture).Save(QFile::encodeName(path).constData(), RASTER_FORMAT_PNG));
    }
    frame->View()->LoadPicture(shown);
    app->Router().Execute(cmd::ID_MIRROR);
    ASSERT_TRUE(frame->View()->IsModified());
    app->Router().RunUpdatePass();
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("*shown.png - Norvane Snipwell"));

    MessageAnswer answer = MessageAnswer::Cancel;
    QStringList asked;
    MessageService::SetAnswerer([&](const QString& text, bool) {
        asked << text;
        return answer;
    });
    auto* picker = qobject_cast<BrowserPane*>(frame->Browser());
    ASSERT_NE(picker, nullptr);
    QImage pasted(40, 30, QImage::Format_RGB32);
    pasted.fill(Qt::red);
    QGuiApplication::clipboard()->setImage(pasted);
    // Cancel keeps the picture on each way out: another thumbnail, a paste, closing.
    emit picker->pictureChosen(other);
    app->Router().Execute(cmd::ID_EDIT_PASTE);
    EXPECT_FALSE(frame->close());
    EXPECT_EQ(asked, QStringList(3, QStringLiteral("Save changes to shown.png?")));
    EXPECT_EQ(frame->View()->Path(), shown);
    EXPECT_TRUE(frame->View()->IsModified());
    EXPECT_TRUE(frame->isVisible());

    // Don't Save leaves it.
    answer = MessageAnswer::No;
    emit picker->pictureChosen(other);
    EXPECT_EQ(frame->View()->Path(), other);
    EXPECT_FALSE(frame->View()->IsModified());
    EXPECT_EQ(asked.size(), 4);
}
