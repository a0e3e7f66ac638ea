// Save, Save As and Delete through the command router, on real files.
#include <QFile>
#include <QString>

#include <set>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "image/RasterFormatTable.h"
#include "commands/CommandIds.h"
#include "DocTestFixture.h"
#include "commands/SettingsKeys.h"
#include "platform/SettingsStore.h"

using doctest::DocFixture;
using testsupport::MakePatternImage;
using testsupport::SamePixels;

namespace {

const std::vector<uint8_t> kStaleBytes = {'s', 't', 'a', 'l', 'e'};

QString SaveAsFolder() { return SettingsStore::ReadString(settings::kSection, settings::kSaveAsFileDir); }

bool HasPngSignature(const std::vector<uint8_t>& bytes) {
    return bytes.size() > 8 && bytes[0] == 0x89 && bytes[1] == 'P' && bytes[2] == 'N' && bytes[3] == 'G';
}

}  // namespace

class PictureDocumentFileCommands : public DocFixture {
protected:
    // A shown picture whose file was then replaced on disk, so that a real write shows.
    QString LoadThenMakeStale(const std::string& name) {
        const QString path = WritePicture(name, original);
        LoadShown(path);
        testsupport::WriteFileBytes(path.toStdString(), kStaleBytes);
        return path;
    }

    const RasterImage original = MakePatternImage(48, 32);
};

TEST_F(PictureDocumentFileCommands, UpdateRulesFollowThePicturesAndTheFile) {
    const QString path = WritePicture("shown.bmp", original);
    LoadShown(path);
    EXPECT_TRUE(router.QueryUpdate(cmd::ID_FILE_SAVE).enabled);
    EXPECT_TRUE(router.QueryUpdate(cmd::ID_FILE_SAVE_AS).enabled);
    EXPECT_TRUE(router.QueryUpdate(cmd::ID_DELETE).enabled);

    // Read-only: only Save As stays, and Save and Delete do nothing when sent anyway.
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0444), 0);
    const auto before = Bytes(path);
    EXPECT_FALSE(router.QueryUpdate(cmd::ID_FILE_SAVE).enabled);
    EXPECT_TRUE(router.QueryUpdate(cmd::ID_FILE_SAVE_AS).enabled);
    EXPECT_FALSE(router.QueryUpdate(cmd::ID_DELETE).enabled);
    router.Execute(cmd::ID_FILE_SAVE);
    router.Execute(cmd::ID_DELETE);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(Bytes(path), before);
}

TEST_F(PictureDocumentFileCommands, SaveAsksBeforeOverwritingTheSelectedFileAndNoKeepsIt) {
    const QString path = LoadThenMakeStale("Selected.bmp");
    browser.current = path;

    answers = {MessageAnswer::No};
    router.Execute(cmd::ID_FILE_SAVE);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].question);
    EXPECT_EQ(messages[0].text, "This will overwrite " + path + ".\n\nContinue?");
    EXPECT_EQ(Bytes(path), kStaleBytes);
    EXPECT_TRUE(browser.written.empty());

    answers = {MessageAnswer::Yes};
    router.Execute(cmd::ID_FILE_SAVE);
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_TRUE(SamePixels(Decoded(path), original));
    EXPECT_EQ(browser.written, std::vector<QString>{path}) << "the browser refreshes the file's cell";
}

// a.png and A.PNG are two files: the question is for the current one only.
TEST_F(PictureDocumentFileCommands, FileNamesInAnotherLetterCaseAreOtherFiles) {
    const QString lower = WritePicture("a.png", MakePatternImage(20, 10));
    const QString upper = WritePicture("A.PNG", MakePatternImage(30, 10));
    const auto upperBytes = Bytes(upper);
    const QString shown = LoadThenMakeStale("a.png");
    ASSERT_EQ(shown, lower);

    browser.current = upper;
    router.Execute(cmd::ID_FILE_SAVE);
    EXPECT_TRUE(messages.empty()) << "A.PNG is current, a.png is written";
    EXPECT_TRUE(SamePixels(Decoded(lower), original));
    EXPECT_EQ(Bytes(upper), upperBytes);

    browser.current = lower;
    answers = {MessageAnswer::No};
    router.Execute(cmd::ID_FILE_SAVE);
    EXPECT_EQ(Texts(), std::vector<QString>{"This will overwrite " + lower + ".\n\nContinue?"});
}

