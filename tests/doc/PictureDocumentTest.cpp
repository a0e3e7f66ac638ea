// The document without a window: Cut over its view area, Undo and Redo with the saved mark,
// and two documents open at once, each with its own picture, box and history.
#include <gtest/gtest.h>

#include <QFile>

#include "TestSupport.h"
#include "commands/CommandIds.h"
#include "doc/PictureDocument.h"
#include "doc/StraightenGeometry.h"
#include "platform/FileProblemText.h"
#include "platform/SettingsStore.h"

namespace {

using cropbox::Rect;
using testsupport::MakePatternImage;
using testsupport::PictureColor;
using testsupport::SamePixels;

class DocumentModel : public ::testing::Test {
protected:
    void SetUp() override { SettingsStore::UseFolder(QString::fromStdString(m_temp.path().string())); }
    void TearDown() override { SettingsStore::UseFolder(QString()); }

    // A document shown in an area of 1000 x 800 with a pasted pattern and a free, plain box.
    static void Open(PictureDocument& document, uint32_t width, uint32_t height) {
        document.SetViewArea({1000, 800});
        RasterImage pattern = MakePatternImage(width, height);
        document.TakePasted(pattern);
        cropbox::CropBoxModel& box = document.Box();
        box.m_shape = cropbox::kShapeRectangle;
        box.m_borderId = cmd::ID_BORDER_NONE;
        box.m_presetId = cmd::ID_PRESET_FREE;
        box.m_showCropBox = true;
        document.PlaceCropBox();
    }
    QString PathOf(const std::string& name) const { return QString::fromStdString((m_temp / name).string()); }

    testsupport::TempDir m_temp;
};

TEST_F(DocumentModel, CutUndoAndRedoFollowTheSavedMark) {
    PictureDocument document;
    Open(document, 400, 300);
    EXPECT_TRUE(document.IsModified());
    EXPECT_EQ(document.PictureName(), "Untitled");
    const QString path = PathOf("pasted.bmp");
    ASSERT_TRUE(document.Save(path, 75).ok);
    EXPECT_FALSE(document.IsModified());
    EXPECT_EQ(document.PictureName(), "pasted.bmp");

    document.Box().m_autoHide = true;
    document.Box().m_crop = Rect{310, 260, 373, 400};
    EXPECT_FALSE(document.CutToCropBox()) << "63 view pixels wide";
    document.Box().m_crop = Rect{310, 260, 410, 340};  // picture pixels (10, 10) .. (110, 90)
    const RasterImage before(document.WorkPicture());
    ASSERT_TRUE(document.CutToCropBox());
    const RasterImage cut(document.WorkPicture());
    ASSERT_EQ(cut.GetWidth(), 100u);
    ASSERT_EQ(cut.GetHeight(), 80u);
    EXPECT_EQ(PictureColor(cut, 0, 0), PictureColor(before, 10, 10));
    EXPECT_EQ(PictureColor(cut, 99, 79), PictureColor(before, 109, 89));
    EXPECT_EQ(document.ViewSize(), (cropbox::Size{100, 80}));
    EXPECT_FALSE(document.Box().m_showCropBox) << "auto hide";
    EXPECT_TRUE(document.IsModified());

    ASSERT_TRUE(document.UndoPicture());
    EXPECT_TRUE(SamePixels(document.WorkPicture(), before));
    EXPECT_EQ(document.Box().m_crop, (Rect{310, 260, 410, 340}));
    EXPECT_TRUE(document.Box().m_showCropBox);
    EXPECT_FALSE(document.IsModified()) << "back at the saved picture";
    ASSERT_TRUE(document.RedoPicture());
    EXPECT_TRUE(SamePixels(document.WorkPicture(), cut));
    EXPECT_TRUE(document.IsModified());
    EXPECT_EQ(document.Path(), path);
}

TEST_F(DocumentModel, APictureTooLargeForThisComputerIsRefusedWithItsSizeAndTheLimit) {
    // A BMP header declaring a 60000 x 30000 picture of 24 bits, and a few pixels of it.
    std::vector<uint8_t> header(64, 0);
    const auto put32 = [&header](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) header[at + size_t(i)] = uint8_t(v >> (8 * i));
    };
    header[0] = 'B';
    header[1] = 'M';
    put32(10, 54);
    put32(14, 40);
    put32(18, 60000);
    put32(22, 30000);
    header[26] = 1;
    header[28] = 24;
    testsupport::WriteFileBytes(m_temp / "pano.bmp", header);
    PictureDocument document;
    const uint64_t limit = RasterImage::MemoryLimit();
    RasterImage::SetMemoryLimit(uint64_t(2500) * 1000 * 1000);
    const FileOutcome outcome = document.Load(PathOf("pano.bmp"));
    RasterImage::SetMemoryLimit(limit);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.error.toStdString(),
              "pano.bmp is 60000 x 30000 pixels and needs 5.4 GB; on this computer a picture may take at most 2.5 GB.");
    EXPECT_FALSE(document.WorkPicture().IsValid());
    // The need is rounded up and the limit down: a picture a little over never reads as fitting.
    EXPECT_EQ(TooLargeText("%3 %1.png", RasterTooLarge{20000, 20000, 1'200'000'001}, 1'299'999'999).toStdString(),
              "%3 %1.png is 20000 x 20000 pixels and needs 1.3 GB; on this computer a picture may take at most 1.2 GB.");
    for (const auto& [bytes, text] : {std::pair<uint64_t, const char*>{400, "1 MB"}, {599'600'000, "600 MB"},
                                      {1'000'000'000, "1.0 GB"}, {4'026'531'840, "4.0 GB"}}) {
        EXPECT_EQ(ByteSizeText(bytes).toStdString(), text);
    }
}

