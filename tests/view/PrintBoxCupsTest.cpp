// Print as a user prints: through a real CUPS queue (the private daemon's cups-pdf), whose
// PDF poppler's tools measure. cups-pdf's Ghostscript step may resample the pictures, so
// sizes on the page are checked here and resolution on the program's own PDFs.
#include <gtest/gtest.h>

#include <QPrinterInfo>

#include <memory>

#include "PdfMeasure.h"
#include "PrintBoxFixture.h"
#include "PrivateCups.h"
#include "view/PictureView.h"

namespace {

constexpr int kRenderDpi = 254;                               // a tenth of a millimetre a pixel
constexpr double kTolerance = 0.2 / 25.4 + 1.0 / kRenderDpi;  // 0.2 mm, and the render's own pixel

class PrintBoxCupsTest : public PrintFixture {
protected:
    void SetUp() override {
        PrintFixture::SetUp();
        m_cups = std::make_unique<PrivateCups>();
        if (!m_cups->Ready()) GTEST_SKIP() << m_cups->Problem().toStdString();
    }
    void TearDown() override {
        m_cups.reset();
        PrintFixture::TearDown();
    }
    std::unique_ptr<PrivateCups> m_cups;
};

}  // namespace

TEST_F(PrintBoxCupsTest, TheBoxOfAWidePhotoComesOutOfTheQueueAtItsPrintSize) {
    EXPECT_TRUE(QPrinterInfo::availablePrinterNames().contains(m_cups->Queue()))
        << QPrinterInfo::availablePrinterNames().join(' ').toStdString();
    m_router->Execute(cmd::ID_PRESET_6X4);
    OpenSolidPhoto(QStringLiteral("wide.png"), 2560, 1600, qRgb(0, 0, 255));
    m_router->Execute(cmd::ID_SHAPE_RECTANGLE);
    m_router->Execute(cmd::ID_BORDER_NONE);
    ASSERT_TRUE(PrintWith([this](QPrinter& printer) {
        printer.setPrinterName(m_cups->Queue());
        printer.setPageSize(QPageSize(QPageSize::Letter));
        printer.setPageOrientation(QPageLayout::Portrait);
    }));
    const QString pdf = m_cups->WaitForPdf();
    ASSERT_FALSE(pdf.isEmpty()) << m_cups->Problem().toStdString();

    const pdfmeasure::PdfFacts facts = pdfmeasure::ReadFacts(pdf);
    EXPECT_EQ(facts.pages, 1);
    EXPECT_NEAR(facts.pageWidth, 612, 1);
    EXPECT_NEAR(facts.pageHeight, 792, 1);
    const QRectF blue =
        pdfmeasure::InchesWhere(pdfmeasure::RenderPage(pdf, 1, kRenderDpi), kRenderDpi, pdfmeasure::IsBlue);
    // 6x4, not the whole photo's 6 x 3.75, centred on the paper.
    EXPECT_NEAR(blue.width(), 6, kTolerance);
    EXPECT_NEAR(blue.height(), 4, kTolerance);
    EXPECT_NEAR(blue.center().x(), 8.5 / 2, kTolerance);
    EXPECT_NEAR(blue.center().y(), 11.0 / 2, kTolerance);
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join('|').toStdString();
}
