#include "doc/PictureProblemText.h"

#include <cmath>

#include "image/RasterImage.h"

namespace pictureproblem {

namespace {

constexpr double kBytesPerGigabyte = 1e9;
// Tenths of a gigabyte: one decimal.
constexpr double kTenths = 10;

QString Gigabytes(double tenths) { return QString::number(tenths / kTenths, 'f', 1); }

}  // namespace

QString TooLargeText(const QString& name, uint64_t width, uint64_t height, uint64_t bytes, uint64_t limit) {
    const double needed = std::ceil(double(bytes) / kBytesPerGigabyte * kTenths);
    const double allowed = std::floor(double(limit) / kBytesPerGigabyte * kTenths);
    // One pass over all the markers: a name holding "%3" stays as it is.
    return QStringLiteral("%1 is %2 x %3 pixels and needs %4 GB; this computer allows pictures up to %5 GB")
        .arg(name, QString::number(width), QString::number(height), Gigabytes(needed), Gigabytes(allowed));
}

QString LoadProblemText(const QString& name, const char* coreError, uint64_t limit) {
    RasterTooLarge size{};
    if (RasterTooLargeFromText(coreError, size)) return TooLargeText(name, size.width, size.height, size.bytes, limit);
    const QString detail = QString::fromUtf8(coreError ? coreError : "").trimmed();
    if (detail.isEmpty()) return QStringLiteral("%1 could not be read.").arg(name);
    return QStringLiteral("%1 could not be read: %2").arg(name, detail);
}

}  // namespace pictureproblem
