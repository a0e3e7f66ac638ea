#include "platform/ThumbnailCache.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/PngTextChunks.h"
#include "platform/RasterQtBridge.h"
#include "platform/ThumbnailPngWriter.h"

namespace thumbs {

namespace {

constexpr const char* kKeyUri = "Thumb::URI";
constexpr const char* kKeyMTime = "Thumb::MTime";
constexpr const char* kKeySize = "Thumb::Size";
constexpr const char* kKeyWidth = "Thumb::Image::Width";
constexpr const char* kKeyHeight = "Thumb::Image::Height";
constexpr const char* kKeySoftware = "Software";
constexpr const char* kSoftwareName = "Norvane Snipwell";
// The data is regenerable: nothing is synced to disk, the rename alone publishes an entry whole.
constexpr QFile::Permissions kOwnerOnlyFolder = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;

// An entry holds at most 256 x 256 pixels; a file far larger than one can be is no entry.
constexpr qint64 kMostEntryBytes = 4 * 1024 * 1024;
// Rounding of the sides of an entry, in pixels.
constexpr double kShapeSlack = 1.0;

// What an entry must match of its file.
struct FileStampForEntry {
    qint64 mtime = 0;   // seconds
    qint64 size = 0;    // bytes
};

std::mutex g_overrideMutex;
QString g_cacheHomeOverride;

QString CacheHome() {
    {
        std::lock_guard<std::mutex> lock(g_overrideMutex);
        if (!g_cacheHomeOverride.isEmpty()) return g_cacheHomeOverride;
    }
    // Honours XDG_CACHE_HOME, falls back to ~/.cache.
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
}

// The characters GLib leaves as they are in the path of a file URI.
bool KeptInUri(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return std::strchr("!$&'()*+,-./:;=@_~", c) != nullptr && c != '\0';
}

// Straight from stat: Qt's local-time conversion would add nothing here but a time zone lookup.
qint64 ModificationSeconds(const QFileInfo& info) {
    struct stat status {};
    if (stat(QFile::encodeName(info.absoluteFilePath()).constData(), &status) != 0) return -1;
    return qint64(status.st_mtime);
}

bool IsInsideCache(const QString& absolutePath) {
    const QString cache = QFileInfo(ThumbnailCacheFolder()).canonicalFilePath();
    const QString file = QFileInfo(absolutePath).canonicalFilePath();
    return !cache.isEmpty() && file.startsWith(cache + QLatin1Char('/'));
}

// Whether a picture of pictureWidth x pictureHeight is the thumbnail of a width x height picture:
// its sides keep the ratio, give or take the rounding of one pixel.
bool HasShapeOf(uint32_t pictureWidth, uint32_t pictureHeight, uint32_t width, uint32_t height) {
    const double across = double(pictureHeight) * double(width) / double(height);
    const double down = double(pictureWidth) * double(height) / double(width);
    return std::fabs(across - double(pictureWidth)) <= kShapeSlack || std::fabs(down - double(pictureHeight)) <= kShapeSlack;
}

// Whether the entry's picture is large enough to be shrunk to leastSide without blowing it up.
bool ReachesSide(uint32_t pictureWidth, uint32_t pictureHeight, uint32_t width, uint32_t height, uint32_t leastSide) {
    const uint32_t wanted = std::min(leastSide, std::max(width, height));
    return std::max(pictureWidth, pictureHeight) + kShapeSlack >= wanted;
}

// The whole entry file; empty when it cannot be read or is larger than an entry can be.
QByteArray ReadEntryFile(const QString& entryPath) {
    QFile file(entryPath);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMostEntryBytes) return QByteArray();
    return file.readAll();
}

bool ReadEntry(const QString& entryPath, const QByteArray& uri, const FileStampForEntry& file, uint32_t leastSide,
               CachedThumbnail& found) {
    QByteArray bytes = ReadEntryFile(entryPath);
    if (bytes.isEmpty()) return false;
    auto* data = reinterpret_cast<uint8_t*>(bytes.data());
    // Everything is checked on the chunks before the pixels are decoded.
    PngHeaderAndTexts entry;
    if (!ReadPngHeaderAndTexts(data, size_t(bytes.size()), entry)) return false;
    const QByteArray recordedTime = entry.Text(kKeyMTime);
    if (recordedTime.isEmpty() || recordedTime.toLongLong() != file.mtime) return false;
    // A file rewritten within the same second keeps its time; its length usually tells.
    const QByteArray recordedSize = entry.Text(kKeySize);
    if (!recordedSize.isEmpty() && recordedSize.toLongLong() != file.size) return false;
    const QByteArray recordedUri = entry.Text(kKeyUri);
    if (!recordedUri.isEmpty() && recordedUri != uri) return false;
    bool widthOk = false;
    bool heightOk = false;
    const uint width = entry.Text(kKeyWidth).toUInt(&widthOk);
    const uint height = entry.Text(kKeyHeight).toUInt(&heightOk);
    if (!widthOk || !heightOk || width == 0 || height == 0) return false;
    // An entry whose pixels do not have the recorded picture's shape belongs to another picture
    // (or was written wrongly); one too small would be blown up.
    if (entry.width == 0 || entry.height == 0 || !HasShapeOf(entry.width, entry.height, width, height)) return false;
    if (!ReachesSide(entry.width, entry.height, width, height, leastSide)) return false;
    RasterImage picture;
    if (!picture.Decode(data, uint32_t(bytes.size()), RASTER_FORMAT_PNG) || !picture.IsValid()) return false;
    if (picture.GetWidth() != entry.width || picture.GetHeight() != entry.height) return false;
    if (picture.GetBpp() < 24 && !picture.IncreaseBpp(24)) return false;
    found.width = width;
    found.height = height;
    found.picture.TakeOver(picture);
    return true;
}

// Creates the missing levels of the cache folder, each readable by the user only.
bool MakeOwnerOnlyPath(const QString& folder) {
    if (QFileInfo(folder).isDir()) return true;
    const QString parent = QFileInfo(folder).absolutePath();
    if (parent != folder && !MakeOwnerOnlyPath(parent)) return false;
    return QDir().mkdir(folder, kOwnerOnlyFolder) || QFileInfo(folder).isDir();
}

QImage EntryImage(RasterImage& picture) {
    QImage image = MakeAlphaBitmap(picture);
    if (!image.isNull() && !picture.HasAlpha()) image = image.convertToFormat(QImage::Format_RGB888);
    return image;
}

}  // namespace

