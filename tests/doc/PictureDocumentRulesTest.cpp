// The document's rules that need no picture: file usability, the JPEG quality text and the
// stored quality, the confirmation toggles and the empty File Open.
#include <QFile>
#include <QString>

#include <sys/stat.h>
#include <unistd.h>

#include "commands/CommandIds.h"
#include "DocTestFixture.h"
#include "commands/SettingsKeys.h"
#include "platform/SettingsStore.h"

using doctest::DocFixture;

namespace {

int StoredQualityValue() { return SettingsStore::ReadInt(settings::kSection, settings::kJpegQuality, -999); }

}  // namespace

using PictureDocumentRules = DocFixture;

TEST_F(PictureDocumentRules, FileIsUsableOnlyWhenItIsAnExistingWritableRegularFile) {
    const QString file = PathOf("picture.jpg");
    testsupport::WriteFileBytes(file.toStdString(), {1, 2, 3});
    EXPECT_TRUE(FileCommands::FileUsable(file));

    EXPECT_FALSE(FileCommands::FileUsable(QString()));
    EXPECT_FALSE(FileCommands::FileUsable(PathOf("missing.jpg")));
    std::filesystem::create_directory(temp / "folder.jpg");
    EXPECT_FALSE(FileCommands::FileUsable(PathOf("folder.jpg")));

    // Read-only for everybody: not usable, even for a user whom the system lets write anyway.
    ASSERT_EQ(chmod(QFile::encodeName(file).constData(), 0444), 0);
    EXPECT_FALSE(FileCommands::FileUsable(file));
    // Writable by its owner only, and the test runs as that owner.
    ASSERT_EQ(chmod(QFile::encodeName(file).constData(), 0644), 0);
    EXPECT_TRUE(FileCommands::FileUsable(file));
}

TEST_F(PictureDocumentRules, JpegQualityTextIsReadAsATrimmedDecimalWithNoNumberOrOutOfRangeGiving75) {
    EXPECT_EQ(FileCommands::ParseJpegQuality(" 90 "), 90);
    EXPECT_EQ(FileCommands::ParseJpegQuality("\t100\n"), 100);
    EXPECT_EQ(FileCommands::ParseJpegQuality("+40"), 40);
    EXPECT_EQ(FileCommands::ParseJpegQuality("0"), 0);
    EXPECT_EQ(FileCommands::ParseJpegQuality("abc"), 75);  // no number: as empty
    EXPECT_EQ(FileCommands::ParseJpegQuality("12abc"), 12);
    EXPECT_EQ(FileCommands::ParseJpegQuality("- 5"), 75);
    EXPECT_EQ(FileCommands::ParseJpegQuality("150"), 75);
    EXPECT_EQ(FileCommands::ParseJpegQuality("101"), 75);
    EXPECT_EQ(FileCommands::ParseJpegQuality("-5"), 75);
    EXPECT_EQ(FileCommands::ParseJpegQuality(""), 75);
    EXPECT_EQ(FileCommands::ParseJpegQuality("   "), 75);
    EXPECT_EQ(FileCommands::ParseJpegQuality("99999999999999999999999"), 75);
    EXPECT_EQ(FileCommands::ParseJpegQuality("-99999999999999999999999"), 75);
}

TEST_F(PictureDocumentRules, StoredJpegQualityOutsideTheRangeReadsAs75WithoutRewritingIt) {
    EXPECT_EQ(FileCommands::StoredJpegQuality(), 75);
    for (int outside : {150, 101, -1}) {
        SettingsStore::WriteInt(settings::kSection, settings::kJpegQuality, outside);
        EXPECT_EQ(FileCommands::StoredJpegQuality(), 75) << outside;
        EXPECT_EQ(StoredQualityValue(), outside);
    }
    for (int inside : {0, 40, 100}) {
        SettingsStore::WriteInt(settings::kSection, settings::kJpegQuality, inside);
        EXPECT_EQ(FileCommands::StoredJpegQuality(), inside);
    }
}

TEST_F(PictureDocumentRules, JpegQualityBoxTextIsStoredAsParsedAndReportedBack) {
    // Out of range, empty or no number at all gives 75: a stored 0 would ruin the next JPEG.
    for (const auto& [text, stored] : {std::pair{" 90 ", 90}, std::pair{"150", 75}, std::pair{"12abc", 12},
                                       std::pair{"abc", 75}, std::pair{"", 75}, std::pair{"-", 75}, std::pair{"0", 0}}) {
        EXPECT_TRUE(router.Execute(cmd::ID_JPEG_QUALITY, CommandValue(QString::fromLatin1(text))));
        EXPECT_EQ(StoredQualityValue(), stored) << text;
        EXPECT_EQ(router.QueryUpdate(cmd::ID_JPEG_QUALITY).value, stored) << text;
        EXPECT_EQ(files.JpegQuality(), stored) << text;
    }
    // A number from a control is checked against the range the same way.
    router.Execute(cmd::ID_JPEG_QUALITY, CommandValue(101));
    EXPECT_EQ(StoredQualityValue(), 75);
}

TEST_F(PictureDocumentRules, ConfirmationTogglesStartOnAndFlipWithTheirCheckMarks) {
    for (uint32_t id : {cmd::ID_CONFIRM_OVERWRITE, cmd::ID_CONFIRM_DELETE}) {
        EXPECT_EQ(router.QueryUpdate(id).checked, std::optional<bool>(true)) << id;
        router.Execute(id);
        EXPECT_EQ(router.QueryUpdate(id).checked, std::optional<bool>(false)) << id;
        router.Execute(id);
        EXPECT_EQ(router.QueryUpdate(id).checked, std::optional<bool>(true)) << id;
    }
    router.Execute(cmd::ID_CONFIRM_DELETE);
    EXPECT_TRUE(files.m_confirmOverwrite);
    EXPECT_FALSE(files.m_confirmDelete);
}

TEST_F(PictureDocumentRules, FileOpenIsHandledAndDoesNothing) {
    EXPECT_TRUE(router.Execute(cmd::ID_FILE_OPEN));
    EXPECT_TRUE(router.QueryUpdate(cmd::ID_FILE_OPEN).enabled);
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(requests.empty());
}

TEST_F(PictureDocumentRules, WithoutAPictureSaveSaveAsAndDeleteAreDisabledAndDoNothing) {
    for (uint32_t id : {cmd::ID_FILE_SAVE, cmd::ID_FILE_SAVE_AS, cmd::ID_DELETE}) {
        EXPECT_FALSE(router.QueryUpdate(id).enabled) << id;
        router.Execute(id);
    }
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(requests.empty());
}
