// Photos made ready for sheets and written to PDF, read back by poppler: each print's size
// follows its box (or the fallback size, or the default one), its pixels are its own or
// reduced to 300 dpi, its colours are sRGB, and on the rendered page each print lies where the
// packing put it, at its exact size to 0.2 mm, turned when the packing turned it.
#include "order/SheetPdf.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "commands/CommandIds.h"

#include "image/PictureMetadata.h"
#include "image/RasterImage.h"
#include "image/metadata/CropSidecar.h"

#include "MetadataFixtures.h"
#include "PdfMeasure.h"
#include "TestSupport.h"

namespace {

using testsupport::TempDir;

constexpr uint32_t kPreset5x35 = 32789;
constexpr double kMeasureMm = 0.2;
constexpr int kRenderDpi = 300;

// 0xRRGGBB as the core's 0x00BBGGRR.
uint32_t ColorRef(uint32_t rgb) { return (rgb & 0xff) << 16 | (rgb & 0xff00) | (rgb >> 16 & 0xff); }

struct TestPhoto {
    const char* name;
    uint32_t width;
    uint32_t height;
    uint32_t rgb;
    std::optional<uint32_t> preset;  // a box of this preset on cover, else no sidecar
    KeptCrop cover;                  // the box's rectangle
};

KeptCrop Cover(double left, double top, double right, double bottom) {
    KeptCrop box;
    box.left = left;
    box.top = top;
    box.right = right;
    box.bottom = bottom;
    return box;
}

// A flat-coloured PNG (exact colours) with its box kept in a sidecar when it has one.
std::string MakePhoto(const TempDir& dir, const TestPhoto& made, PictureMetadata* metadata = nullptr) {
    const std::string path = (dir / made.name).string();
    RasterImage picture = testsupport::MakeSolidImage(made.width, made.height, ColorRef(made.rgb));
    const bool jpeg = metadata != nullptr;
    if (jpeg) picture.SetJpegQuality(100);
    EXPECT_TRUE(picture.Save(path.c_str(), jpeg ? RASTER_FORMAT_JPG : RASTER_FORMAT_PNG, metadata));
    if (made.preset) {
        KeptCrop box = made.cover;
        box.ownFields = true;
        box.shape = 1;
        box.preset = *made.preset;
        box.border = cmd::ID_BORDER_NONE;
        box.placedWidth = made.width;
        box.placedHeight = made.height;
        EXPECT_TRUE(WriteSidecarCrop(path, box));
    }
    return path;
}

const KeptCrop kWhole = Cover(0, 0, 1, 1);

TEST(SheetPdfTest, EachPhotoIsMadeReadyAtItsPrintSize) {
    struct Case {
        TestPhoto photo;
        uint32_t fallback;
        double widthMm;
        double heightMm;
        int pixelWidth;
        int pixelHeight;
        int dpi;
    };
    const Case cases[] = {
        // A 6x4 box at exactly 300 dpi keeps its pixels; at 400 dpi it is reduced to 300.
        {{"at300.png", 1800, 1200, 0xff0000, cmd::ID_PRESET_6X4, kWhole}, 0, 152.4, 101.6, 1800, 1200, 300},
        {{"at400.png", 2400, 1600, 0x00ff00, cmd::ID_PRESET_6X4, kWhole}, 0, 152.4, 101.6, 1800, 1200, 400},
        // Half the photo's width, portrait box in a landscape photo: printed portrait.
        {{"portrait.png", 2400, 1800, 0x0000ff, cmd::ID_PRESET_6X4, Cover(0.25, 0, 0.75, 1)},
         0, 101.6, 152.4, 1200, 1800, 300},
        // No box, no fallback: whole, fitted inside the default 6x4 (1.6 is longer than 1.5).
        {{"whole.png", 640, 400, 0xffff00, std::nullopt, kWhole}, 0, 152.4, 95.25, 640, 400, 107},
        // No box, fallback 5x3.5: the largest centred 3.5:5 box of the portrait photo.
        {{"fallback.png", 1000, 1600, 0xff00ff, std::nullopt, kWhole}, kPreset5x35, 88.9, 127.0, 1000, 1429, 286},
        // A Free square box, fallback 6x4: narrowed inside the box, lying as the photo lies.
        {{"free.png", 2000, 1000, 0x00ffff, cmd::ID_PRESET_FREE, Cover(0.25, 0, 0.75, 1)},
         cmd::ID_PRESET_6X4, 152.4, 101.6, 1000, 667, 167},
    };
    TempDir dir;
    for (const Case& c : cases) {
        order::SheetPrintOptions options;
        options.fallbackPreset = c.fallback;
        const order::SheetPrint print = order::PrepareSheetPrint(MakePhoto(dir, c.photo), options, nullptr);
        ASSERT_TRUE(print.Printable()) << c.photo.name << ": " << print.problem;
        EXPECT_EQ(print.name, c.photo.name);
        EXPECT_NEAR(print.size.widthMm, c.widthMm, 1e-6) << c.photo.name;
        EXPECT_NEAR(print.size.heightMm, c.heightMm, 1e-6) << c.photo.name;
        EXPECT_EQ(print.pixels.width(), c.pixelWidth) << c.photo.name;
        EXPECT_EQ(print.pixels.height(), c.pixelHeight) << c.photo.name;
        EXPECT_EQ(print.dpi, c.dpi) << c.photo.name;
        EXPECT_EQ(print.lowDpi, c.dpi < 150) << c.photo.name;
        EXPECT_EQ(print.pixels.pixel(print.pixels.width() / 2, print.pixels.height() / 2) & 0xffffff, c.photo.rgb)
            << c.photo.name;
    }
}

TEST(SheetPdfTest, UnprintablePhotosSayWhyAndColoursBecomeSrgb) {
    TempDir dir;
    const std::vector<std::string> missing = {(dir / "gone.png").string()};
    const std::vector<order::SheetPrint> prints = order::PrepareSheetPrints(missing, {}, nullptr);
    ASSERT_EQ(prints.size(), 1u);
    EXPECT_FALSE(prints[0].Printable());
    EXPECT_EQ(prints[0].name, "gone.png");

    // A Display P3 photo: the same numbers mean a more saturated colour, which sRGB needs
    // larger red numbers for.
    PictureMetadata metadata;
    metadata.icc = testsupport::MakeDisplayP3Profile();
    const TestPhoto p3{"p3.jpg", 600, 400, 0xc86432, cmd::ID_PRESET_6X4, kWhole};
    const order::SheetPrint print = order::PrepareSheetPrint(MakePhoto(dir, p3, &metadata), {}, nullptr);
    ASSERT_TRUE(print.Printable()) << print.problem;
    const QRgb converted = print.pixels.pixel(300, 200);
    EXPECT_GE(qRed(converted), 0xc8 + 8);
    EXPECT_LE(qBlue(converted), 0x32);
}

struct SheetCase {
    const char* what;
    const char* paper;
    std::vector<TestPhoto> photos;
    bool cutMarks;
    int pages;
};

void ExpectPrintsWherePacked(const QString& pdf, const SheetCase& c, const order::Paper& paper,
                             const order::SheetPlan& plan, const std::vector<int>& indices) {
    for (size_t sheet = 0; sheet < plan.sheets.size(); ++sheet) {
        const QImage render = pdfmeasure::RenderPage(pdf, int(sheet) + 1, kRenderDpi);
        ASSERT_FALSE(render.isNull()) << c.what;
        for (const order::PlacedPrint& placed : plan.sheets[sheet].prints) {
            const TestPhoto& photo = c.photos[size_t(indices[size_t(placed.print)])];
            const QRectF extent = pdfmeasure::MmWhere(render, kRenderDpi, pdfmeasure::Near(photo.rgb));
            EXPECT_NEAR(extent.left(), paper.leftMm + placed.xMm, kMeasureMm) << c.what << " " << photo.name;
            EXPECT_NEAR(extent.top(), paper.topMm + placed.yMm, kMeasureMm) << c.what << " " << photo.name;
            EXPECT_NEAR(extent.width(), placed.widthMm, kMeasureMm) << c.what << " " << photo.name;
            EXPECT_NEAR(extent.height(), placed.heightMm, kMeasureMm) << c.what << " " << photo.name;
        }
        // A cut mark runs along the first print's top edge, 0.5 to 2.5 mm left of its corner.
        const order::PlacedPrint& first = plan.sheets[sheet].prints.front();
        const double dotsPerMm = kRenderDpi / 25.4;
        const int x = int((paper.leftMm + first.xMm - 1.5) * dotsPerMm);
        const int y = int((paper.topMm + first.yMm) * dotsPerMm);
        bool dark = false;
        for (int dy = -1; dy <= 1; ++dy) dark = dark || qBlue(render.pixel(x, y + dy)) < 0x80;
        EXPECT_EQ(dark, c.cutMarks) << c.what;
    }
}

TEST(SheetPdfTest, PrintsLieOnThePageAtTheirExactSize) {
    if (const std::string missing = pdfmeasure::MissingTools(); !missing.empty()) GTEST_SKIP() << missing;
    const SheetCase cases[] = {
        {"6x4 on A4 with cut marks",
         "a4",
         {{"red.png", 1800, 1200, 0xff0000, cmd::ID_PRESET_6X4, kWhole},
          {"green.png", 2400, 1600, 0x00ff00, cmd::ID_PRESET_6X4, kWhole},
          {"blue.png", 600, 400, 0x0000ff, cmd::ID_PRESET_6X4, kWhole}},
         true,
         2},
        {"5x3.5 turned on A4, a portrait one among them",
         "a4",
         {{"red.png", 1500, 1050, 0xff0000, kPreset5x35, kWhole},
          {"green.png", 1050, 1500, 0x00ff00, kPreset5x35, kWhole},
          {"blue.png", 1500, 1050, 0x0000ff, kPreset5x35, kWhole},
          {"magenta.png", 1500, 1050, 0xff00ff, kPreset5x35, kWhole}},
         false,
         1},
        // 6x4 fits only turned, 5x3.5 only as it is below it.
        {"mixed sizes on a custom paper",
         "160x260mm",
         {{"red.png", 1500, 1050, 0xff0000, kPreset5x35, kWhole},
          {"green.png", 1800, 1200, 0x00ff00, cmd::ID_PRESET_6X4, kWhole}},
         false,
         1},
    };
    for (const SheetCase& c : cases) {
        TempDir dir;
        std::vector<std::string> photos;
        for (const TestPhoto& photo : c.photos) photos.push_back(MakePhoto(dir, photo));
        const std::vector<order::SheetPrint> prints = order::PrepareSheetPrints(photos, {}, nullptr);
        std::vector<int> indices;
        const std::vector<order::PrintSizeMm> sizes = order::PrintableSizes(prints, &indices);
        ASSERT_EQ(sizes.size(), c.photos.size()) << c.what;
        const order::Paper paper = *order::PaperNamed(c.paper);
        const order::SheetPlan plan =
            order::PackPrints(sizes, paper.PrintableWidthMm(), paper.PrintableHeightMm(), order::kDefaultPrintGapMm);
        const std::string pdf = (dir / "sheets.pdf").string();
        std::string error;
        ASSERT_TRUE(order::WriteSheetsPdf(pdf, paper, plan, prints, &indices, c.cutMarks, &error)) << error;

        const QString pdfFile = QString::fromStdString(pdf);
        const pdfmeasure::PdfFacts facts = pdfmeasure::ReadFacts(pdfFile);
        EXPECT_EQ(facts.pages, c.pages) << c.what;
        // The PDF's page box is in whole points (Qt's writer rounds it): within half a point.
        EXPECT_NEAR(facts.pageWidth, paper.widthMm * pdfmeasure::kPointsPerMm, 0.5) << c.what;
        EXPECT_NEAR(facts.pageHeight, paper.heightMm * pdfmeasure::kPointsPerMm, 0.5) << c.what;
        // Each print embedded with its own pixels, or 300 dpi's worth of them.
        ASSERT_EQ(size_t(facts.images.size()), c.photos.size()) << c.what;
        for (const pdfmeasure::PdfImage& image : facts.images) {
            const auto own = std::find_if(prints.begin(), prints.end(), [&image](const order::SheetPrint& print) {
                return print.pixels.width() == image.width && print.pixels.height() == image.height;
            });
            ASSERT_NE(own, prints.end()) << c.what << ": an image of " << image.width << " x " << image.height;
            EXPECT_NEAR(image.ppiX, std::min(own->dpi, 300), 1) << c.what << " " << own->name;
            EXPECT_NEAR(image.ppiY, std::min(own->dpi, 300), 1) << c.what << " " << own->name;
        }
        ExpectPrintsWherePacked(pdfFile, c, paper, plan, indices);
    }
}

TEST(SheetPdfTest, WritingSaysWhyItFailedAndReplacesWhole) {
    TempDir dir;
    const order::Paper paper = *order::PaperNamed("a4");
    const auto blank = [](QPainter&, int, const order::SheetGeometry&) {};
    std::string error;
    EXPECT_FALSE(order::WritePdfPages((dir / "no-folder" / "x.pdf").string(), paper, 1, blank, &error));
    EXPECT_FALSE(error.empty());
    const std::string pdf = (dir / "kept.pdf").string();
    testsupport::WriteFileBytes(pdf, std::vector<uint8_t>(100000, 'x'));
    ASSERT_TRUE(order::WritePdfPages(pdf, paper, 1, blank, &error)) << error;
    const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(pdf);
    ASSERT_GT(bytes.size(), 5u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 5), "%PDF-");
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 'x') < 1000, true);
}

}  // namespace
