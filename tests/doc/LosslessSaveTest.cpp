// Save of a JPEG photo that was only cut and turned moves the file's blocks: the saved file
// decodes, with a decoder that is not ours, to exactly what jpegtran makes of the same steps;
// a tone or a light value makes Save encode again.
#include <gtest/gtest.h>

#include <QFile>

#include <cstdlib>
#include <string>

#include "TestSupport.h"
#include "commands/CommandIds.h"
#include "doc/PictureDocument.h"
#include "platform/SettingsStore.h"

namespace {

bool Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

class LosslessSave : public ::testing::Test {
protected:
    void SetUp() override {
        SettingsStore::UseFolder(QString::fromStdString(m_temp.path().string()));
        if (!Shell("command -v jpegtran") || !Shell("command -v djpeg")) GTEST_SKIP() << "libjpeg-turbo-progs is not installed";
        ASSERT_TRUE(MakeJpeg("photo", 320, 240));
        m_document.SetViewArea({420, 420});  // the picture shown at its own pixels, turned or not
        ASSERT_TRUE(m_document.Load(QString::fromStdString(Path("photo.jpg"))).ok);
        ASSERT_EQ(m_document.ViewSize(), (cropbox::Size{320, 240}));
    }
    void TearDown() override { SettingsStore::UseFolder(QString()); }

    std::string Path(const std::string& name) const { return (m_temp / name).string(); }
    // NAME.jpg: a 4:2:0 photo (16-pixel blocks) as cameras write them.
    bool MakeJpeg(const std::string& name, uint32_t width, uint32_t height) {
        const std::string bmp = Path(name + ".bmp");
        return testsupport::MakePatternImage(width, height).Save(bmp.c_str(), RASTER_FORMAT_BMP) &&
               Shell("cjpeg -quality 85 -sample 2x2 -outfile '" + Path(name + ".jpg") + "' '" + bmp + "'");
    }
    // A free rectangle box laid over these picture pixels.
    void LayBox(cropbox::Rect rect, int shape = cropbox::kShapeRectangle, uint32_t preset = cmd::ID_PRESET_FREE) {
        cropbox::CropBoxModel& box = m_document.Box();
        box.m_shape = shape;
        box.m_borderId = cmd::ID_BORDER_NONE;
        box.m_presetId = preset;
        box.m_showCropBox = true;
        const cropbox::Size area = m_document.ViewArea();
        const cropbox::Size shown = m_document.ViewSize();
        const int left = (area.width - shown.width) / 2, top = (area.height - shown.height) / 2;
        box.m_crop = {left + rect.left, top + rect.top, left + rect.right, top + rect.bottom};
    }
    // A free rectangle box over these picture pixels, cut.
    void CutPicturePixels(cropbox::Rect rect) {
        cropbox::CropBoxModel& box = m_document.Box();
        box.m_shape = cropbox::kShapeRectangle;
        box.m_borderId = cmd::ID_BORDER_NONE;
        box.m_presetId = cmd::ID_PRESET_FREE;
        box.m_showCropBox = true;
        const cropbox::Size area = m_document.ViewArea();
        const cropbox::Size shown = m_document.ViewSize();
        const int left = (area.width - shown.width) / 2, top = (area.height - shown.height) / 2;
        box.m_crop = {left + rect.left, top + rect.top, left + rect.right, top + rect.bottom};
        ASSERT_EQ(m_document.BoxInPicture(), rect);
        ASSERT_TRUE(m_document.CutToCropBox());
    }
    // The pixels djpeg decodes, as bytes.
    std::vector<uint8_t> Decoded(const std::string& jpeg) {
        const std::string out = jpeg + ".ppm";
        EXPECT_TRUE(Shell("djpeg -nosmooth -ppm -outfile '" + out + "' '" + jpeg + "'"));
        return testsupport::ReadFileBytes(out);
    }

