// What a printed PDF holds, as poppler's tools (not ours) read it: the page count and size
// (pdfinfo), each image's pixels and resolution (pdfimages -list), and where a colour lies on
// a page rendered at a known resolution (pdftoppm).
#pragma once

#include <QImage>
#include <QRectF>
#include <QString>
#include <QVector>

#include <functional>

namespace pdfmeasure {

struct PdfImage {
    int page = 0;
    int width = 0;   // pixels
    int height = 0;
    double ppiX = 0;  // rounded to whole numbers by pdfimages
    double ppiY = 0;
};

struct PdfFacts {
    int pages = 0;
    double pageWidth = 0;  // points, of the first page
    double pageHeight = 0;
    QVector<PdfImage> images;
};

// Runs a tool; its output, or empty after a test failure that names the tool.
QString RunTool(const QString& program, const QStringList& arguments);

PdfFacts ReadFacts(const QString& pdf);

// Page `page` (1-based) rendered at dpi without anti-aliasing, its file written into folder.
QImage RenderPage(const QString& pdf, int page, int dpi, const QString& folder);

// The bounding box, in inches from the page's top left corner, of the render's pixels that
// match; empty when none does.
QRectF InchesWhere(const QImage& render, int dpi, const std::function<bool(QRgb)>& matches);

// Blue pixels (the tests' solid pictures).
bool IsBlue(QRgb colour);

}  // namespace pdfmeasure