void SetCacheHomeOverride(const QString& folder) {
    std::lock_guard<std::mutex> lock(g_overrideMutex);
    g_cacheHomeOverride = folder;
}

QString ThumbnailCacheFolder() { return CacheHome() + QStringLiteral("/thumbnails"); }

QByteArray FileUri(const QString& absolutePath) {
    QByteArray uri("file://");
    for (const char byte : QFile::encodeName(absolutePath)) {
        const auto c = static_cast<unsigned char>(byte);
        if (KeptInUri(c)) {
            uri.append(char(c));
        } else {
            uri.append('%');
            uri.append(QByteArray::number(c, 16).rightJustified(2, '0').toUpper());
        }
    }
    return uri;
}

QString CacheEntryPath(const QString& absolutePath, bool large) {
    const QByteArray key = QCryptographicHash::hash(FileUri(absolutePath), QCryptographicHash::Md5).toHex();
    return ThumbnailCacheFolder() + (large ? QStringLiteral("/large/") : QStringLiteral("/normal/")) +
           QString::fromLatin1(key) + QStringLiteral(".png");
}

bool ReadCachedThumbnail(const QString& absolutePath, CachedThumbnail& found, uint32_t leastSide,
                         CacheEntrySize first) {
    const QFileInfo info(absolutePath);
    if (!info.isFile() || IsInsideCache(absolutePath)) return false;
    const QByteArray uri = FileUri(absolutePath);
    const FileStampForEntry file{ModificationSeconds(info), info.size()};
    const bool largeFirst = first == CacheEntrySize::Large;
    return ReadEntry(CacheEntryPath(absolutePath, largeFirst), uri, file, leastSide, found) ||
           ReadEntry(CacheEntryPath(absolutePath, !largeFirst), uri, file, leastSide, found);
}

bool WriteCachedThumbnail(const QString& absolutePath, RasterImage& picture, uint32_t width, uint32_t height,
                          CacheEntrySize entrySize) {
    const QFileInfo info(absolutePath);
    if (!picture.IsValid() || !info.isFile() || IsInsideCache(absolutePath)) return false;
    const QString entryPath = CacheEntryPath(absolutePath, entrySize == CacheEntrySize::Large);
    const QString folder = QFileInfo(entryPath).absolutePath();
    if (!MakeOwnerOnlyPath(folder)) return false;
    const QImage image = EntryImage(picture);
    if (image.isNull()) return false;
    const PngTexts texts = {
        {kKeyUri, FileUri(absolutePath)},
        {kKeyMTime, QByteArray::number(ModificationSeconds(info))},
        {kKeySize, QByteArray::number(info.size())},
        {kKeyWidth, QByteArray::number(width)},
        {kKeyHeight, QByteArray::number(height)},
        {kKeySoftware, kSoftwareName},
    };
    std::vector<uint8_t> png;
    if (!EncodeQuickPng(image, texts, png)) return false;
    // A temporary file is created with mode 0600; renaming it publishes the entry whole.
    QTemporaryFile part(folder + QStringLiteral("/snipwell-XXXXXX.png.part"));
    if (!part.open() || part.write(reinterpret_cast<const char*>(png.data()), qint64(png.size())) != qint64(png.size()) ||
        !part.flush()) {
        return false;
    }
    if (std::rename(QFile::encodeName(part.fileName()).constData(), QFile::encodeName(entryPath).constData()) != 0) {
        return false;
    }
    part.setAutoRemove(false);
    return true;
}

}  // namespace thumbs
