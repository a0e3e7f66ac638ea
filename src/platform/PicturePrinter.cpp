#include "platform/PicturePrinter.h"

#include <QBoxLayout>
#include <QFile>
#include <QLabel>
#include <QPageLayout>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>

namespace {

PicturePrinter::Script g_script;

// Why printer could not start or finish its job. A PDF file that cannot be written gives the
// system's reason for the file; a printer gives what it says of its state.
QString FailureReason(QPrinter& printer) {
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        const QString path = printer.outputFileName();
        if (path.isEmpty()) return QStringLiteral("No file was chosen for the PDF.");
        // Append keeps an existing file as it is: this only asks the system what is wrong.
        QFile probe(path);
        if (!probe.open(QIODevice::Append)) return path + QStringLiteral(": ") + probe.errorString();
        probe.close();
        return path + QStringLiteral(": the file could not be written.");
    }
    const QString name = printer.printerName().isEmpty() ? QStringLiteral("The printer") : printer.printerName();
    if (printer.printerState() == QPrinter::Error) return name + QStringLiteral(" reported an error.");
    return name + QStringLiteral(" could not start the print job.");
}

}  // namespace

void PicturePrinter::SetScript(Script script) {
    g_script = std::move(script);
}

PrintPaper PicturePrinter::PaperOf(const QPrinter& printer) {
    // In points, as the page is written (inches are rounded to hundredths by QPageSize).
    constexpr double kPointsPerInch = 72;
    const QPageLayout page = printer.pageLayout();
    const QRectF paper = page.fullRect(QPageLayout::Point);
    const QMarginsF margins = page.margins(QPageLayout::Point);
    return {paper.width() / kPointsPerInch, paper.height() / kPointsPerInch, margins.left() / kPointsPerInch,
            margins.top() / kPointsPerInch, margins.right() / kPointsPerInch, margins.bottom() / kPointsPerInch};
}

bool PicturePrinter::PrintPage(QPrinter& printer, const QImage& picture, const Layout& layout, QString* reason) {
    // Painter coordinates start at the paper's corner, as the placement's inches do.
    printer.setFullPage(true);
    const PrintPlacement placement = layout(PaperOf(printer));
    QPainter painter;
    if (!painter.begin(&printer)) {
        if (reason != nullptr) *reason = FailureReason(printer);
        return false;
    }
    const double dpiX = painter.device()->logicalDpiX();
    const double dpiY = painter.device()->logicalDpiY();
    const QRectF& in = placement.inches;
    if (!in.isEmpty() && !picture.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(in.left() * dpiX, in.top() * dpiY, in.width() * dpiX, in.height() * dpiY), picture);
    }
    const bool ended = painter.end();
    if (!ended || printer.printerState() == QPrinter::Error || printer.printerState() == QPrinter::Aborted) {
        if (reason != nullptr) *reason = FailureReason(printer);
        return false;
    }
    return true;
}

PrintResult PicturePrinter::Print(const QImage& picture, const QString& title, const Layout& layout, QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(title);
    // The paper starts turned as the picture is; the dialog can still turn it.
    printer.setPageOrientation(picture.width() > picture.height() ? QPageLayout::Landscape : QPageLayout::Portrait);
    QString reason;
    if (g_script) {
        const auto warning = [&printer, &layout] { return layout(PaperOf(printer)).warning; };
        if (!g_script(printer, warning)) return {};
        if (!PrintPage(printer, picture, layout, &reason)) return {PrintOutcome::Failed, reason};
        return {PrintOutcome::Printed, {}};
    }

    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(title.isEmpty() ? QStringLiteral("Print") : QStringLiteral("Print - ") + title);
    auto* warning = new QLabel(&dialog);
    warning->setObjectName(QStringLiteral("printWarning"));
    warning->setWordWrap(true);
    warning->setStyleSheet(QStringLiteral("QLabel { color: #a00000; font-weight: bold; padding: 4px; }"));
    warning->hide();
    if (auto* box = qobject_cast<QBoxLayout*>(dialog.layout())) {
        box->insertWidget(1, warning);
    }
    // The preview paints through the same printer object as the print itself; the paper may
    // change in between (page set-up), so the placement and its warning are worked out anew.
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&](QPrinter* target) {
        const QString text = layout(PaperOf(*target)).warning;
        warning->setText(text);
        warning->setVisible(!text.isEmpty());
        reason.clear();
        PrintPage(*target, picture, layout, &reason);
    });
    if (dialog.exec() != QDialog::Accepted) return {};
    if (!reason.isEmpty()) return {PrintOutcome::Failed, reason};
    return {PrintOutcome::Printed, {}};
}
