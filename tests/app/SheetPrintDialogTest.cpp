// The sheets dialog driven headless: the order's prints prepared on workers, previewed sheet by
// sheet, saved as a PDF that poppler's tools measure; the contact sheet; Cancel; the choices
// remembered.
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include "PdfMeasure.h"
#include "SheetPrintDialogFixture.h"

namespace {

constexpr int kRenderDpi = 254;                               // a tenth of a millimetre a pixel
constexpr double kToleranceMm = 0.2 + 25.4 / kRenderDpi;      // 0.2 mm, and the render's own pixel

using SheetPrintDialogTest = SheetPrintDialogFixture;

// Save as PDF..., the file dialog answering pdf.
QString SaveThroughTheButton(QPushButton* button, const QString& pdf) {
    FileDialogService::SetChooser([pdf](const FileDialogRequest& request) {
        EXPECT_TRUE(request.save);
        return pdf;
    });
    button->click();
    return pdf;
}

}  // namespace

TEST_F(SheetPrintDialogTest, PreparesTheOrderPreviewsItsSheetsAndSavesThemAsAPdf) {
    const QStringList selected{AddPhoto(QStringLiteral("a.png"), 600, 400), AddPhoto(QStringLiteral("b.png"), 600, 400),
                               AddPhoto(QStringLiteral("c.png"), 900, 600)};
    AddPhoto(QStringLiteral("d.png"), 300, 200, false);
    SheetPrintDialog& dialog = Open(SheetPrintDialog::Kind::Prints, selected);
    EXPECT_TRUE(Find<QRadioButton>("selectedPhotos")->isChecked());
    EXPECT_TRUE(Find<QRadioButton>("folderPhotos")->text().endsWith(QStringLiteral(": 3")));
    Find<QComboBox>("printer")->setCurrentIndex(0);  // a PDF file
    Find<QComboBox>("paper")->setCurrentText(QStringLiteral("A4"));
    EXPECT_DOUBLE_EQ(Find<QDoubleSpinBox>("gap")->value(), 3);
    ASSERT_TRUE(WaitForPreparing());

    // Two 6x4 prints fit on A4 one above the other: three take two sheets.
    EXPECT_EQ(dialog.SheetCount(), 2);
    EXPECT_TRUE(Find<QLabel>("sheetCount")->text().startsWith(QStringLiteral("2 sheets of 210.0 x 297.0 mm")))
        << Find<QLabel>("sheetCount")->text().toStdString();
    const QString notes = Find<QLabel>("notes")->text();
    EXPECT_TRUE(notes.contains(QStringLiteral("a.png (100 dpi)")) && notes.contains(QStringLiteral("b.png (100 dpi)")) &&
                !notes.contains(QStringLiteral("c.png")))
        << notes.toStdString();
    EXPECT_EQ(Find<QLabel>("page")->text(), QStringLiteral("Sheet 1 of 2"));
    EXPECT_FALSE(Find<QPushButton>("previous")->isEnabled());
    Find<QPushButton>("next")->click();
    EXPECT_EQ(Find<QLabel>("page")->text(), QStringLiteral("Sheet 2 of 2"));
    EXPECT_FALSE(Find<QPushButton>("next")->isEnabled());
    EXPECT_FALSE(Find<QLabel>("preview")->pixmap().isNull());

    const QString pdf = SaveThroughTheButton(Find<QPushButton>("savePdf"), m_folder.filePath(QStringLiteral("s.pdf")));
    const pdfmeasure::PdfFacts facts = pdfmeasure::ReadFacts(pdf);
    EXPECT_EQ(facts.pages, 2);
    EXPECT_NEAR(facts.pageWidth, 595.3, 0.5);
    EXPECT_NEAR(facts.pageHeight, 841.9, 0.5);
    // The first sheet: two prints of 152.4 x 101.6 mm, 3 mm apart.
    const QRectF blue = pdfmeasure::MmWhere(pdfmeasure::RenderPage(pdf, 1, kRenderDpi), kRenderDpi, pdfmeasure::IsBlue);
    EXPECT_NEAR(blue.width(), 152.4, kToleranceMm);
    EXPECT_NEAR(blue.height(), 2 * 101.6 + 3, kToleranceMm);
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join('|').toStdString();
}

TEST_F(SheetPrintDialogTest, TheContactSheetPutsTheFoldersPhotosInTheChosenColumns) {
    for (const char* name : {"a.png", "b.png", "c.png", "d.png", "e.png"}) AddPhoto(QString::fromLatin1(name), 300, 200, false);
    SheetPrintDialog& dialog = Open(SheetPrintDialog::Kind::Contact, {});
    EXPECT_TRUE(Find<QRadioButton>("folderPhotos")->isChecked());
    EXPECT_FALSE(Find<QRadioButton>("selectedPhotos")->isEnabled());
    Find<QSpinBox>("columns")->setValue(3);
    Find<QCheckBox>("date")->setChecked(true);
    ASSERT_TRUE(WaitForPreparing());
    EXPECT_EQ(dialog.SheetCount(), 1);
    const QString pdf = SaveThroughTheButton(Find<QPushButton>("savePdf"), m_folder.filePath(QStringLiteral("c.pdf")));
    EXPECT_EQ(pdfmeasure::ReadFacts(pdf).pages, 1);
    // Five pictures, three to a row: two rows of blue.
    const QImage page = pdfmeasure::RenderPage(pdf, 1, 30);
    const QRectF blue = pdfmeasure::InchesWhere(page, 30, pdfmeasure::IsBlue);
    const QRectF firstRow = pdfmeasure::InchesWhere(page.copy(0, 0, page.width(), int((blue.top() + 0.3) * 30)), 30,
                                                    pdfmeasure::IsBlue);
    EXPECT_GT(blue.height(), 2 * firstRow.height());
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join('|').toStdString();
}

// Cancel ends the preparation early and leaves a window that still answers; closing the
// dialog keeps its choices for the next time.
TEST_F(SheetPrintDialogTest, CancelStopsThePreparationAndTheChoicesAreRemembered) {
    QStringList selected;
    for (int i = 0; i < 8; ++i) selected << AddPhoto(QStringLiteral("p%1.png").arg(i), 1500, 1000);
    Open(SheetPrintDialog::Kind::Prints, selected);
    Find<QPushButton>("cancel")->click();
    ASSERT_TRUE(WaitForPreparing());
    EXPECT_FALSE(Find<QPushButton>("cancel")->isEnabled());
    EXPECT_TRUE(Find<QLabel>("notes")->text().contains(QStringLiteral(": stopped")))
        << Find<QLabel>("notes")->text().toStdString();
    Find<QDoubleSpinBox>("gap")->setValue(5.5);
    Find<QCheckBox>("cutMarks")->setChecked(false);
    Find<QComboBox>("defaultSize")->setCurrentIndex(2);
    const QString size = Find<QComboBox>("defaultSize")->currentText();
    Find<QComboBox>("paper")->setCurrentText(QStringLiteral("Letter"));
    ASSERT_TRUE(WaitForPreparing());
    m_dialog->reject();

    Open(SheetPrintDialog::Kind::Prints, selected);
    EXPECT_DOUBLE_EQ(Find<QDoubleSpinBox>("gap")->value(), 5.5);
    EXPECT_FALSE(Find<QCheckBox>("cutMarks")->isChecked());
    EXPECT_EQ(Find<QComboBox>("defaultSize")->currentText(), size);
    EXPECT_EQ(Find<QComboBox>("paper")->currentText(), QStringLiteral("Letter"));
    Find<QPushButton>("cancel")->click();
    ASSERT_TRUE(WaitForPreparing());
}