TEST_F(PictureDocumentFileCommands, SaveWritesWithoutAskingWhenAnotherFileIsSelectedOrTheOptionIsOff) {
    const QString path = LoadThenMakeStale("shown.bmp");
    browser.current = PathOf("other.bmp");
    router.Execute(cmd::ID_FILE_SAVE);
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(SamePixels(Decoded(path), original));

    testsupport::WriteFileBytes(path.toStdString(), kStaleBytes);
    browser.current = path;
    router.Execute(cmd::ID_CONFIRM_OVERWRITE);
    router.Execute(cmd::ID_FILE_SAVE);
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(SamePixels(Decoded(path), original));
}

TEST_F(PictureDocumentFileCommands, SaveAppliesTheLightValuesToTheFileButNeverToTheWorkingPicture) {
    const QString path = WritePicture("light.bmp", original);
    LoadShown(path);
    SetSlider(cmd::ID_BRIGHTNESS, 120);
    SetSlider(cmd::ID_CONTRAST, 90);
    router.Execute(cmd::ID_FILE_SAVE);
    EXPECT_TRUE(messages.empty());

    RasterImage expected(original);
    ASSERT_TRUE(expected.AdjustLight(20, -10));
    EXPECT_TRUE(SamePixels(Decoded(path), expected));
    EXPECT_FALSE(SamePixels(expected, original));
    EXPECT_TRUE(SamePixels(view->Document()->WorkPicture(), original));
}

TEST_F(PictureDocumentFileCommands, SaveUsesTheStoredJpegQualityAnd75WhenItIsOutOfRange) {
    const QString path = WritePicture("photo.bmp", MakePatternImage(64, 64));
    LoadShown(path);
    auto reference = [&](uint8_t q) {
        RasterImage copy(view->Document()->WorkPicture());
        copy.SetJpegQuality(q);
        const QString target = PathOf("reference.jpg");
        EXPECT_TRUE(copy.Save(QFile::encodeName(target).constData(), RASTER_FORMAT_JPG));
        return Bytes(target);
    };
    const QString jpeg = PathOf("photo.jpg");
    ASSERT_NE(reference(30), reference(75));

    SettingsStore::WriteInt(settings::kSection, settings::kJpegQuality, 30);
    ASSERT_TRUE(SaveShown(jpeg).ok);
    EXPECT_EQ(Bytes(jpeg), reference(30));

    SettingsStore::WriteInt(settings::kSection, settings::kJpegQuality, 150);
    ASSERT_TRUE(SaveShown(jpeg).ok);
    EXPECT_EQ(Bytes(jpeg), reference(75));
}

TEST_F(PictureDocumentFileCommands, SaveAsOffersTheFileInItsFolderAndTheExtensionDecidesTheFormat) {
    const QString path = WritePicture("shown.bmp", original);
    LoadShown(path);
    std::filesystem::create_directory(temp / "out");
    chosenPath = PathOf("out/copy.png");

    router.Execute(cmd::ID_FILE_SAVE_AS);
    ASSERT_EQ(requests.size(), 1u);
    const FileDialogRequest& request = requests[0];
    EXPECT_TRUE(request.save);
    EXPECT_EQ(request.folder, QString::fromStdString(temp.path().string()));
    EXPECT_EQ(request.fileName, "shown.bmp");
    EXPECT_EQ(request.defaultExtension, "jpg");
    EXPECT_EQ(request.filter,
              "JPEG files (*.jpg *.jpeg);;PNG files (*.png);;GIF files (*.gif);;Bitmap files (*.bmp);;WebP files (*.webp);;"
              "HEIF files (*.heic *.heif *.hif);;AVIF files (*.avif);;JPEG XL files (*.jxl)");
    EXPECT_EQ(request.filter, QString::fromStdString(RasterSaveFilter()));  // derived from the format table

    EXPECT_TRUE(HasPngSignature(Bytes(chosenPath)));
    EXPECT_TRUE(SamePixels(Decoded(chosenPath), original));
    EXPECT_EQ(view->Path(), chosenPath);
    EXPECT_EQ(SaveAsFolder(), PathOf("out"));
    EXPECT_EQ(browser.written, std::vector<QString>{chosenPath});

    // The stored folder is offered next time, and a later Save writes the new file.
    router.Execute(cmd::ID_FILE_SAVE_AS);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].folder, PathOf("out"));
    EXPECT_EQ(requests[1].fileName, "copy.png");
}

