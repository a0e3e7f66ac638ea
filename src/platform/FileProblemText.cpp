#include "platform/FileProblemText.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/RasterImage.h"

namespace {

struct KnownError {
    const char* core;
    const char* reason;
};

// Core texts that say more to a user in other words; every other text is shown as it is.
constexpr KnownError kKnownErrors[] = {
    {"Decode: Unknown or wrong format", "it is not a picture in a format this program reads, or it is damaged"},
    {"Save: the file could not be written", "the file could not be written (the disk may be full)"},
    {"RasterImage::Create can't allocate memory", "there is not enough memory"},
    {"Encode: Unknown format", "its extension names no picture format"},
};

// The prefixes by which the core says which step failed; the user needs the reason only.
constexpr const char* kStepPrefixes[] = {"Decode: ", "Encode: ", "Save: ", "Load: "};

QString LowerFirstWord(QString text) {
    // "Permission denied" reads as a clause; "JPEG: ..." and other names keep their capitals.
    if (text.size() >= 2 && text[0].isUpper() && text[1].isLower()) text[0] = text[0].toLower();
    return text;
}

}  // namespace

QString ReasonFromCoreError(const char* coreError) {
    if (coreError == nullptr || *coreError == '\0') return QStringLiteral("the reason is not known");
    for (const KnownError& known : kKnownErrors) {
        if (std::strcmp(coreError, known.core) == 0) return QString::fromLatin1(known.reason);
    }
    QString text = QString::fromUtf8(coreError).trimmed();
    for (const char* prefix : kStepPrefixes) {
        if (text.startsWith(QLatin1String(prefix))) {
            text = text.mid(qsizetype(std::strlen(prefix)));
            break;
        }
    }
    while (text.endsWith(QLatin1Char('.'))) text.chop(1);
    return LowerFirstWord(text);
}

QString FileNameOf(const QString& path) { return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1); }

QString ByteSizeText(uint64_t bytes, Rounding rounding) {
    const bool giga = bytes >= 1'000'000'000;
    // Tenths of a gigabyte, or whole megabytes.
    const double units = double(bytes) / (giga ? 1e8 : 1e6);
    const double rounded = rounding == Rounding::Up     ? std::ceil(units - 1e-9)
                           : rounding == Rounding::Down ? std::floor(units + 1e-9)
                                                        : std::round(units);
    if (giga) return QStringLiteral("%1 GB").arg(rounded / 10.0, 0, 'f', 1);
    return QStringLiteral("%1 MB").arg(std::max(1.0, rounded), 0, 'f', 0);
}

QString TooLargeText(const QString& path, const RasterTooLarge& size, uint64_t limitBytes) {
    // One pass over the text: a name with markers of its own is taken as it is.
    return QStringLiteral("%1 is %2 x %3 pixels and needs %4; on this computer a picture may take at most %5.")
        .arg(FileNameOf(path), QString::number(size.width), QString::number(size.height),
             ByteSizeText(size.bytes, Rounding::Up), ByteSizeText(limitBytes, Rounding::Down));
}

QString OpenFailureText(const QString& path, const char* coreError) {
    RasterTooLarge size{};
    if (coreError != nullptr && RasterTooLargeFromText(coreError, size)) {
        return TooLargeText(path, size, RasterImage::MemoryLimit());
    }
    return QStringLiteral("Could not open %1: %2.").arg(FileNameOf(path), ReasonFromCoreError(coreError));
}

QString SaveFailureText(const QString& path, const char* coreError) {
    return QStringLiteral("Could not save %1: %2.").arg(FileNameOf(path), ReasonFromCoreError(coreError));
}
