#include "ui/BenchPhotoFolder.h"

#include <cstdio>

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include "image/formats/RasterJpegThumbnail.h"

namespace {

constexpr int kLeastPhotos = 20;
constexpr uint64_t kLeastPixels = 4000000;
const char* const kDefaultPhotoRoot = "/usr/share/wallpapers";

bool IsJpegName(const QString& name) {
    return name.endsWith(QLatin1String(".jpg"), Qt::CaseInsensitive) ||
           name.endsWith(QLatin1String(".jpeg"), Qt::CaseInsensitive);
}

QByteArray ContentKey(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QByteArray();
    QCryptographicHash hash(QCryptographicHash::Md5);
    hash.addData(&file);
    return hash.result();
}

void CollectPhotos(PhotoFolder& photos) {
    const QByteArray chosen = qgetenv("SNIPWELL_BENCH_PHOTOS");
    const QString root = chosen.isEmpty() ? QString::fromLatin1(kDefaultPhotoRoot) : QFile::decodeName(chosen);
    if (!QDir(root).exists()) {
        photos.problem =
            QStringLiteral("no photo folder %1 (run tools/bench-photos.sh or set SNIPWELL_BENCH_PHOTOS)").arg(root);
        return;
    }
    if (!photos.copy.isValid()) {
        photos.problem = QStringLiteral("cannot create a temporary folder");
        return;
    }
    QStringList sources;
    QDirIterator walk(root, QDir::Files, QDirIterator::Subdirectories | QDirIterator::FollowSymlinks);
    while (walk.hasNext()) {
        const QString path = walk.next();
        if (IsJpegName(path)) sources.append(path);
    }
    sources.sort();
    QSet<QByteArray> seen;
    for (const QString& source : sources) {
        uint32_t width = 0;
        uint32_t height = 0;
        if (!ReadJpegFrameSize(QFile::encodeName(source).constData(), width, height)) continue;
        if (uint64_t(width) * height < kLeastPixels) continue;
        const QByteArray key = ContentKey(source);
        if (key.isEmpty() || seen.contains(key)) continue;
        seen.insert(key);
        const QString target =
            photos.copy.filePath(QStringLiteral("photo-%1.jpg").arg(photos.files.size() + 1, 3, 10, QLatin1Char('0')));
        if (!QFile::copy(source, target)) continue;
        photos.files.append(target);
        photos.bytes += QFileInfo(target).size();
        photos.pixels += uint64_t(width) * height;
    }
    if (photos.files.size() < kLeastPhotos) {
        photos.problem = QStringLiteral("only %1 distinct JPEGs of 4 megapixels or more under %2, %3 needed")
                             .arg(photos.files.size())
                             .arg(root)
                             .arg(kLeastPhotos);
    }
}

}  // namespace

const PhotoFolder& Photos() {
    static PhotoFolder photos;
    static const bool collected = [] {
        CollectPhotos(photos);
        if (photos.problem.isEmpty()) {
            std::fprintf(stderr, "bench photos: %lld photos, %.1f MB, %.1f megapixels on average\n",
                         static_cast<long long>(photos.files.size()), double(photos.bytes) / 1e6,
                         double(photos.pixels) / 1e6 / double(photos.files.size()));
        }
        return true;
    }();
    (void)collected;
    return photos;
}

bool PhotosReady(benchmark::State& state) {
    const PhotoFolder& photos = Photos();
    if (photos.problem.isEmpty()) return true;
    state.SkipWithError(photos.problem.toUtf8().constData());
    return false;
}