TEST_F(DocumentModel, LoadSaysWhyAFileCannotBeOpenedAndLeavesTheDocumentEmpty) {
    PictureDocument document;
    Open(document, 40, 30);
    QFile bad(PathOf("bad.png"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("not a picture");
    bad.close();
    const FileOutcome outcome = document.Load(bad.fileName());
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.error.toStdString(), "Could not open bad.png: not a PNG file.");
    EXPECT_FALSE(document.WorkPicture().IsValid());
    EXPECT_FALSE(document.History().CanUndo());
    EXPECT_FALSE(document.IsModified());
}

TEST_F(DocumentModel, TwoOpenDocumentsKeepTheirOwnPictureBoxAndHistory) {
    PictureDocument first;
    PictureDocument second;
    Open(first, 400, 300);
    Open(second, 200, 100);
    const RasterImage secondBefore(second.WorkPicture());
    const Rect secondBox = second.Box().m_crop;

    first.RunPictureCommand(cmd::ID_ROTATE_LEFT);
    first.Box().m_showCropBox = false;
    EXPECT_EQ(first.WorkPicture().GetWidth(), 300u);
    EXPECT_TRUE(SamePixels(second.WorkPicture(), secondBefore));
    EXPECT_EQ(second.Box().m_crop, secondBox);
    EXPECT_TRUE(second.Box().m_showCropBox);

    ASSERT_TRUE(second.UndoPicture());  // the paste
    EXPECT_FALSE(second.WorkPicture().IsValid());
    EXPECT_EQ(first.WorkPicture().GetWidth(), 300u);
    EXPECT_TRUE(first.History().CanUndo());
}

TEST_F(DocumentModel, EveryPictureCommandIsUndoneAndRedoneWithItsBox) {
    for (uint32_t id : {cmd::ID_ROTATE_LEFT, cmd::ID_ROTATE_RIGHT, cmd::ID_MIRROR, cmd::ID_FLIP, cmd::ID_COOL_TONE,
                        cmd::ID_WARM_TONE, cmd::ID_SEPIA, cmd::ID_CUT, cmd::ID_EDIT_PASTE}) {
        PictureDocument document;
        Open(document, 600, 400);
        if (id == cmd::ID_CUT) document.Box().m_crop = Rect{250, 250, 650, 500};  // inside the picture
        const RasterImage before(document.WorkPicture());
        const Rect boxBefore = document.Box().m_crop;
        if (id == cmd::ID_EDIT_PASTE) {
            RasterImage pasted = testsupport::MakeSolidImage(300, 500, 0x010203);
            document.TakePasted(pasted);
        } else if (id == cmd::ID_CUT) {
            ASSERT_TRUE(document.CutToCropBox());
        } else {
            document.RunPictureCommand(id);
        }
        const RasterImage after(document.WorkPicture());
        const Rect boxAfter = document.Box().m_crop;
        ASSERT_FALSE(SamePixels(after, before)) << id;
        EXPECT_FALSE(document.History().CanRedo()) << id;

        ASSERT_TRUE(document.UndoPicture()) << id;
        EXPECT_TRUE(SamePixels(document.WorkPicture(), before)) << id;
        EXPECT_EQ(document.Box().m_crop, boxBefore) << id;
        ASSERT_TRUE(document.RedoPicture()) << id;
        EXPECT_TRUE(SamePixels(document.WorkPicture(), after)) << id;
        EXPECT_EQ(document.Box().m_crop, boxAfter) << id;
        EXPECT_TRUE(document.IsModified()) << id;

        // Slider moves are previews, not steps.
        const uint64_t position = document.History().Position();
        document.SetLightSlider(cmd::ID_CONTRAST, 150);
        EXPECT_EQ(document.History().Position(), position) << id;
        EXPECT_EQ(document.Contrast(), 50) << id;
    }
}

TEST_F(DocumentModel, AStraightenedBoxStaysInsideTheTurnedPictureAndUndoBringsTheTurnBack) {
    PictureDocument document;
    Open(document, 400, 300);   // shown 1:1 at (300, 250) in the area
    document.Box().m_crop = Rect{300, 250, 700, 550};
    document.SetStraightenDegrees(7.25);
    EXPECT_DOUBLE_EQ(document.StraightenDegrees(), 7.3) << "the control's steps";
    const Rect box = document.Box().m_crop;
    EXPECT_NEAR(double(box.Width()) / box.Height(), 4.0 / 3.0, 0.02);
    EXPECT_LT(box.Width(), 400);
    const cropbox::Rect inPicture = document.BoxInPicture();
    const straighten::PictureBox turnedBox{double(inPicture.left), double(inPicture.top), double(inPicture.Width()),
                                           double(inPicture.Height())};
    EXPECT_TRUE(straighten::BoxInsideTurned(turnedBox, {400, 300, 7.3}, 0.5));

    ASSERT_TRUE(document.CutToCropBox());
    EXPECT_EQ(document.StraightenDegrees(), 0.0) << "the cut holds the turn";
    EXPECT_NEAR(double(document.WorkPicture().GetWidth()), box.Width(), 1.0);
    ASSERT_TRUE(document.UndoPicture());
    EXPECT_DOUBLE_EQ(document.StraightenDegrees(), 7.3);
    EXPECT_EQ(document.Box().m_crop, box);

    // A horizon seen rising by 3 degrees turns the picture 3 degrees further clockwise.
    ASSERT_TRUE(document.StraightenAlongLine({100, 400}, {600, 374}));
    EXPECT_NEAR(document.StraightenDegrees(), 4.3, 1e-9);
    EXPECT_FALSE(document.StraightenAlongLine({5, 5}, {5, 5}));

    // Dragged towards a corner, the box stops at the turned picture's edge; it still moves.
    const Rect placed = document.Box().m_crop;
    const cropbox::Point grip{(placed.left + placed.right) / 2, (placed.top + placed.bottom) / 2};
    document.Box().BeginDrag(cropbox::kDragMove, grip);
    EXPECT_TRUE(document.DragBox({grip.x + 200, grip.y + 150}));
    const cropbox::Rect dragged = document.BoxInPicture();
    EXPECT_GT(document.Box().m_crop.left, placed.left);
    EXPECT_TRUE(straighten::BoxInsideTurned({double(dragged.left), double(dragged.top), double(dragged.Width()),
                                             double(dragged.Height())},
                                            {400, 300, 4.3}, 0.5));
    EXPECT_FALSE(document.DragBox({grip.x + 260, grip.y + 200})) << "no further into the corner";
}

}  // namespace
