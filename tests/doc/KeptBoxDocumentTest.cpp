// A photo keeps its box: placed, kept in the sidecar beside it, back when the photo opens again
// (through EXIF orientation and another window size), read from another tool's crop, applied by
// Save over, kept for the session when no sidecar can be written, and never trusted blindly.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdlib>
#include <string>

#include "TestSupport.h"
#include "commands/CommandIds.h"
#include "doc/KeptBoxes.h"
#include "doc/PictureDocument.h"
#include "image/metadata/CropSidecar.h"
#include "platform/SettingsStore.h"

namespace {

bool HaveExiftool() { return std::system("command -v exiftool >/dev/null 2>&1") == 0; }

bool Exiftool(const std::string& arguments) {
    return std::system(("exiftool -q -q -overwrite_original " + arguments + " >/dev/null 2>&1").c_str()) == 0;
}

class KeptBoxDocument : public ::testing::Test {
protected:
    void SetUp() override {
        SettingsStore::UseFolder(QString::fromStdString(m_temp.path().string()));
        KeptBoxes::Instance().SetSidecarsOn(true);
    }
    void TearDown() override { SettingsStore::UseFolder(QString()); }

    // A 600 x 400 JPEG photo; orientation 6 stands it up as 400 x 600.
    QString Photo(const std::string& name, int orientation = 1) {
        const std::string path = (m_temp / name).string();
        RasterImage picture = testsupport::MakePatternImage(600, 400);
        EXPECT_TRUE(picture.Save(path.c_str(), RASTER_FORMAT_JPG));
        if (orientation != 1) {
            EXPECT_TRUE(Exiftool("-Orientation#=" + std::to_string(orientation) + " '" + path + "'"));
        }
        return QString::fromStdString(path);
    }
    static void Open(PictureDocument& document, const QString& path, cropbox::Size area = {1000, 800}) {
        document.SetViewArea(area);
        ASSERT_TRUE(document.Load(path).ok);
    }
    // The user picks an oval 6x4 box with a 5 % border, makes it smaller and moves it a little.
    static void PlaceOvalBox(PictureDocument& document) {
        cropbox::CropBoxModel& box = document.Box();
        box.m_shape = cropbox::kShapeOval;
        box.m_presetId = cmd::ID_PRESET_6X4;
        box.m_borderId = cmd::ID_BORDER_5;
        box.m_showCropBox = true;
        document.PlaceCropBox();
        const cropbox::Rect& placed = box.m_crop;
        box.m_crop = cropbox::Rect{placed.left + 60 + 9, placed.top + 40 - 7, placed.right - 60 + 9, placed.bottom - 40 - 7};
        document.KeepBox(true);
    }
    static std::string Sidecar(const QString& photo) { return SidecarPathOf(QFile::encodeName(photo).toStdString()); }

    testsupport::TempDir m_temp;
};

void ExpectNear(const cropbox::Rect& a, const cropbox::Rect& b, int pixels) {
    EXPECT_NEAR(a.left, b.left, pixels);
    EXPECT_NEAR(a.top, b.top, pixels);
    EXPECT_NEAR(a.right, b.right, pixels);
    EXPECT_NEAR(a.bottom, b.bottom, pixels);
}

TEST_F(KeptBoxDocument, ABoxIsBackWithItsChoicesWhenThePhotoOpensAgainInAnotherWindow) {
    if (!HaveExiftool()) GTEST_SKIP() << "exiftool is not installed";
    const QString path = Photo("turned.jpg", 6);
    cropbox::Rect placed;
    {
        PictureDocument document;
        Open(document, path);
        ASSERT_EQ(document.PictureSize(), (cropbox::Size{400, 600}));
        PlaceOvalBox(document);
        placed = document.BoxInPicture();
        ASSERT_FALSE(placed.IsEmpty());
        EXPECT_TRUE(document.HasKeptBox());
        EXPECT_TRUE(document.BoxNote().isEmpty()) << document.BoxNote().toStdString();
    }
    ASSERT_TRUE(QFileInfo::exists(QString::fromStdString(Sidecar(path))));
    const auto kept = ReadSidecarCrop(QFile::encodeName(path).toStdString());
    ASSERT_TRUE(kept.has_value());
    // Fractions of the stored (landscape) picture, which the photo's portrait box lies across.
    EXPECT_EQ(kept->placedWidth, 600u);
    EXPECT_EQ(kept->placedHeight, 400u);
    EXPECT_GT(kept->right - kept->left, kept->bottom - kept->top);

    // Another document in a window of another shape, and a choice of other boxes meanwhile.
    PictureDocument again;
    again.Box().m_shape = cropbox::kShapeRectangle;
    again.Box().m_presetId = cmd::ID_PRESET_FREE;
    Open(again, path, {700, 900});
    EXPECT_TRUE(again.HasKeptBox());
    EXPECT_EQ(again.Box().m_shape, cropbox::kShapeOval);
    EXPECT_EQ(again.Box().m_presetId, cmd::ID_PRESET_6X4);
    EXPECT_EQ(again.Box().m_borderId, cmd::ID_BORDER_5);
    // The view maps client pixels to picture pixels at about one to one here: a pixel or two.
    ExpectNear(again.BoxInPicture(), placed, 2);
}

TEST_F(KeptBoxDocument, AnotherToolsCropIsAFreeBoxAndSaveOverAppliesIt) {
    if (!HaveExiftool()) GTEST_SKIP() << "exiftool is not installed";
    const QString path = Photo("other.jpg");
    ASSERT_TRUE(Exiftool("-o '" + Sidecar(path) +
                         "' -XMP-crs:HasCrop=True -XMP-crs:CropLeft=0.1 -XMP-crs:CropTop=0.25 "
                         "-XMP-crs:CropRight=0.6 -XMP-crs:CropBottom=0.75 -XMP-dc:Title=Kept '" +
                         path.toStdString() + "'"));
    PictureDocument document;
    Open(document, path);
    EXPECT_EQ(document.Box().m_presetId, cmd::ID_PRESET_FREE);
    ExpectNear(document.BoxInPicture(), cropbox::Rect{60, 100, 360, 300}, 1);

    // Save As writes a copy: the photo's box stays beside the photo.
    const QString copy = QString::fromStdString((m_temp / "copy.jpg").string());
    ASSERT_TRUE(document.Save(copy, 90).ok);
    EXPECT_TRUE(ReadSidecarCrop(QFile::encodeName(path).toStdString()).has_value());

    // Cut, then Save over the photo: the box has been applied and leaves its sidecar, whose
    // other fields stay.
    Open(document, path);
    ASSERT_TRUE(document.CutToCropBox());
    ASSERT_TRUE(document.Save(path, 90).ok);
    EXPECT_FALSE(ReadSidecarCrop(QFile::encodeName(path).toStdString()).has_value());
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(Sidecar(path))));
    PictureDocument reopened;
    Open(reopened, path);
    EXPECT_FALSE(reopened.HasKeptBox());
}

