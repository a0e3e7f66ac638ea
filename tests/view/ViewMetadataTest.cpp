// The view keeps a photo's metadata beside the working picture: through Cut (which sets the
// print size's dpi), Paste and Undo, into Save; shows tagged colours converted; and reports a
// block it could not read in the status bar.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <memory>

#include "MetadataFixtures.h"
#include "commands/CommandIds.h"
#include "platform/MessageService.h"
#include "platform/RasterQtBridge.h"
#include "platform/SettingsStore.h"
#include "RoutedViewFixture.h"
#include "view/PictureView.h"
#include "view/StatusPaneText.h"

namespace {

using namespace testsupport;

class ViewMetadataTest : public RoutedViewFixture {
protected:
    void Load(const std::filesystem::path& path) {
        m_view->LoadPicture(QFile::decodeName(path.c_str()));
        ASSERT_TRUE(m_view->PicturesValid());
    }
    // Cuts the preset's default box, which spans the whole 3:2 photo.
    void CutWithPreset(uint32_t preset) {
        m_view->Box().m_presetId = preset;
        m_view->Document()->PlaceCropBox();
        ASSERT_TRUE(m_view->Document()->CutToCropBox());
    }
    std::filesystem::path Save(const std::string& name) {
        const std::filesystem::path path = m_files / name;
        EXPECT_TRUE(m_view->Document()->Save(QFile::decodeName(path.c_str()), FileCommands::StoredJpegQuality()).ok);
        return path;
    }

    TempDir m_files;
};

TEST_F(ViewMetadataTest, CutWithAPrintSizeSavesItsDpiAndFreeKeepsTheSources) {
    const std::filesystem::path photo = TaggedPhoto(m_files, "photo.jpg", MakeDisplayP3Profile());
    ASSERT_FALSE(photo.empty());
    struct Case {
        uint32_t preset;
        const char* dpi;
    };
    // 1800 x 1200 for 6 x 4 inches; the corpus photo states 72 dpi.
    for (const Case c : {Case{cmd::ID_PRESET_6X4, "300"}, Case{cmd::ID_PRESET_FREE, "72"}}) {
        SCOPED_TRACE(c.preset);
        Load(photo);
        CutWithPreset(c.preset);
        EXPECT_EQ(m_view->Document()->WorkPicture().GetWidth(), 1800u);
        const std::filesystem::path saved = Save("cut.jpg");
        std::map<std::string, std::string> tags = ExifToolTags(m_files, saved);
        EXPECT_EQ(ExifToolValue(m_files, saved, "JFIF:XResolution"), c.dpi);
        EXPECT_EQ(ExifToolValue(m_files, saved, "IFD0:XResolution"), c.dpi);
        EXPECT_EQ(tags["Make"], "TestCam");
        EXPECT_EQ(tags["Orientation"], "Horizontal (normal)");
    }
}

TEST_F(ViewMetadataTest, MetadataFollowsThePictureThroughPasteAndUndo) {
    const std::filesystem::path photo = TaggedPhoto(m_files, "photo.jpg", MakeDisplayP3Profile());
    ASSERT_FALSE(photo.empty());
    Load(photo);
    const PictureMetadata loaded = m_view->Document()->Metadata();
    EXPECT_FALSE(loaded.exif.empty());
    EXPECT_FALSE(loaded.icc.empty());
    m_view->Box().m_presetId = cmd::ID_PRESET_FREE;
    m_view->Document()->PlaceCropBox();
    ASSERT_TRUE(m_view->Document()->CutToCropBox());
    RasterImage pasted = MakePatternImage(300, 200);
    ASSERT_TRUE(CopyToClipboard(pasted));
    ASSERT_TRUE(m_router->Execute(cmd::ID_EDIT_PASTE));
    EXPECT_TRUE(m_view->Document()->Metadata().Empty());
    ASSERT_TRUE(m_view->Document()->UndoPicture());
    EXPECT_EQ(m_view->Document()->Metadata().exif, loaded.exif);
    EXPECT_EQ(m_view->Document()->Metadata().icc, loaded.icc);
    EXPECT_EQ(ExifToolTags(m_files, Save("undone.png"))["Artist"], "Ann Example");
}

TEST_F(ViewMetadataTest, ATaggedPhotoIsShownInScreenColoursButKeepsItsNumbers) {
    const std::filesystem::path tagged = TaggedPhoto(m_files, "tagged.jpg", MakeDisplayP3Profile());
    const std::filesystem::path untagged = TaggedPhoto(m_files, "untagged.jpg", {});
    ASSERT_FALSE(tagged.empty());
    ASSERT_FALSE(untagged.empty());
    Load(untagged);
    const RasterImage plainWork(m_view->Document()->WorkPicture());
    const RasterImage plainView(m_view->ViewPicture());
    Load(tagged);
    EXPECT_TRUE(SamePixels(m_view->Document()->WorkPicture(), plainWork));
    EXPECT_FALSE(SamePixels(m_view->ViewPicture(), plainView));
}

TEST_F(ViewMetadataTest, AnUnreadableBlockIsLeftOutAndSaidInTheStatusBar) {
    std::vector<uint8_t> exif = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3};
    const std::filesystem::path damaged = m_files / "damaged.jpg";
    WriteFileBytes(damaged, JpegWithSegments({{0xE1, exif}}));
    Load(damaged);
    EXPECT_TRUE(m_view->Document()->MetadataDropped());
    EXPECT_TRUE(m_view->Document()->Metadata().exif.empty());
    const PaneText pane = ReadPaneText(m_router->QueryUpdate(cmd::ID_STATUSBAR_PANE_FILE));
    EXPECT_TRUE(pane.text.startsWith("Metadata could not be read")) << pane.text.toStdString();
    EXPECT_FALSE(pane.note.isEmpty());
    Save("resaved.jpg");
}

}  // namespace
