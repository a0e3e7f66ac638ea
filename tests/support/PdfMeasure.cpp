#include "PdfMeasure.h"

#include <cstdlib>
#include <string>
#include <vector>

#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "CliRun.h"
#include "TestSupport.h"

namespace pdfmeasure {

std::string MissingTools() {
    for (const char* tool : {"pdfinfo", "pdfimages", "pdftoppm", "pdftotext"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            return std::string(tool) + " is missing (poppler-utils): the PDF cannot be read back";
        }
    }
    return {};
}

// Started with posix_spawn, not QProcess: Qt starts its children in a way ThreadSanitizer
// cannot follow (its records of the calling thread come out wrong), and the sheets' tests run
// under it.
QString RunTool(const QString& program, const QStringList& arguments) {
    const testsupport::TempDir dir;
    std::vector<std::string> args;
    for (const QString& argument : arguments) args.push_back(argument.toStdString());
    const testsupport::RunResult run = testsupport::RunProgram(dir, program.toStdString(), args);
    if (run.exitCode != 0) {
        ADD_FAILURE() << program.toStdString() << " failed: " << run.err;
        return {};
    }
    return QString::fromLocal8Bit(run.out.data(), qsizetype(run.out.size()));
}

PdfFacts ReadFacts(const QString& pdf) {
    PdfFacts facts;
    const QString info = RunTool(QStringLiteral("pdfinfo"), {pdf});
    const QRegularExpressionMatch size =
        QRegularExpression(QStringLiteral("Page size:\\s+([\\d.]+) x ([\\d.]+) pts")).match(info);
    if (size.hasMatch()) {
        facts.pageWidth = size.captured(1).toDouble();
        facts.pageHeight = size.captured(2).toDouble();
    }
    const QRegularExpressionMatch pages = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    if (pages.hasMatch()) facts.pages = pages.captured(1).toInt();
    // page num type width height color comp bpc enc interp object ID x-ppi y-ppi size ratio
    const QStringList rows = RunTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf}).split('\n', Qt::SkipEmptyParts);
    for (qsizetype i = 2; i < rows.size(); ++i) {
        const QStringList fields = rows[i].split(' ', Qt::SkipEmptyParts);
        if (fields.size() < 14 || fields[2] != QLatin1String("image")) continue;  // soft masks too
        facts.images.push_back(
            {fields[0].toInt(), fields[3].toInt(), fields[4].toInt(), fields[12].toDouble(), fields[13].toDouble()});
    }
    return facts;
}

QString ReadText(const QString& pdf) {
    return RunTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
}

QImage RenderPage(const QString& pdf, int page, int dpi) {
    const QTemporaryDir folder;
    if (!folder.isValid()) {
        ADD_FAILURE() << "no folder for the render of " << pdf.toStdString();
        return {};
    }
    const QString prefix = folder.filePath(QStringLiteral("render"));
    const QString number = QString::number(page);
    RunTool(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-f"), number,
                                         QStringLiteral("-l"), number, QStringLiteral("-aa"), QStringLiteral("no"),
                                         QStringLiteral("-aaVector"), QStringLiteral("no"), QStringLiteral("-singlefile"),
                                         pdf, prefix});
    return QImage(prefix + QStringLiteral(".ppm")).convertToFormat(QImage::Format_RGB32);
}

QRectF InchesWhere(const QImage& render, int dpi, const std::function<bool(QRgb)>& matches) {
    QRect found;
    for (int y = 0; y < render.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(render.constScanLine(y));
        int first = -1;
        int last = -1;
        for (int x = 0; x < render.width(); ++x) {
            if (!matches(row[x])) continue;
            if (first < 0) first = x;
            last = x;
        }
        if (first >= 0) found |= QRect(first, y, last - first + 1, 1);
    }
    if (found.isEmpty()) return {};
    return QRectF(double(found.left()) / dpi, double(found.top()) / dpi, double(found.width()) / dpi,
                  double(found.height()) / dpi);
}

QRectF MmWhere(const QImage& render, int dpi, const std::function<bool(QRgb)>& matches) {
    const QRectF inches = InchesWhere(render, dpi, matches);
    constexpr double kMmPerInch = 25.4;
    return {inches.topLeft() * kMmPerInch, inches.size() * kMmPerInch};
}

bool IsBlue(QRgb colour) { return qRed(colour) < 128 && qBlue(colour) > 128; }

std::function<bool(QRgb)> Near(QRgb colour, int tolerance) {
    return [colour, tolerance](QRgb pixel) {
        return std::abs(qRed(pixel) - qRed(colour)) <= tolerance &&
               std::abs(qGreen(pixel) - qGreen(colour)) <= tolerance &&
               std::abs(qBlue(pixel) - qBlue(colour)) <= tolerance;
    };
}

}  // namespace pdfmeasure
