// Print through the view's command, the print dialog scripted to send the page to a PDF file;
// poppler's tools read back the paper, the picture's pixels and where it was placed.
#include <gtest/gtest.h>

#include "PdfMeasure.h"
#include "PrintBoxFixture.h"
#include "view/PictureView.h"

namespace {

constexpr QRgb kBlue = qRgb(0, 0, 255);
constexpr int kRenderDpi = 40;  // pdftoppm's resolution when finding where the picture lies

// What the PDF holds, and the box in inches its blue pixels cover on the rendered page.
struct PdfPage {
    pdfmeasure::PdfFacts facts;
    QRectF blueInches;
};

PdfPage ReadPdf(const QString& pdf) {
    return {pdfmeasure::ReadFacts(pdf),
            pdfmeasure::InchesWhere(pdfmeasure::RenderPage(pdf, 1, kRenderDpi), kRenderDpi, pdfmeasure::IsBlue)};
}

// Whole pictures: the crop box is hidden (a shown box prints its cut, see PrintBoxTest).
class PrintTest : public PrintFixture {};

struct PrintCase {
    const char* what;
    QPageSize::PageSizeId paper;
    double margin;  // inches on every side
    bool keepOrientation;  // the paper as Print turns it, not upright
    uint32_t preset;
    int pictureWidth;
    int pictureHeight;
    double pageWidthPts;
    double pageHeightPts;
    QRectF placedInches;
    bool warns;
};

}  // namespace

TEST_F(PrintTest, PrintsAtThePresetSizeCentredOrFittedForFree) {
    // Qt writes A4 as 595 x 842 points.
    const double a4Width = 595 / 72.0;
    const double a4Height = 842 / 72.0;
    const PrintCase cases[] = {
        {"6x4 on Letter at 100 dpi warns", QPageSize::Letter, 0, false, cmd::ID_PRESET_6X4, 600, 400, 612, 792,
         QRectF(1.25, 3.5, 6, 4), true},
        {"6x4 turned upright for a portrait picture on A4", QPageSize::A4, 0, false, cmd::ID_PRESET_6X4, 800, 1200,
         595, 842, QRectF((a4Width - 4) / 2, (a4Height - 6) / 2, 4, 6), false},
        {"free fits Letter inside half-inch margins", QPageSize::Letter, 0.5, false, cmd::ID_PRESET_FREE, 1500, 1000,
         612, 792, QRectF(0.5, 3, 7.5, 5), false},
        {"the paper starts turned like the picture: 10x8 fits Letter", QPageSize::Letter, 0, true,
         cmd::ID_PRESET_FIRST + 10, 2000, 1600, 792, 612, QRectF(0.5, 0.25, 10, 8), false},
    };
    for (const PrintCase& c : cases) {
        SCOPED_TRACE(c.what);
        m_router->Execute(c.preset);
        ASSERT_EQ(m_view->Box().m_presetId, c.preset);
        PasteSolid(c.pictureWidth, c.pictureHeight, kBlue);
        ShowBox(false);
        const QString pdf = m_folder.filePath(QStringLiteral("print.pdf"));
        QFile::remove(pdf);
        ASSERT_TRUE(PrintToPdf(pdf, c.paper, c.margin, c.keepOrientation));
        EXPECT_EQ(m_warning.contains(QStringLiteral("dpi")), c.warns) << m_warning.toStdString();

        const PdfPage page = ReadPdf(pdf);
        EXPECT_NEAR(page.facts.pageWidth, c.pageWidthPts, 0.01);
        EXPECT_NEAR(page.facts.pageHeight, c.pageHeightPts, 0.01);
        ASSERT_EQ(page.facts.images.size(), 1);
        const pdfmeasure::PdfImage& image = page.facts.images[0];
        EXPECT_EQ(image.width, c.pictureWidth);
        EXPECT_EQ(image.height, c.pictureHeight);
        // pdfimages rounds the pixels per inch to whole numbers.
        EXPECT_NEAR(c.pictureWidth / image.ppiX, c.placedInches.width(), 0.02);
        EXPECT_NEAR(c.pictureHeight / image.ppiY, c.placedInches.height(), 0.02);
        // The rendered page places it to within a pixel of the render.
        const double pixel = 1.0 / kRenderDpi + 1e-9;
        EXPECT_NEAR(page.blueInches.left(), c.placedInches.left(), pixel);
        EXPECT_NEAR(page.blueInches.top(), c.placedInches.top(), pixel);
        EXPECT_NEAR(page.blueInches.width(), c.placedInches.width(), 2 * pixel);
        EXPECT_NEAR(page.blueInches.height(), c.placedInches.height(), 2 * pixel);
    }
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join('|').toStdString();
}

