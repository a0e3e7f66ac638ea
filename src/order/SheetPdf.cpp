#include "order/SheetPdf.h"

#include <QBuffer>
#include <QByteArray>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>

#include "image/FileBeside.h"

namespace order {

bool WritePdfPages(const std::string& path, const Paper& paper, int pages, const PaintPage& paint,
                   std::string* error) {
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setCreator(QStringLiteral("Snipwell"));
        writer.setResolution(kPdfUnitsPerInch);
        // The page is the paper itself: the margins are the layout's, not the writer's.
        const QPageSize size(QSizeF(paper.widthMm, paper.heightMm), QPageSize::Millimeter, QString(),
                             QPageSize::ExactMatch);
        if (!writer.setPageLayout(QPageLayout(size, QPageLayout::Portrait, QMarginsF(), QPageLayout::Millimeter))) {
            if (error) *error = "the PDF writer refuses that paper size";
            return false;
        }
        QPainter painter;
        if (!painter.begin(&writer)) {
            if (error) *error = "the PDF cannot be started";
            return false;
        }
        SheetGeometry geometry;
        geometry.unitsPerMm = kPdfUnitsPerInch / kMillimetresPerInch;
        geometry.origin = QPointF(paper.leftMm * geometry.unitsPerMm, paper.topMm * geometry.unitsPerMm);
        for (int page = 0; page < pages; ++page) {
            if (page > 0) writer.newPage();
            paint(painter, page, geometry);
        }
        painter.end();
    }
    return WriteFileBeside(path, bytes.constData(), size_t(bytes.size()), error);
}

bool WriteSheetsPdf(const std::string& path, const Paper& paper, const SheetPlan& plan,
                    const std::vector<SheetPrint>& prints, const std::vector<int>* indices, bool cutMarks,
                    std::string* error) {
    return WritePdfPages(
        path, paper, int(plan.sheets.size()),
        [&](QPainter& painter, int page, const SheetGeometry& geometry) {
            PaintSheet(painter, plan.sheets[size_t(page)], prints, indices, geometry, cutMarks);
        },
        error);
}

}  // namespace order
