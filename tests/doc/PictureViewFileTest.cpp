// Opening picture files into the view and writing its document out, on real files.
#include <QFile>
#include <QString>

#include <string>

#include <sys/stat.h>

#include "DocTestFixture.h"
#include "commands/CommandIds.h"
#include "image/formats/RasterExifOrientation.h"
#include "view/StatusPaneText.h"

using doctest::DocFixture;
using testsupport::MakePatternImage;
using testsupport::PictureColor;
using testsupport::SamePixels;

namespace {

constexpr uint32_t kWhite = RasterRgb(255, 255, 255);
constexpr uint32_t kRed = RasterRgb(255, 0, 0);

QString CorpusPhoto(const std::string& kind, int orientation) {
    const auto path = testsupport::CorpusDir() / "exif-orientation" / (kind + "_" + std::to_string(orientation) + ".jpg");
    return QString::fromStdString(path.string());
}

// A 4 x 2 palette picture: the left half index 1 (red), the right half index 0, which is the
// transparent entry (green).
RasterImage PaletteWithTransparentEntry() {
    RasterImage picture;
    picture.Create(4, 2, 8, 0);
    RasterRgbQuad palette[256] = {};
    palette[0] = {0, 255, 0, 0};
    palette[1] = {0, 0, 255, 0};
    picture.SetPalette(palette, 256);
    for (uint32_t y = 0; y < 2; ++y) {
        for (uint32_t x = 0; x < 4; ++x) picture.SetPixelIndex(x, y, x < 2 ? 1 : 0);
    }
    picture.SetTransparentIndex(0);
    picture.SetTransparentColor(palette[0]);
    return picture;
}

// A 1/40 area reduction: enough to tell a turned or mirrored photo from an upright one, coarse
// enough to hide the differences of separate JPEG compressions.
RasterImage Coarse(const RasterImage& picture) {
    RasterImage small;
    RasterImage(picture).Rescale(picture.GetWidth() / 40, picture.GetHeight() / 40, RASTER_RESCALE_AREA, &small);
    return small;
}

}  // namespace

using PictureViewFile = DocFixture;

TEST_F(PictureViewFile, GifTransparentColourLoadsAsWhiteIn24Bits) {
    LoadShown(WritePicture("clear.gif", PaletteWithTransparentEntry()));
    const RasterImage& work = view->Document()->WorkPicture();
    EXPECT_EQ(work.GetBpp(), 24u);
    EXPECT_FALSE(work.HasAlpha());
    for (uint32_t y = 0; y < 2; ++y) {
        EXPECT_EQ(PictureColor(work, 0, y), kRed);
        EXPECT_EQ(PictureColor(work, 1, y), kRed);
        EXPECT_EQ(PictureColor(work, 2, y), kWhite);
        EXPECT_EQ(PictureColor(work, 3, y), kWhite);
    }
}

TEST_F(PictureViewFile, AlphaIsFlattenedOntoWhite) {
    RasterImage picture = MakePatternImage(16, 16);
    picture.CreateAlpha();
    picture.SetAlphaLevel(0);
    picture.AlphaPointer(0, 15)[0] = 255;  // top-left opaque, the rest fully transparent
    LoadShown(WritePicture("alpha.png", picture));
    const RasterImage& work = view->Document()->WorkPicture();
    EXPECT_EQ(work.GetBpp(), 24u);
    EXPECT_FALSE(work.HasAlpha());
    EXPECT_EQ(PictureColor(work, 0, 0), PictureColor(MakePatternImage(16, 16), 0, 0));
    EXPECT_EQ(PictureColor(work, 5, 5), kWhite);
}

TEST_F(PictureViewFile, UnreadableFileIsNamedWithTheReasonAndLeavesTheViewEmpty) {
    LoadShown(WritePicture("before.bmp", MakePatternImage(20, 10)));
    SetSlider(cmd::ID_BRIGHTNESS, 140);
    SetSlider(cmd::ID_CONTRAST, 60);
    view->Box().m_crop = {1, 1, 50, 50};
    const QString text = PathOf("notes.jpg");
    testsupport::WriteFileBytes(text.toStdString(), {'h', 'e', 'l', 'l', 'o', '\n'});

    view->LoadPicture(text);
    ASSERT_EQ(Texts().size(), 1u);
    EXPECT_EQ(Texts()[0].toStdString(), "Could not open notes.jpg: not a JPEG file.");
    EXPECT_FALSE(view->Document()->WorkPicture().IsValid());
    EXPECT_FALSE(view->ViewPicture().IsValid());
    EXPECT_TRUE(view->Path().isEmpty());
    EXPECT_TRUE(view->Box().m_crop.IsEmpty());
    EXPECT_EQ(SliderPosition(cmd::ID_BRIGHTNESS), 100);
    EXPECT_EQ(SliderPosition(cmd::ID_CONTRAST), 100);

    std::filesystem::create_directory(temp / "folder.png");
    // A named pipe without a writer: opening it for reading would wait for ever.
    ASSERT_EQ(mkfifo((temp / "pipe.jpg").c_str(), 0644), 0);
    for (const auto& [name, reason] : {std::pair{"missing.png", "there is no such file"},
                                       std::pair{"folder.png", "it is not a file"}, std::pair{"pipe.jpg", "it is not a file"}}) {
        messages.clear();
        view->LoadPicture(PathOf(name));
        EXPECT_EQ(Texts(), std::vector<QString>{QStringLiteral("Could not open %1: %2.").arg(name, reason)});
        EXPECT_FALSE(view->PicturesValid());
    }
}

