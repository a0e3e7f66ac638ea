// Print: the working picture, with the light values applied as Save applies them, printed at
// the print-size preset's size (or fitted to the page for the free preset) through the
// platform's print dialogs.
#include <QFileInfo>

#include "platform/MessageService.h"
#include "platform/PicturePrinter.h"
#include "platform/WaitCursor.h"
#include "view/PictureView.h"
#include "view/PrintBitmap.h"
#include "view/PrintLayout.h"

bool PictureView::PrintPicture() {
    if (!m_document->WorkPicture().IsValid()) {
        MessageService::ShowMessage("The current image is invalid.", this);
        return false;
    }
    WaitCursor wait;
    RasterImage copy;
    const bool ok = m_document->MakeLitCopy(copy);
    // The picture's own size places it on the paper; the bitmap may be a reduced copy.
    const QSize pictureSize(int(copy.GetWidth()), int(copy.GetHeight()));
    QImage picture;
    if (ok) picture = printbitmap::MakePrintBitmap(copy);
    wait.Release();
    if (picture.isNull()) {
        MessageService::ShowMessage(
            QStringLiteral("Could not print %1: there is not enough memory to prepare it for the printer.").arg(m_document->PictureName()),
            this);
        return false;
    }

    const uint32_t presetId = m_document->Box().m_presetId;
    const int width = pictureSize.width();
    const int height = pictureSize.height();
    const auto layout = [presetId, width, height](const PrintPaper& paper) {
        const printlayout::Placement placed = printlayout::PlacePicture(presetId, width, height, paper);
        return PrintPlacement{QRectF(placed.left, placed.top, placed.width, placed.height),
                              QString::fromStdString(printlayout::PlacementWarning(placed))};
    };
    const PrintResult result = PicturePrinter::Print(picture, QFileInfo(m_document->Path()).fileName(), layout, this);
    if (result.outcome == PrintOutcome::Failed) {
        MessageService::ShowMessage(QStringLiteral("Could not print %1.\n").arg(m_document->PictureName()) + result.reason, this);
    }
    return result.outcome == PrintOutcome::Printed;
}