TEST_F(PictureDocumentFileCommands, CancelledSaveAsWritesNothing) {
    LoadShown(WritePicture("shown.bmp", original));
    chosenPath.clear();
    router.Execute(cmd::ID_FILE_SAVE_AS);
    EXPECT_EQ(requests.size(), 1u);
    EXPECT_TRUE(SaveAsFolder().isEmpty());
    EXPECT_EQ(view->Path(), PathOf("shown.bmp"));
    EXPECT_TRUE(messages.empty());
}

TEST_F(PictureDocumentFileCommands, FailedEncodeNamesFileAndReasonAndLeavesTheOldFileByteIdentical) {
    // GIF cannot hold a picture wider than 65535 pixels: the encoder refuses it.
    const QString wide = WritePicture("wide.bmp", MakePatternImage(65536, 128));
    LoadShown(wide);
    const QString old = WritePicture("old.gif", MakePatternImage(8, 8, 8));
    const auto before = Bytes(old);
    chosenPath = old;

    router.Execute(cmd::ID_FILE_SAVE_AS);
    EXPECT_EQ(Texts(), std::vector<QString>{"Could not save old.gif: GIF: pictures wider or higher than 65535 pixels "
                                            "cannot be saved."});
    EXPECT_EQ(Bytes(old), before);
    EXPECT_TRUE(browser.written.empty());
    EXPECT_EQ(view->Path(), wide);
    EXPECT_TRUE(SaveAsFolder().isEmpty());
    // Nothing is left behind beside the target.
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(temp.path())) names.insert(entry.path().filename());
    names.erase("settings");
    EXPECT_EQ(names, (std::set<std::string>{"old.gif", "wide.bmp"}));
}

TEST_F(PictureDocumentFileCommands, SaveOverAFolderFailsAndKeepsTheFolder) {
    LoadShown(WritePicture("shown.bmp", original));
    std::filesystem::create_directory(temp / "taken.png");
    testsupport::WriteFileBytes(temp / "taken.png" / "inside.txt", kStaleBytes);
    EXPECT_EQ(SaveShown(PathOf("taken.png")).error, "Could not save taken.png: is a directory.");
    EXPECT_EQ(testsupport::ReadFileBytes(temp / "taken.png" / "inside.txt"), kStaleBytes);
    EXPECT_EQ(view->Path(), PathOf("shown.bmp"));
}

TEST_F(PictureDocumentFileCommands, SaveIntoAReadOnlyFolderFailsAndKeepsTheOldFile) {
    if (geteuid() == 0) GTEST_SKIP() << "the super-user writes into read-only folders";
    std::filesystem::create_directory(temp / "locked");
    const QString path = WritePicture("locked/shown.bmp", original);
    LoadShown(path);
    SetSlider(cmd::ID_BRIGHTNESS, 150);
    const auto before = Bytes(path);
    ASSERT_EQ(chmod(QFile::encodeName(PathOf("locked")).constData(), 0555), 0);
    router.Execute(cmd::ID_FILE_SAVE);
    chmod(QFile::encodeName(PathOf("locked")).constData(), 0755);
    EXPECT_EQ(Texts(), std::vector<QString>{"Could not save shown.bmp: permission denied."});
    EXPECT_EQ(Bytes(path), before);
}

TEST_F(PictureDocumentFileCommands, DeleteAsksRemovesTheFileClearsTheViewAndTellsTheBrowser) {
    const QString path = WritePicture("gone.bmp", original);
    LoadShown(path);
    SetSlider(cmd::ID_BRIGHTNESS, 130);
    answers = {MessageAnswer::Yes};
    router.Execute(cmd::ID_DELETE);

    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].question);
    EXPECT_EQ(messages[0].text, "This will delete " + path + "\n\nContinue?");
    EXPECT_FALSE(std::filesystem::exists(path.toStdString()));
    EXPECT_FALSE(view->Document()->WorkPicture().IsValid());
    EXPECT_TRUE(view->Path().isEmpty());
    EXPECT_EQ(SliderPosition(cmd::ID_BRIGHTNESS), 100);
    EXPECT_EQ(browser.removed, std::vector<QString>{path});
}