TEST_F(PictureViewFile, EmptyPathClearsTheViewSilently) {
    LoadShown(WritePicture("shown.bmp", MakePatternImage(20, 10)));
    view->LoadPicture(QString());
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(view->PicturesValid());
    EXPECT_TRUE(view->Path().isEmpty());
}

TEST_F(PictureViewFile, AutoShowMakesTheBoxVisibleOnEveryLoad) {
    const QString path = WritePicture("shown.bmp", MakePatternImage(20, 10));
    view->Box().m_showCropBox = false;
    LoadShown(path);
    EXPECT_FALSE(view->Box().m_showCropBox);

    view->Box().m_autoHide = true;
    LoadShown(path);
    EXPECT_TRUE(view->Box().m_showCropBox);
}

TEST_F(PictureViewFile, SaveRefusesAMissingPictureAndAnUnknownExtension) {
    EXPECT_EQ(SaveShown(PathOf("nothing.bmp")).error, "The current image is invalid.");
    EXPECT_FALSE(std::filesystem::exists(temp / "nothing.bmp"));

    messages.clear();
    LoadShown(WritePicture("shown.bmp", MakePatternImage(20, 10)));
    EXPECT_EQ(SaveShown(PathOf("shown.xyz")).error,
              "Could not save shown.xyz: its extension names no picture format this program writes.");
    EXPECT_FALSE(std::filesystem::exists(temp / "shown.xyz"));
    EXPECT_EQ(view->Path(), PathOf("shown.bmp"));
}

TEST_F(PictureViewFile, EveryExifOrientationEndsUpright) {
    for (const std::string kind : {"Landscape", "Portrait"}) {
        LoadShown(CorpusPhoto(kind, 1));
        const RasterImage upright(view->Document()->WorkPicture());
        EXPECT_EQ(upright.GetWidth() > upright.GetHeight(), kind == "Landscape");
        for (int orientation = 0; orientation <= 8; ++orientation) {
            LoadShown(CorpusPhoto(kind, orientation));
            const RasterImage& work = view->Document()->WorkPicture();
            ASSERT_EQ(work.GetWidth(), upright.GetWidth()) << kind << orientation;
            ASSERT_EQ(work.GetHeight(), upright.GetHeight()) << kind << orientation;
            // Each file was compressed on its own after the turn, so they agree only coarsely.
            // (Measured: 37 dB and more upright, 9 to 15 dB for a mirrored picture.)
            EXPECT_GE(testsupport::Psnr(Coarse(work), Coarse(upright)), 30.0) << kind << orientation;
        }
    }
}

TEST_F(PictureViewFile, ATurnedPhotoIsSavedUprightWithoutAnOrientationToTurnItAgain) {
    LoadShown(CorpusPhoto("Portrait", 6));
    const RasterImage upright(view->Document()->WorkPicture());
    EXPECT_LT(upright.GetWidth(), upright.GetHeight());

    const QString bitmap = PathOf("portrait.bmp");
    ASSERT_TRUE(SaveShown(bitmap).ok);
    EXPECT_TRUE(SamePixels(Decoded(bitmap), upright));

    const QString jpeg = PathOf("portrait.jpg");
    ASSERT_TRUE(SaveShown(jpeg).ok);
    const int orientation = ReadExifOrientationFromFile(QFile::encodeName(jpeg).constData());
    EXPECT_TRUE(orientation == RASTER_EXIF_ORIENTATION_NONE || orientation == RASTER_EXIF_ORIENTATION_UPRIGHT);
    LoadShown(jpeg);
    EXPECT_EQ(view->Document()->WorkPicture().GetWidth(), upright.GetWidth());
    EXPECT_EQ(view->Document()->WorkPicture().GetHeight(), upright.GetHeight());
}

// A photo whose data ends early opens as the decoder fills it in, and the file pane says it is
// damaged until another picture is opened. A file with nothing decodable still fails.
TEST_F(PictureViewFile, DamagedJpegOpensAndTheFilePaneSaysSoUntilTheNextPicture) {
    const QString sound = WritePicture("sound.jpg", MakePatternImage(64, 128));
    const std::vector<uint8_t> bytes = Bytes(sound);
    const QString damaged = PathOf("damaged.jpg");
    testsupport::WriteFileBytes(damaged.toStdString(),
                                std::vector<uint8_t>(bytes.begin(), bytes.begin() + bytes.size() * 3 / 4));
    const auto filePane = [&] { return ReadPaneText(router.QueryUpdate(cmd::ID_STATUSBAR_PANE_FILE)); };

    LoadShown(damaged);
    EXPECT_EQ(view->Document()->WorkPicture().GetHeight(), 128u);
    EXPECT_EQ(filePane().text, "Damaged picture: the data ends early: " + damaged);
    EXPECT_TRUE(filePane().note.startsWith(damaged + "\n")) << filePane().note.toStdString();

    LoadShown(sound);
    EXPECT_EQ(filePane().text, sound);
    EXPECT_EQ(filePane().note, "");

    // Everything up to the scan header and no scan data.
    size_t scan = 2;
    while (scan + 4 <= bytes.size() && bytes[scan + 1] != 0xDA) scan += 2 + size_t((bytes[scan + 2] << 8) | bytes[scan + 3]);
    const QString headerOnly = PathOf("header-only.jpg");
    testsupport::WriteFileBytes(headerOnly.toStdString(), std::vector<uint8_t>(bytes.begin(), bytes.begin() + scan + 14));
    view->LoadPicture(headerOnly);
    ASSERT_EQ(Texts().size(), 1u);
    EXPECT_EQ(Texts()[0].toStdString(), "Could not open header-only.jpg: premature end of JPEG file.");
    EXPECT_EQ(filePane().text, "");
}