// A panorama longer than a print uses reaches the printer reduced, yet placed by its own size:
// the free preset fits it across landscape Letter inside half-inch margins.
TEST_F(PrintTest, APanoramaLongerThanAPrintUsesIsPrintedReducedWhereItsOwnSizePlacesIt) {
    m_router->Execute(cmd::ID_PRESET_FREE);
    PasteSolid(40000, 1000, kBlue);
    ShowBox(false);
    const QString pdf = m_folder.filePath(QStringLiteral("panorama.pdf"));
    ASSERT_TRUE(PrintToPdf(pdf, QPageSize::Letter, 0.5, true));
    const PdfPage page = ReadPdf(pdf);
    ASSERT_EQ(page.facts.images.size(), 1);
    EXPECT_EQ(page.facts.images[0].width, 16384);
    EXPECT_EQ(page.facts.images[0].height, 410);
    const double pixel = 1.0 / kRenderDpi + 1e-9;
    EXPECT_NEAR(page.blueInches.left(), 0.5, pixel);
    EXPECT_NEAR(page.blueInches.width(), 10, 2 * pixel);
    EXPECT_NEAR(page.blueInches.height(), 10.0 / 40, 2 * pixel);
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join('|').toStdString();
}

TEST_F(PrintTest, TheLightValuesArePrintedAsSaveWritesThemAndTheWorkingPictureKeepsItsPixels) {
    const QRgb grey = qRgb(100, 110, 120);
    PasteSolid(300, 200, grey);
    ShowBox(false);
    m_router->Execute(cmd::ID_BRIGHTNESS, CommandValue(PictureDocument::kLightSliderNeutral + 40));
    m_router->Execute(cmd::ID_CONTRAST, CommandValue(PictureDocument::kLightSliderNeutral - 20));
    RasterImage expected;
    ASSERT_TRUE(expected.Copy(m_view->Document()->WorkPicture()));
    ASSERT_TRUE(expected.AdjustLight(40, -20));
    RasterRgbQuad lit = expected.GetPixelColor(150, 100);

    const QString pdf = m_folder.filePath(QStringLiteral("lit.pdf"));
    ASSERT_TRUE(PrintToPdf(pdf, QPageSize::Letter, 0));
    pdfmeasure::RunTool("pdfimages", {"-png", pdf, m_folder.filePath(QStringLiteral("img"))});
    const QImage printed(m_folder.filePath(QStringLiteral("img-000.png")));
    ASSERT_FALSE(printed.isNull());
    const QRgb c = printed.pixel(150, 100);
    EXPECT_NEAR(qRed(c), lit.rgbRed, 2);
    EXPECT_NEAR(qGreen(c), lit.rgbGreen, 2);
    EXPECT_NEAR(qBlue(c), lit.rgbBlue, 2);
    EXPECT_NE(qRed(c), qRed(grey));
    const RasterRgbQuad kept = m_view->Document()->WorkPicture().GetPixelColor(150, 100);
    EXPECT_EQ(kept.rgbRed, qRed(grey));
}

TEST_F(PrintTest, CancelPrintsNothingAndAFailingPrinterGivesTheSystemsReason) {
    EXPECT_FALSE(m_router->QueryUpdate(cmd::ID_FILE_PRINT).enabled);
    PasteSolid(60, 40, kBlue);
    EXPECT_TRUE(m_router->QueryUpdate(cmd::ID_FILE_PRINT).enabled);

    const QString pdf = m_folder.filePath(QStringLiteral("cancelled.pdf"));
    PicturePrinter::SetScript([&](QPrinter& printer, const std::function<QString()>&) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return false;
    });
    EXPECT_FALSE(m_view->PrintPicture());
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_TRUE(m_messages.isEmpty());

    const QString unwritable = m_folder.filePath(QStringLiteral("no-such-folder/print.pdf"));
    EXPECT_FALSE(PrintToPdf(unwritable, QPageSize::Letter, 0));
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].startsWith(QStringLiteral("Could not print "))) << m_messages[0].toStdString();
    EXPECT_TRUE(m_messages[0].contains(QStringLiteral("No such file or directory"))) << m_messages[0].toStdString();
}
