// The sheets printed as a user prints them: through the private CUPS daemon's cups-pdf queue,
// on the paper the printer offers, inside its printable area; the next time, the dialog offers
// that printer first.
#include <QComboBox>
#include <QPushButton>

#include "PdfMeasure.h"
#include "PrivateCups.h"
#include "SheetPrintDialogFixture.h"

namespace {

constexpr int kRenderDpi = 254;                           // a tenth of a millimetre a pixel
constexpr double kToleranceMm = 0.2 + 25.4 / kRenderDpi;  // 0.2 mm, and the render's own pixel

using SheetPrintDialogCupsTest = SheetPrintDialogFixture;

}  // namespace

TEST_F(SheetPrintDialogCupsTest, TheSheetsComeOutOfTheQueueAtTheirPrintSizes) {
    PrivateCups cups;
    if (!cups.Ready()) GTEST_SKIP() << cups.Problem().toStdString();
    const QStringList selected{AddPhoto(QStringLiteral("a.png"), 1200, 800), AddPhoto(QStringLiteral("b.png"), 1200, 800),
                               AddPhoto(QStringLiteral("c.png"), 1200, 800)};
    SheetPrintDialog& dialog = Open(SheetPrintDialog::Kind::Prints, selected);
    QComboBox* printer = Find<QComboBox>("printer");
    const int queue = printer->findData(cups.Queue());
    ASSERT_GE(queue, 0) << "the private queue is not offered";
    printer->setCurrentIndex(queue);
    ASSERT_TRUE(WaitForPreparing());
    const order::Paper paper = dialog.ChosenPaper();
    ASSERT_GT(dialog.SheetCount(), 1);

    int asked = 0;
    SheetPrintDialog::SetPrintScript([&asked](QPrinter&) { return ++asked > 0; });
    Find<QPushButton>("print")->click();
    EXPECT_EQ(asked, 1);
    const QString pdf = cups.WaitForPdf();
    ASSERT_FALSE(pdf.isEmpty()) << cups.Problem().toStdString();

    const pdfmeasure::PdfFacts facts = pdfmeasure::ReadFacts(pdf);
    EXPECT_EQ(facts.pages, dialog.SheetCount());
    EXPECT_NEAR(facts.pageWidth, paper.widthMm * pdfmeasure::kPointsPerMm, 1);
    EXPECT_NEAR(facts.pageHeight, paper.heightMm * pdfmeasure::kPointsPerMm, 1);
    // Two 6x4 prints, one above the other with the 3 mm gap, inside the printable area.
    const QRectF blue = pdfmeasure::MmWhere(pdfmeasure::RenderPage(pdf, 1, kRenderDpi), kRenderDpi, pdfmeasure::IsBlue);
    EXPECT_NEAR(blue.width(), 152.4, kToleranceMm);
    EXPECT_NEAR(blue.height(), 2 * 101.6 + 3, kToleranceMm);
    EXPECT_GE(blue.left(), paper.leftMm - kToleranceMm);
    EXPECT_GE(blue.top(), paper.topMm - kToleranceMm);
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join('|').toStdString();

    Open(SheetPrintDialog::Kind::Prints, selected);
    EXPECT_EQ(Find<QComboBox>("printer")->currentData().toString(), cups.Queue());
    ASSERT_TRUE(WaitForPreparing());
}