TEST_F(PictureDocumentFileCommands, DeleteAnsweredNoKeepsTheFileAndThePicture) {
    const QString path = WritePicture("kept.bmp", original);
    LoadShown(path);
    const auto before = Bytes(path);
    answers = {MessageAnswer::No};
    router.Execute(cmd::ID_DELETE);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(Bytes(path), before);
    EXPECT_TRUE(view->PicturesValid());
    EXPECT_TRUE(browser.removed.empty());
}

TEST_F(PictureDocumentFileCommands, DeleteWithoutConfirmationDeletesAtOnce) {
    const QString path = WritePicture("quick.bmp", original);
    LoadShown(path);
    router.Execute(cmd::ID_CONFIRM_DELETE);
    router.Execute(cmd::ID_DELETE);
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(std::filesystem::exists(path.toStdString()));
    EXPECT_EQ(browser.removed, std::vector<QString>{path});
}

TEST_F(PictureDocumentFileCommands, DeleteThatFailsNamesFileAndReasonAndKeepsEverything) {
    if (geteuid() == 0) GTEST_SKIP() << "the super-user deletes from read-only folders";
    std::filesystem::create_directory(temp / "locked");
    const QString path = WritePicture("locked/stuck.bmp", original);
    LoadShown(path);
    ASSERT_EQ(chmod(QFile::encodeName(PathOf("locked")).constData(), 0555), 0);
    answers = {MessageAnswer::Yes};
    router.Execute(cmd::ID_DELETE);
    chmod(QFile::encodeName(PathOf("locked")).constData(), 0755);
    EXPECT_EQ(Texts().back(), "Could not delete stuck.bmp: permission denied.");
    EXPECT_TRUE(std::filesystem::exists(path.toStdString()));
    EXPECT_TRUE(view->PicturesValid());
    EXPECT_TRUE(browser.removed.empty());
}

TEST_F(PictureDocumentFileCommands, AChangedPictureIsOfferedForSavingAndCancelOrAFailedSaveKeepsIt) {
    const QString path = WritePicture("shown.bmp", original);
    const QString question = QStringLiteral("Save changes to shown.bmp?");
    LoadShown(path);
    EXPECT_FALSE(view->IsModified());
    EXPECT_TRUE(files.SaveModified());   // nothing changed: nothing asked
    EXPECT_TRUE(messages.empty());

    router.Execute(cmd::ID_MIRROR);
    ASSERT_TRUE(view->IsModified());
    EXPECT_EQ(router.QueryUpdate(cmd::ID_STATUSBAR_PANE_FILE).text, "*" + path);
    const auto unchanged = Bytes(path);
    struct Case {
        MessageAnswer answer;
        bool leaves;
        bool written;
    };
    for (const Case& c : {Case{MessageAnswer::Cancel, false, false}, Case{MessageAnswer::No, true, false}}) {
        messages.clear();
        answers = {c.answer};
        EXPECT_EQ(files.SaveModified(), c.leaves);
        ASSERT_EQ(Texts(), std::vector<QString>{question});
        EXPECT_EQ(Bytes(path), unchanged);
        EXPECT_TRUE(view->IsModified());
    }

    // Save fails (the file became read-only, and Save As is cancelled): the picture stays
    // changed and shown.
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0444), 0);
    answers = {MessageAnswer::Yes};
    chosenPath.clear();
    EXPECT_FALSE(files.SaveModified());
    EXPECT_EQ(requests.size(), 1u);
    EXPECT_TRUE(view->IsModified());
    EXPECT_EQ(view->Path(), path);
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0644), 0);

    // Save: written as Save writes it, and the mark goes.
    messages.clear();
    answers = {MessageAnswer::Yes, MessageAnswer::Yes};   // the question, then Save's own
    browser.current = path;
    EXPECT_TRUE(files.SaveModified());
    EXPECT_EQ(Texts(), (std::vector<QString>{question, "This will overwrite " + path + ".\n\nContinue?"}));
    EXPECT_FALSE(view->IsModified());
    RasterImage mirrored(original);
    mirrored.Mirror(false, true);
    EXPECT_TRUE(SamePixels(Decoded(path), mirrored));
    // Undoing past the saved picture marks it again.
    router.Execute(cmd::ID_EDIT_UNDO);
    EXPECT_TRUE(view->IsModified());
}

