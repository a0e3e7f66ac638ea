// Print through the view's command, the print dialog scripted to send the page to a PDF file;
// poppler's tools read back the paper, the picture's pixels and where it was placed.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <memory>

#include "commands/CommandIds.h"
#include "platform/MessageService.h"
#include "platform/PicturePrinter.h"
#include "platform/SettingsStore.h"
#include "RoutedViewFixture.h"
#include "view/PictureView.h"

namespace {

constexpr QRgb kBlue = qRgb(0, 0, 255);
constexpr int kRenderDpi = 40;  // pdftoppm's resolution when finding where the picture lies

QString RunTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString() << " failed: " << process.readAllStandardError().toStdString();
        return {};
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

// What the PDF holds: its page in points, its one image in pixels and the pixels per inch it
// is drawn at (pdfimages), and the box in inches its blue pixels cover on the rendered page.
struct PdfPage {
    double pageWidth = 0;
    double pageHeight = 0;
    int images = 0;
    int imageWidth = 0;
    int imageHeight = 0;
    double ppiX = 0;
    double ppiY = 0;
    QRectF blueInches;
};

PdfPage ReadPdf(const QString& pdf, const QString& folder) {
    PdfPage page;
    const QRegularExpressionMatch size =
        QRegularExpression(QStringLiteral("Page size:\\s+([\\d.]+) x ([\\d.]+) pts")).match(RunTool("pdfinfo", {pdf}));
    if (size.hasMatch()) {
        page.pageWidth = size.captured(1).toDouble();
        page.pageHeight = size.captured(2).toDouble();
    }
    // page num type width height color comp bpc enc interp object ID x-ppi y-ppi size ratio
    const QStringList rows = RunTool("pdfimages", {"-list", pdf}).split('\n', Qt::SkipEmptyParts);
    for (qsizetype i = 2; i < rows.size(); ++i) {
        const QStringList fields = rows[i].split(' ', Qt::SkipEmptyParts);
        if (fields.size() < 14 || fields[2] != QLatin1String("image")) continue;
        ++page.images;
        page.imageWidth = fields[3].toInt();
        page.imageHeight = fields[4].toInt();
        page.ppiX = fields[12].toDouble();
        page.ppiY = fields[13].toDouble();
    }
    const QString prefix = folder + QStringLiteral("/render");
    RunTool("pdftoppm",
            {"-r", QString::number(kRenderDpi), "-aa", "no", "-aaVector", "no", "-singlefile", pdf, prefix});
    const QImage render(prefix + QStringLiteral(".ppm"));
    QRect blue;
    for (int y = 0; y < render.height(); ++y) {
        for (int x = 0; x < render.width(); ++x) {
            const QRgb c = render.pixel(x, y);
            if (qRed(c) < 128 && qBlue(c) > 128) blue |= QRect(x, y, 1, 1);
        }
    }
    page.blueInches = QRectF(double(blue.left()) / kRenderDpi, double(blue.top()) / kRenderDpi,
                             double(blue.width()) / kRenderDpi, double(blue.height()) / kRenderDpi);
    return page;
}

class PrintTest : public RoutedViewFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.isValid());
        RoutedViewFixture::SetUp();
    }
    void TearDown() override {
        PicturePrinter::SetScript({});
        RoutedViewFixture::TearDown();
    }
    MessageAnswer Answer(const QString& text) override {
        m_messages << text;
        return MessageAnswer::Ok;
    }

    void PasteSolid(int width, int height, QRgb colour) {
        QImage picture(width, height, QImage::Format_RGB32);
        picture.fill(colour);
        QGuiApplication::clipboard()->setImage(picture);
        ASSERT_TRUE(m_router->Execute(cmd::ID_EDIT_PASTE));
        ASSERT_TRUE(m_view->Document()->WorkPicture().IsValid());
    }

    // Runs Print; the scripted dialog chooses a PDF file on the given paper and margins, turns
    // the paper upright unless keepOrientation, and records the warning the dialog would show.
    bool PrintToPdf(const QString& pdf, QPageSize::PageSizeId paper, double margin, bool keepOrientation = false) {
        PicturePrinter::SetScript([&, pdf, paper, margin, keepOrientation](QPrinter& printer,
                                                                         const std::function<QString()>& warning) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            printer.setPageSize(QPageSize(paper));
            if (!keepOrientation) printer.setPageOrientation(QPageLayout::Portrait);
            printer.setPageMargins(QMarginsF(margin, margin, margin, margin), QPageLayout::Inch);
            m_warning = warning();
            return true;
        });
        return m_router->Execute(cmd::ID_FILE_PRINT) && QFile::exists(pdf);
    }

    QTemporaryDir m_folder;
    QStringList m_messages;
    QString m_warning;
};

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
        const QString pdf = m_folder.filePath(QStringLiteral("print.pdf"));
        QFile::remove(pdf);
        ASSERT_TRUE(PrintToPdf(pdf, c.paper, c.margin, c.keepOrientation));
        EXPECT_EQ(m_warning.contains(QStringLiteral("dpi")), c.warns) << m_warning.toStdString();

        const PdfPage page = ReadPdf(pdf, m_folder.path());
        EXPECT_NEAR(page.pageWidth, c.pageWidthPts, 0.01);
        EXPECT_NEAR(page.pageHeight, c.pageHeightPts, 0.01);
        ASSERT_EQ(page.images, 1);
        EXPECT_EQ(page.imageWidth, c.pictureWidth);
        EXPECT_EQ(page.imageHeight, c.pictureHeight);
        // pdfimages rounds the pixels per inch to whole numbers.
        EXPECT_NEAR(c.pictureWidth / page.ppiX, c.placedInches.width(), 0.02);
        EXPECT_NEAR(c.pictureHeight / page.ppiY, c.placedInches.height(), 0.02);
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
    const QString pdf = m_folder.filePath(QStringLiteral("panorama.pdf"));
    ASSERT_TRUE(PrintToPdf(pdf, QPageSize::Letter, 0.5, true));
    const PdfPage page = ReadPdf(pdf, m_folder.path());
    ASSERT_EQ(page.images, 1);
    EXPECT_EQ(page.imageWidth, 16384);
    EXPECT_EQ(page.imageHeight, 410);
    const double pixel = 1.0 / kRenderDpi + 1e-9;
    EXPECT_NEAR(page.blueInches.left(), 0.5, pixel);
    EXPECT_NEAR(page.blueInches.width(), 10, 2 * pixel);
    EXPECT_NEAR(page.blueInches.height(), 10.0 / 40, 2 * pixel);
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join('|').toStdString();
}

TEST_F(PrintTest, TheLightValuesArePrintedAsSaveWritesThemAndTheWorkingPictureKeepsItsPixels) {
    const QRgb grey = qRgb(100, 110, 120);
    PasteSolid(300, 200, grey);
    m_router->Execute(cmd::ID_BRIGHTNESS, CommandValue(PictureDocument::kLightSliderNeutral + 40));
    m_router->Execute(cmd::ID_CONTRAST, CommandValue(PictureDocument::kLightSliderNeutral - 20));
    RasterImage expected;
    ASSERT_TRUE(expected.Copy(m_view->Document()->WorkPicture()));
    ASSERT_TRUE(expected.AdjustLight(40, -20));
    RasterRgbQuad lit = expected.GetPixelColor(150, 100);

    const QString pdf = m_folder.filePath(QStringLiteral("lit.pdf"));
    ASSERT_TRUE(PrintToPdf(pdf, QPageSize::Letter, 0));
    RunTool("pdfimages", {"-png", pdf, m_folder.filePath(QStringLiteral("img"))});
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
