// Print with a shown crop box of a print size prints what Cut would make of the box at exactly
// that print size, leaving the photo as it was; a hidden or free box prints the whole photo.
// The scripted dialog prints to a PDF file that poppler's tools measure.
#include <gtest/gtest.h>

#include <cmath>

#include "PdfMeasure.h"
#include "PrintBoxFixture.h"
#include "doc/PictureDocument.h"
#include "platform/RasterQtBridge.h"
#include "view/PictureView.h"

namespace {

constexpr int kRenderDpi = 254;                // a tenth of a millimetre a pixel
constexpr double kTolerance = 0.2 / 25.4 + 1.0 / kRenderDpi;  // 0.2 mm, and the render's own pixel

using PrintBoxTest = PrintFixture;

struct BoxCase {
    const char* what;
    uint32_t preset;
    bool hideBox;
    int photoWidth;
    int photoHeight;
    QRectF printInches;  // on upright Letter without margins
    bool warns;
};

// Smooth waves across and down, a few dozen pixels long: a cut taken elsewhere, turned
// otherwise or lit otherwise differs by far more than a lossy compression of the print.
QImage Waves(int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    const auto wave = [](int at) { return int(128 + 100 * std::sin(at / 15.0)); };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) picture.setPixel(x, y, qRgb(wave(x), wave(y), 128));
    }
    return picture;
}

QImage Snapshot(const RasterImage& picture) {
    RasterImage copy;
    if (!copy.Copy(picture)) return {};
    return MakeAlphaBitmap(copy).convertToFormat(QImage::Format_RGB32);
}

}  // namespace

TEST_F(PrintBoxTest, AShownBoxPrintsAtItsPrintSizeAndAHiddenOrFreeBoxPrintsThePhoto) {
    const BoxCase cases[] = {
        {"a 6x4 box on a 2560 x 1600 photo prints 6 x 4, not 6 x 3.75", cmd::ID_PRESET_6X4, false, 2560, 1600,
         QRectF(1.25, 3.5, 6, 4), false},
        {"the box of a portrait photo prints 4 x 6", cmd::ID_PRESET_6X4, false, 1600, 2560, QRectF(2.25, 2.5, 4, 6),
         false},
        {"a hidden box prints the whole photo", cmd::ID_PRESET_6X4, true, 2560, 1600, QRectF(1.25, 3.625, 6, 3.75),
         false},
        {"a free box prints the whole photo fitted to the page", cmd::ID_PRESET_FREE, false, 2560, 1600,
         QRectF(0, (11 - 5.3125) / 2, 8.5, 5.3125), false},
        {"a box of too few pixels is named in the warning", cmd::ID_PRESET_6X4, false, 640, 400,
         QRectF(1.25, 3.5, 6, 4), true},
    };
    int n = 0;
    for (const BoxCase& c : cases) {
        SCOPED_TRACE(c.what);
        m_router->Execute(c.preset);
        const QString name = QStringLiteral("photo%1.png").arg(++n);
        OpenSolidPhoto(name, c.photoWidth, c.photoHeight, qRgb(0, 0, 255));
        // A plain rectangle without a border: the print is blue to its edges.
        m_router->Execute(cmd::ID_SHAPE_RECTANGLE);
        m_router->Execute(cmd::ID_BORDER_NONE);
        ShowBox(!c.hideBox);
        const QString pdf = m_folder.filePath(QStringLiteral("print%1.pdf").arg(n));
        ASSERT_TRUE(PrintToPdf(pdf, QPageSize::Letter, 0));
        EXPECT_EQ(m_warning.contains(name + QStringLiteral(" gives only")), c.warns) << m_warning.toStdString();

        const pdfmeasure::PdfFacts facts = pdfmeasure::ReadFacts(pdf);
        EXPECT_EQ(facts.pages, 1);
        EXPECT_NEAR(facts.pageWidth, 612, 0.01);
        const QRectF blue =
            pdfmeasure::InchesWhere(pdfmeasure::RenderPage(pdf, 1, kRenderDpi), kRenderDpi, pdfmeasure::IsBlue);
        EXPECT_NEAR(blue.left(), c.printInches.left(), kTolerance);
        EXPECT_NEAR(blue.top(), c.printInches.top(), kTolerance);
        EXPECT_NEAR(blue.width(), c.printInches.width(), kTolerance);
        EXPECT_NEAR(blue.height(), c.printInches.height(), kTolerance);
    }
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join('|').toStdString();
}

// The printed pixels are Cut's (oval, border, straighten turn) with the light values in them,
// and the photo, its steps and its modified state are as they were before Print.
TEST_F(PrintBoxTest, ThePrintIsWhatCutMakesAndThePhotoStaysAsItWas) {
    m_router->Execute(cmd::ID_PRESET_6X4);
    PastePicture(Waves(1200, 800));
    m_router->Execute(cmd::ID_SHAPE_OVAL);
    m_router->Execute(cmd::ID_BORDER_5);
    m_router->Execute(cmd::ID_BRIGHTNESS, CommandValue(PictureDocument::kLightSliderNeutral + 30));
    PictureDocument& document = *m_view->Document();
    document.SetStraightenDegrees(3.0);
    const bool modified = document.IsModified();
    const bool canUndo = document.History().CanUndo();
    const QImage before = Snapshot(document.WorkPicture());

    const QString pdf = m_folder.filePath(QStringLiteral("cut.pdf"));
    ASSERT_TRUE(PrintToPdf(pdf, QPageSize::Letter, 0));
    EXPECT_EQ(document.IsModified(), modified);
    EXPECT_EQ(document.History().CanUndo(), canUndo);
    EXPECT_DOUBLE_EQ(document.StraightenDegrees(), 3.0);
    EXPECT_TRUE(Snapshot(document.WorkPicture()) == before);

    pdfmeasure::RunTool(QStringLiteral("pdfimages"), {QStringLiteral("-png"), pdf, m_folder.filePath(QStringLiteral("img"))});
    const QImage printed = QImage(m_folder.filePath(QStringLiteral("img-000.png"))).convertToFormat(QImage::Format_RGB32);
    ASSERT_TRUE(m_router->Execute(cmd::ID_CUT));
    RasterImage lit;
    ASSERT_TRUE(document.MakeLitCopy(lit));
    const QImage cut = Snapshot(lit);
    ASSERT_EQ(printed.size(), cut.size());
    double difference = 0;
    for (int y = 0; y < cut.height(); ++y) {
        for (int x = 0; x < cut.width(); ++x) {
            const QRgb a = printed.pixel(x, y);
            const QRgb b = cut.pixel(x, y);
            difference += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
        }
    }
    // The PDF may carry the pixels lossily compressed: on average they are the cut's.
    EXPECT_LT(difference / (3.0 * cut.width() * cut.height()), 1.5);
}
