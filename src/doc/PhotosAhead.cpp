#include "doc/PhotosAhead.h"

#include <QFile>

#include <algorithm>

#include "image/RasterImage.h"
#include "image/formats/RasterJpegThumbnail.h"

namespace {

// A JPEG larger than the bound is not decoded ahead; other formats give their size only when
// decoded, and are taken as they come.
bool SmallEnoughAhead(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    if (RasterImage::TypeFromExtension(native.constData()) != RASTER_FORMAT_JPG) return true;
    uint32_t width = 0, height = 0;
    if (!ReadJpegFrameSize(native.constData(), width, height)) return true;
    return uint64_t(width) * height <= PhotosAhead::kLargestPixels;
}

}  // namespace

bool PhotosAhead::IsHeld(const QString& path) const {
    return std::any_of(m_ready.begin(), m_ready.end(), [&path](const auto& photo) { return photo->path == path; });
}

void PhotosAhead::Prepare(const QStringList& paths, Preparation preparation) {
    m_preparation = std::move(preparation);
    m_wanted = paths.mid(0, kAhead);
    m_wanted.removeAll(QString());
    std::erase_if(m_ready, [this](const auto& photo) { return !m_wanted.contains(photo->path); });
    if (m_job.IsRunning()) {
        // A decode no longer wanted is told to stop, not waited for: its finishing step starts
        // the next one.
        if (!m_wanted.contains(m_decoding)) m_stop->store(true);
        return;
    }
    StartNext();
}

void PhotosAhead::StartNext() {
    for (const QString& path : m_wanted) {
        if (IsHeld(path)) continue;
        auto photo = std::make_shared<Photo>();
        photo->path = path;
        if (!ReadFileStamp(path, photo->stamp) || !SmallEnoughAhead(path)) continue;
        auto stop = std::make_shared<std::atomic<bool>>(false);
        m_stop = stop;
        m_decoding = path;
        m_job.Start([photo, stop, preparation = m_preparation] {
                        if (PictureLoader::OpenFull(photo->path, photo->opened, stop.get()) && preparation) {
                            preparation(photo->opened.picture, photo->made);
                        }
                    },
                    [this, photo, stop] {
                        m_decoding.clear();
                        if (!stop->load() && photo->opened.ok && m_wanted.contains(photo->path)) {
                            m_ready.push_back(photo);
                        }
                        StartNext();
                    });
        return;
    }
}

bool PhotosAhead::Take(const QString& path, OpenedPicture& opened, std::vector<RasterImage>* made) {
    const auto found =
        std::find_if(m_ready.begin(), m_ready.end(), [&path](const auto& photo) { return photo->path == path; });
    if (found == m_ready.end()) return false;
    const std::shared_ptr<Photo> photo = *found;
    m_ready.erase(found);
    FileStamp now;
    if (!ReadFileStamp(path, now) || !(now == photo->stamp)) return false;
    // The pixels are handed over, not copied.
    OpenedPicture& held = photo->opened;
    opened.ok = held.ok;
    opened.picture.TakeOver(held.picture);
    opened.metadata = std::move(held.metadata);
    opened.metadataDropped = held.metadataDropped;
    opened.damage = held.damage;
    opened.error = held.error;
    opened.extrasLostOnSave = held.extrasLostOnSave;
    opened.orientation = held.orientation;
    if (made != nullptr) made->swap(photo->made);
    return true;
}

void PhotosAhead::Stop() {
    m_wanted.clear();
    if (m_stop) m_stop->store(true);
    m_job.Finish();
    m_ready.clear();
}

QStringList PhotosAhead::ReadyPaths() const {
    QStringList paths;
    for (const auto& photo : m_ready) paths.append(photo->path);
    return paths;
}

void PhotosAhead::FinishAll() {
    while (m_job.IsRunning()) m_job.Finish();
}