TEST_F(KeptBoxDocument, AFolderThatCannotTakeASidecarKeepsTheBoxForTheSession) {
    const QString path = Photo("card.jpg");
    // A folder where the sidecar would go: no file can be written there (root writes anywhere
    // it may, so permissions would not stop it).
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(Sidecar(path))));
    cropbox::Rect placed;
    {
        PictureDocument document;
        Open(document, path);
        PlaceOvalBox(document);
        placed = document.BoxInPicture();
        EXPECT_TRUE(document.BoxNote().startsWith(QStringLiteral("Boxes are kept for this session only")))
            << document.BoxNote().toStdString();
    }
    PictureDocument again;
    Open(again, path);
    EXPECT_TRUE(again.HasKeptBox());
    ExpectNear(again.BoxInPicture(), placed, 1);
    KeptBoxes::Instance().Forget(path);
}

TEST_F(KeptBoxDocument, ADamagedSidecarOrAChangedPhotoGivesTheDefaultBoxAndANote) {
    const QString damaged = Photo("damaged.jpg");
    testsupport::WriteFileBytes(Sidecar(damaged), {'<', 'x', ':', 'x', 'm', 'p', 0xFF, 0x00, '>'});
    const QString changed = Photo("changed.jpg");
    KeptCrop crop;
    crop.left = 0.2;
    crop.right = 0.5;
    crop.ownFields = true;
    crop.shape = cropbox::kShapeRectangle;
    crop.preset = cmd::ID_PRESET_FREE;
    crop.border = cmd::ID_BORDER_NONE;
    crop.placedWidth = 1200;  // the photo was 1200 x 800 when the box was placed
    crop.placedHeight = 800;
    ASSERT_TRUE(WriteSidecarCrop(QFile::encodeName(changed).toStdString(), crop));

    for (const auto& [path, note] : {std::pair{damaged, "cannot be read"}, std::pair{changed, "has changed"}}) {
        SCOPED_TRACE(path.toStdString());
        PictureDocument document;
        Open(document, path);
        EXPECT_FALSE(document.HasKeptBox());
        EXPECT_TRUE(document.BoxNote().contains(QLatin1String(note))) << document.BoxNote().toStdString();
        PictureDocument placedByDefault;
        Open(placedByDefault, Photo("plain.jpg"));
        EXPECT_EQ(document.Box().m_crop, placedByDefault.Box().m_crop);
    }
}

TEST_F(KeptBoxDocument, SmallStepsAreKeptOnceTheyRestNotOnEveryStep) {
    const QString path = Photo("steps.jpg");
    PictureDocument document;
    Open(document, path);
    ASSERT_TRUE(document.Box().NudgeStep(1, 0));
    document.KeepBox(false);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(Sidecar(path))));
    document.FlushKeptBox();
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(Sidecar(path))));
    // An edited picture no longer matches its file: its box is not kept over the photo's.
    const auto before = testsupport::ReadFileBytes(Sidecar(path));
    document.RunPictureCommand(cmd::ID_ROTATE_RIGHT);
    ASSERT_TRUE(document.Box().NudgeStep(1, 0));
    document.KeepBox(true);
    EXPECT_EQ(testsupport::ReadFileBytes(Sidecar(path)), before);
}

}  // namespace

namespace {

TEST_F(KeptBoxDocument, TheStraightenTurnIsKeptWithTheBoxAsItsCropAngle) {
    const QString path = Photo("tilted.jpg");
    {
        PictureDocument document;
        Open(document, path);
        PlaceOvalBox(document);
        document.SetStraightenDegrees(-2.5);
        document.FlushKeptBox();
    }
    const auto kept = ReadSidecarCrop(QFile::encodeName(path).toStdString());
    ASSERT_TRUE(kept.has_value());
    EXPECT_DOUBLE_EQ(kept->angle, -2.5);
    PictureDocument again;
    Open(again, path);
    EXPECT_DOUBLE_EQ(again.StraightenDegrees(), -2.5);
}

}  // namespace
