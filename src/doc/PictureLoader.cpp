#include "doc/PictureLoader.h"

#include <algorithm>
#include <utility>
#include <vector>

#include <QFile>
#include <QFileInfo>

#include "platform/FileChecks.h"
#include "platform/FileProblemText.h"

#include "image/WorkingPicture.h"
#include "image/formats/RasterExifOrientation.h"
#include "image/formats/RasterJpegThumbnail.h"
#include "image/metadata/MetadataCheck.h"

namespace {

// A reduced decode pays off once at least one halving fits the bound.
constexpr int kLeastReduction = 2;

}  // namespace

bool PictureLoader::OpenFull(const QString& path, OpenedPicture& opened, const std::atomic<bool>* stop) {
    const QByteArray native = QFile::encodeName(path);
    // Photos are stored as the camera was held; the JPEG load turns them the way they were
    // shot. A turn that fails for lack of memory leaves the picture as stored.
    RasterLoadOptions options;
    options.upright = RasterUpright::Turn;
    auto metadata = std::make_shared<PictureMetadata>();
    options.metadata = metadata.get();
    RasterImage& picture = opened.picture;
    picture.WatchEscapeFlag(stop);
    const bool regular = filechecks::IsRegularFile(path);
    const bool loaded = regular &&
                        picture.Load(native.constData(), RasterImage::TypeFromExtension(native.constData()), options) &&
                        picture.IsValid();
    picture.WatchEscapeFlag(nullptr);
    // A damaged file that still loaded says what was wrong; the picture is shown as decoded.
    const QByteArray damage = loaded ? QByteArray(picture.LoadWarningText()) : QByteArray();
    // A picture that cannot be brought to 24 bits would break every later command: it is
    // treated like an unreadable file.
    if (!loaded || !MakeWorkingPicture(picture)) {
        opened.error = !regular  ? OpenFailureText(path, QFileInfo::exists(path) ? "it is not a file" : "there is no such file")
                       : !loaded ? OpenFailureText(path, picture.LastErrorText())
                                 : OpenFailureText(path, "there is not enough memory to prepare it for editing");
        picture.Destroy();
        opened.ok = false;
        return false;
    }
    opened.ok = true;
    opened.damage = QString::fromUtf8(damage);
    // A block that cannot be read is left out: the picture opens and saves without it.
    opened.metadataDropped = DropUnreadableMetadata(*metadata);
    opened.metadata = std::move(metadata);
    opened.extrasLostOnSave = options.extrasLostOnSave;
    opened.orientation = ExifOrientationOrUpright(options.orientation);
    return true;
}

bool PictureLoader::OpenPreview(const QString& path, cropbox::Size bound, uint64_t largePixels,
                                PicturePreview& preview) {
    if (bound.width <= 0 || bound.height <= 0) return false;
    const QByteArray native = QFile::encodeName(path);
    // Only a regular file is read: a named pipe would wait for a writer for ever.
    if (RasterImage::TypeFromExtension(native.constData()) != RASTER_FORMAT_JPG || !filechecks::IsRegularFile(path)) {
        return false;
    }
    // The headers come first: a file whose frame header lies further in opens at once.
    std::vector<uint8_t> bytes = ReadFileStart(native.constData(), kJpegHeaderBytes);
    uint32_t width = 0, height = 0;
    if (!ReadJpegFrameSize(bytes.data(), bytes.size(), width, height) || uint64_t(width) * height <= largePixels) {
        return false;
    }
    const int orientation = ExifOrientationOrUpright(ReadExifOrientation(bytes.data(), bytes.size()));
    // The bound is upright; the stored picture may lie on its side.
    cropbox::Size stored = bound;
    if (ExifOrientationSwapsSides(orientation)) std::swap(stored.width, stored.height);
    if (width < uint32_t(kLeastReduction * stored.width) || height < uint32_t(kLeastReduction * stored.height)) {
        return false;
    }
    RasterImage reduced;
    if (!ReadWholeFile(native.constData(), bytes) ||
        !DecodeJpegReduced(bytes.data(), bytes.size(), uint32_t(stored.width), uint32_t(stored.height), reduced) ||
        !ApplyExifOrientation(reduced, orientation) || !MakeWorkingPicture(reduced)) {
        return false;
    }
    preview.picture.TakeOver(reduced);
    preview.orientation = orientation;
    preview.fullSize = ExifOrientationSwapsSides(orientation) ? cropbox::Size{int(height), int(width)}
                                                              : cropbox::Size{int(width), int(height)};
    return true;
}

bool PictureLoader::OpenInBackground(const QString& path, cropbox::Size bound, uint64_t largePixels,
                                     PicturePreview& preview, std::function<void(OpenedPicture&)> done) {
    Stop();
    if (!OpenPreview(path, bound, largePixels, preview)) return false;
    auto stop = std::make_shared<std::atomic<bool>>(false);
    auto opened = std::make_shared<OpenedPicture>();
    m_stop = stop;
    m_job.Start([path, stop, opened] { OpenFull(path, *opened, stop.get()); },
                [stop, opened, done = std::move(done)] {
                    if (!stop->load()) done(*opened);
                });
    return true;
}

void PictureLoader::Stop() {
    if (m_stop) m_stop->store(true);
    m_job.Finish();
    m_stop.reset();
}
