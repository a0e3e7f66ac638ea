#include "order/ContactSheet.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>

#include <exiv2/exiv2.hpp>

#include "doc/CropBoxModel.h"
#include "doc/PictureLoader.h"

#include "image/metadata/ColourConversion.h"
#include "image/metadata/Exiv2Setup.h"

#include "order/SheetPdf.h"
#include "order/SheetWorkers.h"

#include "platform/RasterQtBridge.h"

namespace order {

namespace {

int CaptionLines(const ContactOptions& options) { return 1 + int(options.date) + int(options.printSize); }

// "2024-05-01 14:30" from EXIF's "2024:05:01 14:30:00"; empty when the photo has none.
std::string ExifTakenDate(const PictureMetadata* metadata) {
    if (metadata == nullptr || metadata->exif.empty()) return {};
    try {
        EnsureExiv2Ready();
        Exiv2::ExifData exif;
        Exiv2::ExifParser::decode(exif, metadata->exif.data(), uint32_t(metadata->exif.size()));
        const auto found = exif.findKey(Exiv2::ExifKey("Exif.Photo.DateTimeOriginal"));
        if (found == exif.end()) return {};
        const QDateTime taken =
            QDateTime::fromString(QString::fromStdString(found->toString()), QStringLiteral("yyyy:MM:dd HH:mm:ss"));
        return taken.isValid() ? taken.toString(QStringLiteral("yyyy-MM-dd HH:mm")).toStdString() : std::string();
    } catch (const std::exception&) {
        return {};
    }
}

std::string FileDate(const std::string& photo) {
    const QFileInfo info(QFile::decodeName(photo.c_str()));
    return info.lastModified().toString(QStringLiteral("yyyy-MM-dd HH:mm")).toStdString();
}

// The box's print size ("6x4"); empty without a box of a print size.
std::string BoxPrintSize(const std::string& photo, const ContactOptions& options) {
    const BoxLookup lookup = options.boxes ? options.boxes(photo) : ReadBoxFromSidecar(photo);
    if (!lookup.crop) return {};
    const cropbox::PrintSizePreset* preset = cropbox::FindPreset(lookup.crop->preset);
    return preset != nullptr && preset->width > 0 ? preset->name : std::string();
}

// The picture reduced (never enlarged) to fit a square of sidePixels.
bool FitIntoSquare(RasterImage& picture, int sidePixels) {
    const int width = int(picture.GetWidth());
    const int height = int(picture.GetHeight());
    if (std::max(width, height) <= sidePixels) return true;
    const double scale = double(sidePixels) / std::max(width, height);
    return picture.Rescale(uint32_t(std::max(1L, std::lround(width * scale))),
                           uint32_t(std::max(1L, std::lround(height * scale))), RASTER_RESCALE_AREA);
}

ContactEntry PrepareContactEntry(const std::string& photo, int sidePixels, const ContactOptions& options,
                                 const std::atomic<bool>* stop) {
    ContactEntry entry;
    entry.photo = photo;
    entry.caption.push_back(std::filesystem::path(photo).filename().string());
    OpenedPicture opened;
    if (!PictureLoader::OpenFull(QFile::decodeName(photo.c_str()), opened, stop)) {
        entry.problem = opened.error.toStdString();
        return entry;
    }
    RasterImage& picture = opened.picture;
    if ((picture.GetBpp() != 24 && !picture.IncreaseBpp(24)) || !FitIntoSquare(picture, sidePixels)) {
        entry.problem = "it cannot be reduced: there is not enough memory";
        return entry;
    }
    if (opened.metadata && !opened.metadata->icc.empty()) ConvertToSrgbColours(picture, opened.metadata->icc);
    entry.thumbnail = QImage(int(picture.GetWidth()), int(picture.GetHeight()), QImage::Format_RGB32);
    if (entry.thumbnail.isNull() || !CopyOpaqueInto(picture, entry.thumbnail, 0, 0)) {
        entry.thumbnail = QImage();
        entry.problem = "it cannot be reduced: there is not enough memory";
        return entry;
    }
    if (options.date) {
        const std::string taken = ExifTakenDate(opened.metadata.get());
        entry.caption.push_back(taken.empty() ? FileDate(photo) : taken);
    }
    if (options.printSize) entry.caption.push_back(BoxPrintSize(photo, options));
    return entry;
}

QRectF Scaled(const QRectF& mm, const SheetGeometry& geometry) {
    return {geometry.origin.x() + mm.x() * geometry.unitsPerMm, geometry.origin.y() + mm.y() * geometry.unitsPerMm,
            mm.width() * geometry.unitsPerMm, mm.height() * geometry.unitsPerMm};
}

// The picture's rectangle: fitted into square, centred across and resting on its bottom edge,
// so that its caption lies just beneath it whichever way it stands.
QRectF FittedInto(const QRectF& square, QSize pixels) {
    const double scale = std::min(square.width() / pixels.width(), square.height() / pixels.height());
    const QSizeF size(pixels.width() * scale, pixels.height() * scale);
    return {square.center().x() - size.width() / 2, square.bottom() - size.height(), size.width(), size.height()};
}

}  // namespace

QRectF ContactLayout::PictureSquareMm(int index) const {
    const int local = PerSheet() > 0 ? index % PerSheet() : 0;
    const int row = local / std::max(columns, 1);
    const int column = local % std::max(columns, 1);
    const double cellHeight = pictureMm + captionMm;
    return {column * (cellWidthMm + gapMm) + (cellWidthMm - pictureMm) / 2, row * (cellHeight + gapMm), pictureMm,
            pictureMm};
}

QRectF ContactLayout::CaptionMm(int index) const {
    const QRectF square = PictureSquareMm(index);
    return {square.center().x() - cellWidthMm / 2, square.bottom(), cellWidthMm, captionMm};
}

ContactLayout LayoutContactSheet(int count, const Paper& paper, const ContactOptions& options) {
    ContactLayout layout;
    layout.columns = std::clamp(options.columns, 1, kMaxContactColumns);
    layout.gapMm = std::max(0.0, options.gapMm);
    layout.captionMm = CaptionLines(options) * kContactCaptionLineMm;
    layout.cellWidthMm =
        (paper.PrintableWidthMm() - (layout.columns - 1) * layout.gapMm) / layout.columns;
    layout.pictureMm = std::min(layout.cellWidthMm, paper.PrintableHeightMm() - layout.captionMm);
    if (!(layout.pictureMm > 0)) return layout;
    const double cellHeight = layout.pictureMm + layout.captionMm;
    layout.rows = int(std::floor((paper.PrintableHeightMm() + layout.gapMm) / (cellHeight + layout.gapMm)));
    if (layout.rows > 0) layout.sheets = (count + layout.PerSheet() - 1) / layout.PerSheet();
    return layout;
}

std::vector<ContactEntry> PrepareContactEntries(const std::vector<std::string>& photos, const ContactLayout& layout,
                                                const ContactOptions& options, const std::atomic<bool>* stop) {
    std::vector<ContactEntry> entries(photos.size());
    const int sidePixels =
        std::max(1, int(std::lround(layout.pictureMm / kMillimetresPerInch * cropbox::kSharpPrintDpi)));
    ForEachOnWorkers(
        int(photos.size()), options.workers,
        [&](int index) { entries[size_t(index)] = PrepareContactEntry(photos[size_t(index)], sidePixels, options, stop); },
        [&](int index) {
            entries[size_t(index)].photo = photos[size_t(index)];
            entries[size_t(index)].problem = "stopped";
        },
        stop);
    return entries;
}

void PaintContactSheet(QPainter& painter, const ContactLayout& layout, int sheet,
                       const std::vector<const ContactEntry*>& entries, const SheetGeometry& geometry) {
    const int first = sheet * layout.PerSheet();
    const int end = std::min(int(entries.size()), first + layout.PerSheet());
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    QFont font;
    font.setPixelSize(std::max(1, int(std::lround(kContactCaptionFontPt / 72.0 * kMillimetresPerInch *
                                                  geometry.unitsPerMm))));
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QFontMetricsF metrics(font, painter.device());
    const double lineHeight = kContactCaptionLineMm * geometry.unitsPerMm;
    for (int index = first; index < end; ++index) {
        const ContactEntry& entry = *entries[size_t(index)];
        const QRectF square = Scaled(layout.PictureSquareMm(index), geometry);
        if (!entry.thumbnail.isNull()) painter.drawImage(FittedInto(square, entry.thumbnail.size()), entry.thumbnail);
        QRectF line = Scaled(layout.CaptionMm(index), geometry);
        line.setHeight(lineHeight);
        for (const std::string& text : entry.caption) {
            const QString elided = metrics.elidedText(QString::fromStdString(text), Qt::ElideMiddle, line.width());
            painter.drawText(line, Qt::AlignHCenter | Qt::AlignVCenter, elided);
            line.translate(0, lineHeight);
        }
    }
    painter.restore();
}

bool WriteContactPdf(const std::string& path, const Paper& paper, const std::vector<std::string>& photos,
                     const ContactOptions& options, std::vector<std::string>* skipped, std::string* error) {
    ContactLayout layout = LayoutContactSheet(int(photos.size()), paper, options);
    if (layout.rows == 0) {
        if (error) *error = "not even one row of the contact sheet fits on that paper";
        return false;
    }
    const std::vector<ContactEntry> entries = PrepareContactEntries(photos, layout, options, nullptr);
    std::vector<const ContactEntry*> readable;
    for (const ContactEntry& entry : entries) {
        if (entry.problem.empty()) {
            readable.push_back(&entry);
        } else if (skipped) {
            skipped->push_back(std::filesystem::path(entry.photo).filename().string() + ": " + entry.problem);
        }
    }
    if (readable.empty()) {
        if (error) *error = "none of the photos can be read";
        return false;
    }
    layout = LayoutContactSheet(int(readable.size()), paper, options);
    return WritePdfPages(
        path, paper, layout.sheets,
        [&](QPainter& painter, int page, const SheetGeometry& geometry) {
            PaintContactSheet(painter, layout, page, readable, geometry);
        },
        error);
}

}  // namespace order
