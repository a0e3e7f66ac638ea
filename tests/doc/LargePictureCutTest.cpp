// A 200-megapixel phone photo (16320 x 12240, past the old 32-bit bit-count bound) opens, is cut
// with an oval over the whole picture, undone and saved, as the program does it.
#include <gtest/gtest.h>

#include <QString>

#include "TestSupport.h"
#include "commands/CommandIds.h"
#include "doc/PictureDocument.h"
#include "platform/SettingsStore.h"

namespace {

constexpr uint32_t kWidth = 16320;
constexpr uint32_t kHeight = 12240;

TEST(LargePictureCut, APhonesHighResolutionPhotoOpensCutsUndoesAndSaves) {
    testsupport::TempDir dir;
    SettingsStore::UseFolder(QString::fromStdString(dir.path().string()));
    const std::string photo = (dir / "phone.jpg").string();
    {
        RasterImage picture;
        ASSERT_NE(picture.Create(kWidth, kHeight, 24, RASTER_FORMAT_JPG), nullptr) << picture.LastErrorText();
        picture.FillColor(RasterRgb(40, 120, 200));
        ASSERT_TRUE(picture.Save(photo.c_str(), RASTER_FORMAT_JPG)) << picture.LastErrorText();
    }
    PictureDocument document;
    document.SetViewArea({1000, 800});
    const FileOutcome opened = document.Load(QString::fromStdString(photo));
    ASSERT_TRUE(opened.ok) << opened.error.toStdString();
    ASSERT_EQ(document.WorkPicture().GetWidth(), kWidth);
    cropbox::CropBoxModel& box = document.Box();
    box.m_shape = cropbox::kShapeOval;
    box.m_borderId = cmd::ID_BORDER_NONE;
    box.m_presetId = cmd::ID_PRESET_FREE;
    box.m_showCropBox = true;
    document.PlaceCropBox();
    // The box over the whole fitted picture, centred in the view area.
    const cropbox::Size area = document.ViewArea();
    const cropbox::Size shown = document.ViewSize();
    const int left = cropbox::Halve(area.width - shown.width);
    const int top = cropbox::Halve(area.height - shown.height);
    box.m_crop = cropbox::Rect{left, top, left + shown.width, top + shown.height};
    ASSERT_TRUE(document.CutToCropBox());
    const RasterImage& cut = document.WorkPicture();
    ASSERT_GE(cut.GetWidth(), kWidth - 32);
    ASSERT_GE(cut.GetHeight(), kHeight - 32);
    // Outside the oval white, its middle and the ends of its axes the photo's colour.
    const RasterRgbQuad corner = cut.GetPixelColor(2, 2, false);
    EXPECT_EQ(corner.rgbRed + corner.rgbGreen + corner.rgbBlue, 3 * 255);
    for (const auto& [x, y] : {std::pair{cut.GetWidth() / 2, cut.GetHeight() / 2}, std::pair{cut.GetWidth() / 2, 40u},
                               std::pair{cut.GetWidth() - 40, cut.GetHeight() / 2}}) {
        EXPECT_NEAR(cut.GetPixelColor(x, y, false).rgbBlue, 200, 3) << x << ", " << y;
    }
    ASSERT_TRUE(document.UndoPicture());
    EXPECT_EQ(document.WorkPicture().GetWidth(), kWidth);
    ASSERT_TRUE(document.RedoPicture());
    const QString saved = QString::fromStdString((dir / "phone-cut.jpg").string());
    const FileOutcome written = document.Save(saved, 90);
    ASSERT_TRUE(written.ok) << written.error.toStdString();
    RasterImage reopened;
    ASSERT_TRUE(reopened.Load(saved.toUtf8().constData(), RASTER_FORMAT_UNKNOWN)) << reopened.LastErrorText();
    EXPECT_EQ(reopened.GetWidth(), cut.GetWidth());
    EXPECT_EQ(reopened.GetHeight(), cut.GetHeight());
    SettingsStore::UseFolder(QString());
}

}  // namespace