TEST_F(PictureDocumentFileCommands, TheQuestionCanBeTurnedOffAndStaysOff) {
    LoadShown(WritePicture("shown.bmp", original));
    router.Execute(cmd::ID_FLIP);
    EXPECT_EQ(router.QueryUpdate(cmd::ID_ASK_SAVE_CHANGES).checked, std::optional<bool>(true));
    router.Execute(cmd::ID_ASK_SAVE_CHANGES);
    EXPECT_EQ(router.QueryUpdate(cmd::ID_ASK_SAVE_CHANGES).checked, std::optional<bool>(false));
    EXPECT_TRUE(files.SaveModified());
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(FileCommands().m_askSaveChanges) << "new file commands read the stored option";
}

TEST_F(PictureDocumentFileCommands, SaveOverAFormatThatCannotBeWrittenOffersSaveAsWithTheJpegName) {
    // The program reads PPM files but writes none.
    const QString scan = PathOf("scan.ppm");
    std::vector<uint8_t> ppm = {'P', '6', '\n', '4', ' ', '3', '\n', '2', '5', '5', '\n'};
    ppm.resize(ppm.size() + 4 * 3 * 3, 0x80);
    testsupport::WriteFileBytes(scan.toStdString(), ppm);
    LoadShown(scan);
    router.Execute(cmd::ID_MIRROR);
    answers = {MessageAnswer::Yes};
    chosenPath = PathOf("scan.jpg");

    router.Execute(cmd::ID_FILE_SAVE);
    EXPECT_EQ(Texts(), std::vector<QString>{"Could not save scan.ppm: this program reads PNM pictures but cannot write "
                                            "them.\n\nSave the picture as scan.jpg instead?"});
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].fileName, "scan.jpg");
    EXPECT_EQ(Bytes(scan), ppm);
    EXPECT_EQ(view->Path(), chosenPath);
    EXPECT_EQ(Decoded(chosenPath).GetWidth(), 4u);
    EXPECT_FALSE(view->Document()->IsModified());

    // Answered No, nothing is written and the picture stays changed.
    LoadShown(scan);
    router.Execute(cmd::ID_MIRROR);
    messages.clear();
    router.Execute(cmd::ID_FILE_SAVE);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(requests.size(), 1u);
    EXPECT_TRUE(view->Document()->IsModified());
}

TEST_F(PictureDocumentFileCommands, SavingOverAHeicWithMorePicturesSaysWhatIsLost) {
    if (std::system("command -v heif-enc >/dev/null 2>&1") != 0) GTEST_SKIP() << "heif-enc is not installed";
    const QString png = WritePicture("a.png", MakePatternImage(32, 24));
    const QString burst = PathOf("burst.heic");
    const std::string command = "heif-enc -q 50 -o '" + burst.toStdString() + "' '" + png.toStdString() + "' '" +
                                png.toStdString() + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    LoadShown(burst);
    router.Execute(cmd::ID_MIRROR);
    const QString lost = "\n\nSaving over burst.heic keeps only the picture shown, in 8 bits a colour: the other "
                         "pictures it holds will be lost.";
    // The save question, when another picture is opened, and Save's own question.
    answers = {MessageAnswer::Cancel};
    EXPECT_FALSE(files.SaveModified());
    answers = {MessageAnswer::No};
    router.Execute(cmd::ID_FILE_SAVE);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, "Save changes to burst.heic?" + lost);
    EXPECT_EQ(messages[1].text, "This will overwrite " + burst + "." + lost + "\n\nContinue?");
    // Once saved, the file holds one picture and nothing more is said.
    answers = {MessageAnswer::Yes};
    router.Execute(cmd::ID_FILE_SAVE);
    EXPECT_FALSE(view->Document()->IsModified());
    EXPECT_EQ(view->Document()->ExtrasLostBySave(), 0u);
}
