#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include "platform/AntiAliasedDrawing.h"
#include "platform/FileDialogService.h"
#include "platform/MessageService.h"
#include "platform/SettingsStore.h"
#include "TestSupport.h"

namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override { SettingsStore::UseFolder(QString::fromStdString(m_dir.path().string())); }
    void TearDown() override { SettingsStore::UseFolder(QString()); }
    testsupport::TempDir m_dir;
};

}  // namespace

TEST_F(SettingsStoreTest, MissingKeysGiveTheirDefaultsAndWriteNothing) {
    EXPECT_EQ(SettingsStore::ReadInt("Settings", "JPEG Quality", 75), 75);
    EXPECT_EQ(SettingsStore::ReadString("Settings", "SaveAsFileDir"), QString());
    EXPECT_EQ(SettingsStore::ReadWorkspaceInt("ApplicationLook", 216), 216);
    EXPECT_TRUE(QDir(QString::fromStdString(m_dir.path().string())).entryList(QDir::Files).isEmpty());
}

TEST_F(SettingsStoreTest, ValuesRoundTripPerSection) {
    SettingsStore::WriteInt("Settings", "JPEG Quality", 150);
    SettingsStore::WriteString("Settings", "SaveAsFileDir", "/home/u/Pictures/out put");
    SettingsStore::WriteWorkspaceInt("ApplicationLook", 218);
    EXPECT_EQ(SettingsStore::ReadInt("Settings", "JPEG Quality", 75), 150);  // range rules are the reader's
    EXPECT_EQ(SettingsStore::ReadString("Settings", "SaveAsFileDir"), "/home/u/Pictures/out put");
    EXPECT_EQ(SettingsStore::ReadWorkspaceInt("ApplicationLook", 216), 218);
    EXPECT_EQ(SettingsStore::ReadInt("Workspace", "JPEG Quality", 7), 7);  // sections are separate
}

TEST_F(SettingsStoreTest, NonNumericIntegersReadAsTheDefault) {
    SettingsStore::WriteString("Settings", "AutoHideCropbox", "yes");
    EXPECT_EQ(SettingsStore::ReadInt("Settings", "AutoHideCropbox", 0), 0);
    SettingsStore::WriteString("Settings", "AutoHideCropbox", " -1 ");
    EXPECT_EQ(SettingsStore::ReadInt("Settings", "AutoHideCropbox", 0), -1);
}

TEST_F(SettingsStoreTest, WritingTheStoredValueAgainLeavesTheFileAlone) {
    SettingsStore::WriteWorkspaceInt("ApplicationLook", 216);
    SettingsStore::WriteString("Settings", "PicPickerFolder", "/home/u/Pictures");
    const QString path = QDir(QString::fromStdString(m_dir.path().string())).filePath("Norvane Snipwell.ini");
    const QDateTime longAgo(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC);
    auto ageFile = [&] {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(longAgo, QFileDevice::FileModificationTime));
    };
    ageFile();
    SettingsStore::WriteWorkspaceInt("ApplicationLook", 216);
    SettingsStore::WriteString("Settings", "PicPickerFolder", "/home/u/Pictures");
    EXPECT_EQ(QFileInfo(path).lastModified().toUTC(), longAgo) << "an unchanged value rewrote the store";

    SettingsStore::WriteString("Settings", "PicPickerFolder", "/home/u/Other");
    EXPECT_NE(QFileInfo(path).lastModified().toUTC(), longAgo);
    EXPECT_EQ(SettingsStore::ReadString("Settings", "PicPickerFolder"), "/home/u/Other");
    ageFile();
    SettingsStore::WriteWorkspaceInt("ApplicationLook", 217);
    EXPECT_EQ(SettingsStore::ReadWorkspaceInt("ApplicationLook", 0), 217);
    EXPECT_NE(QFileInfo(path).lastModified().toUTC(), longAgo);
}

