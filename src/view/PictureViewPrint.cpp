// Print: with a shown crop box of a print size, what Cut would make of the box (its shape,
// border and straighten turn, the light values applied as Save applies them) at exactly that
// print size; otherwise the working picture, lit likewise, at the preset's size (or fitted to
// the page for the free preset). The working picture, its history and its modified state stay
// as they are. The platform's print dialogs do the rest.
#include <QFileInfo>

#include "doc/CutOperation.h"
#include "platform/MessageService.h"
#include "platform/PicturePrinter.h"
#include "platform/WaitCursor.h"
#include "view/PictureView.h"
#include "view/PrintBitmap.h"
#include "view/PrintLayout.h"

namespace {

// The box is printed when it is shown and has a print size; a hidden or free box prints the
// whole picture.
bool PrintsTheBox(const PictureDocument& document) {
    const cropbox::CropBoxModel& box = document.Box();
    return box.m_showCropBox && !box.m_crop.IsEmpty() && document.PicturesValid() &&
           printlayout::PresetPrintSize(box.m_presetId, box.m_crop.Width(), box.m_crop.Height()).width > 0;
}

// The cut of the shown box, made from the working picture as the Cut command makes it, with
// the light values in it as a saved cut would carry them.
bool MakeLitBoxCut(const PictureDocument& document, RasterImage& cut) {
    const cropbox::CropBoxModel& box = document.Box();
    const cropbox::Size area = document.ViewArea();
    const cropbox::Size shown = document.ViewSize();
    const CutRequest request{area.width, area.height, shown.width,           shown.height,
                             box.m_crop, box.m_shape, box.BorderFraction(), document.StraightenDegrees()};
    if (!CutPicture(document.WorkPicture(), request, cut)) return false;
    PictureDocument::ApplyLightValues(cut, document.Contrast(), document.Brightness());
    return true;
}

}  // namespace

bool PictureView::PrintPicture() {
    if (!m_document->WorkPicture().IsValid()) {
        MessageService::ShowMessage("The current image is invalid.", this);
        return false;
    }
    WaitCursor wait;
    const bool printsBox = PrintsTheBox(*m_document);
    RasterImage copy;
    const bool ok = printsBox ? MakeLitBoxCut(*m_document, copy) : m_document->MakeLitCopy(copy);
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
    const QString title = QFileInfo(m_document->Path()).fileName();
    const std::string name = title.isEmpty() ? std::string() : title.toStdString();
    const auto layout = [presetId, width, height, printsBox, name](const PrintPaper& paper) {
        const printlayout::Placement placed = printsBox ? printlayout::PlaceBoxCut(presetId, width, height, paper)
                                                        : printlayout::PlacePicture(presetId, width, height, paper);
        return PrintPlacement{QRectF(placed.left, placed.top, placed.width, placed.height),
                              QString::fromStdString(printlayout::PlacementWarning(placed, name))};
    };
    const PrintResult result = PicturePrinter::Print(picture, title, layout, this);
    if (result.outcome == PrintOutcome::Failed) {
        MessageService::ShowMessage(QStringLiteral("Could not print %1.\n").arg(m_document->PictureName()) + result.reason, this);
    }
    return result.outcome == PrintOutcome::Printed;
}
