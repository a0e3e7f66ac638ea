// The photos next to the one shown, decoded ahead on a worker while the user looks at it, so
// that stepping to them shows them at once. At most kAhead photos are held, each of at most
// kLargestPixels: memory stays bounded however many photos are stepped through.
#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "doc/BackgroundJob.h"
#include "doc/PictureLoader.h"
#include "platform/FileStamp.h"

class PhotosAhead {
public:
    static constexpr int kAhead = 2;
    // Larger photos open through their quick preview instead (PictureLoader).
    static constexpr uint64_t kLargestPixels = 64'000'000;

    PhotosAhead() = default;
    ~PhotosAhead() { Stop(); }

    // What a view makes of a decoded photo before it can show it (its reduced copies), made
    // ahead on the worker too; it only reads the picture.
    using Preparation = std::function<void(const RasterImage& picture, std::vector<RasterImage>& made)>;

    // Decodes the first kAhead of paths, one after another, and runs preparation on each;
    // photos held or decoding that are not among them are dropped.
    void Prepare(const QStringList& paths, Preparation preparation = {});
    // Hands over the decoded photo at path, with what the preparation made of it, when it is
    // ready and its file has not changed since; false otherwise (it is then opened as usual).
    bool Take(const QString& path, OpenedPicture& opened, std::vector<RasterImage>* made = nullptr);
    // Drops everything and stops the decode that runs.
    void Stop();
    // The photos ready to be taken.
    QStringList ReadyPaths() const;
    bool IsDecoding() const { return m_job.IsRunning(); }
    // Waits for the decodes asked for (tests).
    void FinishAll();

private:
    struct Photo {
        QString path;
        FileStamp stamp;
        OpenedPicture opened;
        std::vector<RasterImage> made;
    };
    void StartNext();
    bool IsHeld(const QString& path) const;

    QStringList m_wanted;
    Preparation m_preparation;
    std::vector<std::shared_ptr<Photo>> m_ready;
    QString m_decoding;
    std::shared_ptr<std::atomic<bool>> m_stop;
    BackgroundJob m_job;
};