// The dialog offers files under a filter whatever the letter case of their extensions, as
// cameras write them in capitals; files no filter names stay hidden.
TEST(FileDialogService, TheFiltersMatchExtensionsInAnyLetterCase) {
    testsupport::TempDir dir;
    const QString folder = QString::fromStdString(dir.path().string());
    for (const char* name : {"IMG_0001.JPG", "b.Png", "c.gif", "notes.txt"}) {
        QFile file(folder + QLatin1Char('/') + QLatin1String(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QFileDialog dialog;
    auto* model = dialog.findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    bool loaded = false;
    QObject::connect(model, &QFileSystemModel::directoryLoaded, [&](const QString& path) { loaded |= path == folder; });

    FileDialogRequest request;
    request.folder = folder;
    request.filter = QStringLiteral("Pictures (*.jpg *.png);;Text (*.txt)");
    FileDialogService::Prepare(dialog, request);
    EXPECT_EQ(dialog.nameFilters(), QStringList({"Pictures (*.jpg *.png)", "Text (*.txt)"}));

    QElapsedTimer clock;
    clock.start();
    while (!loaded && clock.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_TRUE(loaded);
    QCoreApplication::processEvents();
    const QModelIndex root = model->index(folder);
    QStringList shown;
    for (int row = 0; row < model->rowCount(root); ++row) shown << model->index(row, 0, root).data().toString();
    shown.sort();
    EXPECT_EQ(shown, QStringList({"IMG_0001.JPG", "b.Png"}));
}

TEST(FileDialogService, ScriptedChooserSeesTheRequest) {
    FileDialogRequest seen;
    FileDialogService::SetChooser([&](const FileDialogRequest& r) {
        seen = r;
        return QStringLiteral("/tmp/out.png");
    });
    FileDialogRequest request;
    request.save = true;
    request.folder = "/tmp";
    request.defaultExtension = "jpg";
    EXPECT_EQ(FileDialogService::Choose(request), "/tmp/out.png");
    EXPECT_TRUE(seen.save);
    EXPECT_EQ(seen.defaultExtension, "jpg");
    FileDialogService::SetChooser({});
}

TEST(MessageService, ScriptedAnswersDecideQuestions) {
    std::vector<std::pair<QString, bool>> asked;
    MessageService::SetAnswerer([&](const QString& text, bool question) {
        asked.emplace_back(text, question);
        return question ? MessageAnswer::No : MessageAnswer::Ok;
    });
    MessageService::ShowMessage("Failed.");
    EXPECT_FALSE(MessageService::AskYesNo("This will delete x\n\nContinue?"));
    MessageService::SetAnswerer([](const QString&, bool) { return MessageAnswer::Yes; });
    EXPECT_TRUE(MessageService::AskYesNo("Sure?"));
    MessageService::SetAnswerer({});
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0], std::make_pair(QString("Failed."), false));
    EXPECT_TRUE(asked[1].second);
}

TEST(GreySurface, FillsShapesWithAntiAliasedEdgesTopRowFirst) {
    GreySurface surface(40, 20);
    ASSERT_TRUE(surface.IsValid());
    surface.FillRect(0, 0, 10, 5, 255);  // whole pixels: hard edges
    EXPECT_EQ(surface.Row(0)[0], 255);
    EXPECT_EQ(surface.Row(4)[9], 255);
    EXPECT_EQ(surface.Row(5)[0], 0);
    EXPECT_EQ(surface.Row(0)[10], 0);
    surface.FillEllipse(20, 0, 20, 20, 255);
    EXPECT_EQ(surface.Row(10)[30], 255);
    EXPECT_EQ(surface.Row(0)[20], 0);
    int between = 0;
    for (int x = 20; x < 40; ++x) between += surface.Row(3)[x] > 0 && surface.Row(3)[x] < 255;
    EXPECT_GE(between, 2);
    // Stored order: the bottom row first.
    const std::vector<uint8_t> bytes = surface.BottomUpBytes();
    EXPECT_EQ(bytes[size_t(19) * 40 + 0], 255);  // top-left pixel is in the last stored row
    EXPECT_EQ(bytes[0], 0);
}