    testsupport::TempDir m_temp;
    PictureDocument m_document;
};

TEST_F(LosslessSave, ACutAndATurnAreSavedAsJpegtranMovesTheBlocks) {
    m_document.RunPictureCommand(cmd::ID_ROTATE_RIGHT);  // 240 x 320
    CutPicturePixels({48, 32, 48 + 150, 32 + 201});      // the corner on the 16-pixel grid
    EXPECT_TRUE(m_document.NextJpegSaveLossless());
    ASSERT_TRUE(m_document.Save(QString::fromStdString(Path("saved.jpg")), 75).ok);
    ASSERT_TRUE(Shell("jpegtran -rotate 90 -copy none -outfile '" + Path("turned.jpg") + "' '" + Path("photo.jpg") + "'"));
    ASSERT_TRUE(Shell("jpegtran -crop 150x201+48+32 -copy none -outfile '" + Path("expected.jpg") + "' '" +
                    Path("turned.jpg") + "'"));
    EXPECT_EQ(Decoded(Path("saved.jpg")), Decoded(Path("expected.jpg")));
}

TEST_F(LosslessSave, ARectangleBoxSnapsItsCornerToTheBlockGridWhileLosslessIsOn) {
    const cropbox::Rect laid{21, 39, 221, 187};
    LayBox(laid);
    // A free box's corner goes to the nearest grid place and its far edges stay; a print
    // size's box moves whole, and at the picture's far edge to the grid place before.
    EXPECT_EQ(m_document.BoxInPicture(), (cropbox::Rect{16, 32, 221, 187}));
    LayBox(laid, cropbox::kShapeRectangle, cmd::ID_PRESET_6X4);
    EXPECT_EQ(m_document.BoxInPicture(), (cropbox::Rect{16, 32, 216, 180}));
    LayBox({110, 47, 319, 200}, cropbox::kShapeRectangle, cmd::ID_PRESET_6X4);
    EXPECT_EQ(m_document.BoxInPicture(), (cropbox::Rect{96, 48, 305, 201}));
    LayBox(laid);
    EXPECT_EQ(m_document.ShownBox().left - m_document.Box().m_crop.left, -5);
    EXPECT_EQ(m_document.NextJpegSaveNote(), QStringLiteral("a cut here is saved without loss"));
    ASSERT_TRUE(m_document.CutToCropBox());
    EXPECT_TRUE(m_document.NextJpegSaveLossless());

    // Shapes do not snap, nor does a box once the toggle is off, for this and later documents.
    m_document.UndoPicture();
    LayBox(laid, cropbox::kShapeOval);
    EXPECT_EQ(m_document.BoxInPicture(), laid);
    EXPECT_TRUE(m_document.NextJpegSaveNote().isEmpty()) << "a shape the user chose is no news";
    m_document.SetSnapToBlocks(false);
    LayBox(laid);
    EXPECT_EQ(m_document.BoxInPicture(), laid);
    EXPECT_TRUE(m_document.NextJpegSaveNote().contains(QLatin1String("off the JPEG block grid")));
    EXPECT_FALSE(PictureDocument().SnapsToBlocks());
}

TEST_F(LosslessSave, ATurnOfPartialBlocksIsLosslessOnlyWithTheTrimTheUserChose) {
    ASSERT_TRUE(MakeJpeg("odd", 330, 250));
    ASSERT_TRUE(Shell("jpegtran -rotate 90 -trim -copy none -outfile '" + Path("expected.jpg") + "' '" + Path("odd.jpg") + "'"));
    for (const bool trim : {true, false}) {
        SCOPED_TRACE(trim);
        ASSERT_TRUE(m_document.Load(QString::fromStdString(Path("odd.jpg"))).ok);
        m_document.RunPictureCommand(cmd::ID_ROTATE_RIGHT);
        const QString saved = QString::fromStdString(Path(trim ? "trimmed.jpg" : "encoded.jpg"));
        EXPECT_TRUE(m_document.TrimQuestion(saved).contains(QLatin1String("10 column(s) at the left")));
        EXPECT_TRUE(m_document.TrimQuestion(saved + ".png").isEmpty());
        ASSERT_TRUE(m_document.Save(saved, 75, trim).ok);
        RasterImage back;
        ASSERT_TRUE(back.Load(saved.toUtf8().constData(), RASTER_FORMAT_JPG));
        EXPECT_EQ(back.GetWidth(), trim ? 240u : 250u);
        if (trim) {
            EXPECT_EQ(Decoded(saved.toStdString()), Decoded(Path("expected.jpg")));
        }
        // Saved, the picture has no question left.
        EXPECT_TRUE(m_document.TrimQuestion(saved).isEmpty());
    }
}

// After a trimmed save the document holds what the file holds: the picture less the trimmed
// columns, shown and saved. Undo brings them back as a change not saved, which the file's
// blocks no longer make; Redo the trimmed picture as saved.
TEST_F(LosslessSave, ATrimmedSaveLeavesThePictureAsTheFileHoldsIt) {
    ASSERT_TRUE(MakeJpeg("odd", 330, 250));  // 10 rows past the last whole block
    const QString odd = QString::fromStdString(Path("odd.jpg"));
    ASSERT_TRUE(m_document.Load(odd).ok);
    m_document.RunPictureCommand(cmd::ID_ROTATE_RIGHT);  // the partial rows become columns at the left
    RasterImage turned;
    ASSERT_TRUE(turned.Copy(m_document.WorkPicture()));
    RasterImage trimmed;
    ASSERT_TRUE(turned.Crop({10, 0, 250, 330}, &trimmed));
    ASSERT_FALSE(m_document.TrimQuestion(odd).isEmpty());
    int layouts = 0;
    QObject::connect(&m_document, &PictureDocument::laidOut, [&layouts] { ++layouts; });
    ASSERT_TRUE(m_document.Save(odd, 75, true).ok);

    EXPECT_TRUE(testsupport::SamePixels(m_document.WorkPicture(), trimmed));
    EXPECT_EQ(m_document.ViewSize(), (cropbox::Size{240, 330}));
    EXPECT_EQ(layouts, 1) << "the view makes its copies again";
    EXPECT_FALSE(m_document.IsModified());
    EXPECT_TRUE(m_document.Lossless().CanSaveLossless());

    ASSERT_TRUE(m_document.UndoPicture());
    EXPECT_TRUE(testsupport::SamePixels(m_document.WorkPicture(), turned));
    EXPECT_EQ(m_document.ViewSize(), (cropbox::Size{250, 330}));
    EXPECT_TRUE(m_document.IsModified());
    EXPECT_TRUE(m_document.TrimQuestion(odd).isEmpty());
    EXPECT_FALSE(m_document.NextJpegSaveLossless());
    ASSERT_TRUE(m_document.RedoPicture());
    EXPECT_TRUE(testsupport::SamePixels(m_document.WorkPicture(), trimmed));
    EXPECT_FALSE(m_document.IsModified());
    EXPECT_TRUE(m_document.Lossless().CanSaveLossless());
}

// A save over the photo's own file leaves blocks of another picture in it: a step undone past
// that save is written by encoding, not by moving those blocks as the step's plan once said.
TEST_F(LosslessSave, AStepUndonePastASaveOverThePhotoIsEncodedAgain) {
    const QString photo = QString::fromStdString(Path("photo.jpg"));
    m_document.RunPictureCommand(cmd::ID_MIRROR);
    ASSERT_TRUE(m_document.NextJpegSaveLossless());
    ASSERT_TRUE(m_document.Save(photo, 75).ok);
    ASSERT_TRUE(m_document.UndoPicture());
    EXPECT_FALSE(m_document.NextJpegSaveLossless());
    ASSERT_TRUE(m_document.Save(photo, 95).ok);
    RasterImage back;
    ASSERT_TRUE(back.Load(photo.toUtf8().constData(), RASTER_FORMAT_JPG));
    EXPECT_GT(testsupport::Psnr(back, m_document.WorkPicture()), 30.0);
}

TEST_F(LosslessSave, ATonedOrLitPictureIsEncodedAgain) {
    for (const uint32_t step : {cmd::ID_SEPIA, cmd::ID_BRIGHTNESS}) {
        SCOPED_TRACE(step);
        ASSERT_TRUE(m_document.Load(QString::fromStdString(Path("photo.jpg"))).ok);
        if (step == cmd::ID_BRIGHTNESS) {
            m_document.SetLightSlider(cmd::ID_BRIGHTNESS, 130);
            CutPicturePixels({0, 0, 160, 160});
        } else {
            m_document.RunPictureCommand(step);
        }
        EXPECT_FALSE(m_document.NextJpegSaveLossless());
        EXPECT_TRUE(m_document.NextJpegSaveNote().contains(QLatin1String("encoding again")));
        ASSERT_TRUE(m_document.Save(QString::fromStdString(Path("again.jpg")), 75).ok);
        // Encoded by the program: 4:4:4, where the source was 4:2:0.
        EXPECT_TRUE(Shell("identify -format %[jpeg:sampling-factor] '" + Path("again.jpg") + "' | grep -q 1x1"));
    }
}

}  // namespace
