// The contact sheet: its grid on the paper, and its PDF read back by poppler: one page per
// grid's worth of readable photos, each photo whole inside its square, its caption's file
// name, date and print size in the text, and the unreadable ones named, not drawn.
#include "order/ContactSheet.h"

#include <string>
#include <vector>

#include <QRegularExpression>

#include <gtest/gtest.h>

#include "commands/CommandIds.h"

#include "image/RasterImage.h"
#include "image/metadata/CropSidecar.h"

#include "PdfMeasure.h"
#include "TestSupport.h"

namespace {

using testsupport::TempDir;

TEST(ContactSheetTest, GridOnThePaper) {
    struct Case {
        const char* paper;
        int columns;
        bool date;
        bool printSize;
        int count;
        double cellWidth;
        double picture;
        int rows;
        int sheets;
    };
    const Case cases[] = {
        // (200 - 3 x 3) / 4 wide; cells 47.75 + 4 mm high, five of them and their gaps in 287.
        {"a4", 4, false, false, 41, 47.75, 47.75, 5, 3},
        // Three caption lines; (287 + 3) / (98.5 + 12 + 3) gives two rows.
        {"a4", 2, true, true, 4, 98.5, 98.5, 2, 1},
        // A single column on a small paper: the square shrinks to leave room for the caption.
        {"100x60mm", 1, true, false, 2, 90.0, 42.0, 1, 2},
        // Nothing fits beneath the caption.
        {"20x14mm", 1, false, false, 1, 10.0, 0.0, 0, 0},
    };
    for (const Case& c : cases) {
        order::ContactOptions options;
        options.columns = c.columns;
        options.date = c.date;
        options.printSize = c.printSize;
        const order::ContactLayout layout = order::LayoutContactSheet(c.count, *order::PaperNamed(c.paper), options);
        EXPECT_NEAR(layout.cellWidthMm, c.cellWidth, 1e-9) << c.paper;
        EXPECT_NEAR(layout.pictureMm, c.picture, 1e-9) << c.paper;
        EXPECT_EQ(layout.rows, c.rows) << c.paper;
        EXPECT_EQ(layout.sheets, c.sheets) << c.paper;
        if (layout.rows == 0) continue;
        // The last cell of a sheet lies inside the printable area, the next one starts over.
        const QRectF last = layout.CaptionMm(layout.PerSheet() - 1);
        const order::Paper paper = *order::PaperNamed(c.paper);
        EXPECT_LE(last.right(), paper.PrintableWidthMm() + 1e-9) << c.paper;
        EXPECT_LE(last.bottom(), paper.PrintableHeightMm() + 1e-9) << c.paper;
        EXPECT_EQ(layout.PictureSquareMm(layout.PerSheet()), layout.PictureSquareMm(0)) << c.paper;
    }
}

TEST(ContactSheetTest, PdfShowsEachReadablePhotoWithItsCaption) {
    if (const std::string missing = pdfmeasure::MissingTools(); !missing.empty()) GTEST_SKIP() << missing;
    TempDir dir;
    const std::string red = (dir / "red.png").string();
    ASSERT_TRUE(testsupport::MakeSolidImage(1800, 1200, 0x0000ff).Save(red.c_str(), RASTER_FORMAT_PNG));
    KeptCrop box;
    box.ownFields = true;
    box.shape = 1;
    box.preset = cmd::ID_PRESET_6X4;
    box.border = cmd::ID_BORDER_NONE;
    ASSERT_TRUE(WriteSidecarCrop(red, box));
    const std::string green = (dir / "green.png").string();
    ASSERT_TRUE(testsupport::MakeSolidImage(400, 800, 0x00ff00).Save(green.c_str(), RASTER_FORMAT_PNG));

    order::ContactOptions options;
    options.columns = 2;
    options.date = true;
    options.printSize = true;
    const order::Paper paper = *order::PaperNamed("a4");
    const std::string pdf = (dir / "contact.pdf").string();
    std::vector<std::string> skipped;
    std::string error;
    ASSERT_TRUE(order::WriteContactPdf(pdf, paper, {red, (dir / "gone.png").string(), green}, options, &skipped, &error))
        << error;
    ASSERT_EQ(skipped.size(), 1u);
    EXPECT_EQ(skipped[0].rfind("gone.png: ", 0), 0u) << skipped[0];

    const QString pdfFile = QString::fromStdString(pdf);
    EXPECT_EQ(pdfmeasure::ReadFacts(pdfFile).pages, 1);
    const QString text = pdfmeasure::ReadText(pdfFile);
    for (const char* expected : {"red.png", "green.png", "6x4"}) {
        EXPECT_TRUE(text.contains(QLatin1String(expected))) << expected << " in " << text.toStdString();
    }
    EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral(R"(\d{4}-\d\d-\d\d \d\d:\d\d)"))))
        << text.toStdString();

    // Each photo whole, fitted in its square, centred across and at its foot: the green one,
    // second, is portrait.
    const order::ContactLayout layout = order::LayoutContactSheet(2, paper, options);
    constexpr int kRenderDpi = 300;
    const QImage render = pdfmeasure::RenderPage(pdfFile, 1, kRenderDpi);
    ASSERT_FALSE(render.isNull());
    struct Expected {
        uint32_t rgb;
        int cell;
        double widthOverHeight;
    };
    for (const Expected& e : {Expected{0xff0000, 0, 1.5}, Expected{0x00ff00, 1, 0.5}}) {
        const QRectF square = layout.PictureSquareMm(e.cell);
        const double width = e.widthOverHeight >= 1 ? square.width() : square.height() * e.widthOverHeight;
        const double height = width / e.widthOverHeight;
        const QRectF extent = pdfmeasure::MmWhere(render, kRenderDpi, pdfmeasure::Near(e.rgb));
        EXPECT_NEAR(extent.width(), width, 0.2) << e.cell;
        EXPECT_NEAR(extent.height(), height, 0.2) << e.cell;
        EXPECT_NEAR(extent.center().x(), paper.leftMm + square.center().x(), 0.2) << e.cell;
        EXPECT_NEAR(extent.bottom(), paper.topMm + square.bottom(), 0.2) << e.cell;
    }
}

}  // namespace
