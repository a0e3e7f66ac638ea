#include "browser/FolderListing.h"

#include <QDir>

#include <algorithm>
#include <string>

#include "image/RasterFormatTable.h"

namespace thumbs {

namespace {

constexpr QChar kSeparator = QLatin1Char('/');

QString CollapseDoubledSeparators(QString path) {
    const QString doubled(2, kSeparator);
    while (path.contains(doubled)) path.replace(doubled, QString(kSeparator));
    return path;
}

// Compares the digit runs starting at ia and ib and advances both past them; the value
// decides, leading zeros do not.
int CompareNumberRuns(const QString& a, qsizetype& ia, const QString& b, qsizetype& ib) {
    auto skipZeros = [](const QString& s, qsizetype& i) {
        while (i < s.size() && s[i] == QLatin1Char('0')) ++i;
    };
    skipZeros(a, ia);
    skipZeros(b, ib);
    const qsizetype startA = ia;
    const qsizetype startB = ib;
    while (ia < a.size() && a[ia].isDigit()) ++ia;
    while (ib < b.size() && b[ib].isDigit()) ++ib;
    const qsizetype lengthA = ia - startA;
    const qsizetype lengthB = ib - startB;
    if (lengthA != lengthB) return lengthA < lengthB ? -1 : 1;
    return QStringView(a).mid(startA, lengthA).compare(QStringView(b).mid(startB, lengthB));
}

int NaturalCompare(const QString& a, const QString& b) {
    qsizetype ia = 0;
    qsizetype ib = 0;
    while (ia < a.size() && ib < b.size()) {
        if (a[ia].isDigit() && b[ib].isDigit()) {
            const int order = CompareNumberRuns(a, ia, b, ib);
            if (order != 0) return order;
            continue;
        }
        const char32_t ca = a[ia].toCaseFolded().unicode();
        const char32_t cb = b[ib].toCaseFolded().unicode();
        if (ca != cb) return ca < cb ? -1 : 1;
        ++ia;
        ++ib;
    }
    if (ia < a.size()) return 1;
    if (ib < b.size()) return -1;
    return 0;
}

}  // namespace

const QStringList& PictureExtensions() {
    // Built once, before the loader thread can ask; read-only afterwards.
    static const QStringList extensions = [] {
        QStringList list;
        for (const std::string& extension : RasterBrowsedExtensions()) list << QString::fromStdString(extension);
        return list;
    }();
    return extensions;
}

QString ExtensionOf(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? fileName : fileName.mid(dot + 1);
}

bool HasPictureExtension(const QString& fileName) {
    const QString extension = ExtensionOf(fileName);
    return PictureExtensions().contains(extension, Qt::CaseInsensitive);
}

QString JoinFolderAndName(const QString& folder, const QString& name) {
    return CollapseDoubledSeparators(folder + kSeparator + name);
}

bool NaturalLess(const QString& a, const QString& b) {
    const int order = NaturalCompare(a, b);
    return order != 0 ? order < 0 : a < b;
}

QStringList ListPictureFiles(const QString& folder) {
    // Files only: a folder named "x.jpg" is skipped; links to files count as files.
    const QDir dir(folder);
    QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::NoSort);
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const QString& name) { return !HasPictureExtension(name); }),
                names.end());
    std::sort(names.begin(), names.end(), NaturalLess);
    return names;
}

}  // namespace thumbs
