// What a PDF the program wrote holds, as poppler's tools (not ours) read it: the page count and
// size (pdfinfo), each image's pixels and resolution (pdfimages -list), the text (pdftotext),
// and where a colour lies on a page rendered at a known resolution (pdftoppm).
#pragma once

#include <functional>
#include <string>

#include <QImage>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QVector>

namespace pdfmeasure {

inline constexpr double kPointsPerMm = 72 / 25.4;

// Empty when poppler's tools are installed; else why a test that reads a PDF skips.
std::string MissingTools();

struct PdfImage {
    int page = 0;
    int width = 0;  // pixels
    int height = 0;
    double ppiX = 0;  // rounded to whole numbers by pdfimages
    double ppiY = 0;
};

struct PdfFacts {
    int pages = 0;
    double pageWidth = 0;  // points, of the first page (Qt's writer gives whole points)
    double pageHeight = 0;
    QVector<PdfImage> images;
};

// Runs a tool; its output, or empty after a test failure that names the tool.
QString RunTool(const QString& program, const QStringList& arguments);

PdfFacts ReadFacts(const QString& pdf);

// The text of every page, laid out as on the page.
QString ReadText(const QString& pdf);

// Page `page` (1-based) rendered at dpi without anti-aliasing; null after a test failure.
QImage RenderPage(const QString& pdf, int page, int dpi);

// The bounding box, from the page's top left corner, of the render's pixels that match; empty
// when none does.
QRectF InchesWhere(const QImage& render, int dpi, const std::function<bool(QRgb)>& matches);
QRectF MmWhere(const QImage& render, int dpi, const std::function<bool(QRgb)>& matches);

// Blue pixels (the print tests' solid pictures).
bool IsBlue(QRgb colour);
// Pixels whose every channel lies within tolerance of colour's.
std::function<bool(QRgb)> Near(QRgb colour, int tolerance = 40);

}  // namespace pdfmeasure
