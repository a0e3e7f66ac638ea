// Opening a picture file as the document holds it: upright, 24 bits, with its metadata. A
// JPEG photo much larger than the view is shown at once from a decode reduced in the DCT
// domain, and its full decode follows on a worker thread; other pictures decode at once.
// Whatever steps through photos (the view, a print order) opens them through this.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include <QString>

#include "doc/BackgroundJob.h"
#include "doc/CropBoxModel.h"

#include "image/PictureMetadata.h"
#include "image/RasterImage.h"

// A picture file as opened.
struct OpenedPicture {
    bool ok = false;
    RasterImage picture;
    std::shared_ptr<const PictureMetadata> metadata;
    bool metadataDropped = false;  // an unreadable block was left out
    QString damage;                // what was wrong with a damaged file that still decoded
    QString error;                 // why it could not be opened, naming the file
    uint32_t extrasLostOnSave = 0; // what the file holds besides the picture (RasterLoadOptions)
    int orientation = 1;           // the EXIF orientation the picture was turned upright by (1..8)
};

// The quick stand-in shown while the full picture decodes.
struct PicturePreview {
    RasterImage picture;     // upright, at least the bound on both sides when the file allows
    cropbox::Size fullSize;  // the upright size of the full picture, from the file's headers
    int orientation = 1;     // the EXIF orientation it was turned upright by
};

class PictureLoader {
public:
    // The full decodes end through the event loop of the thread that made the loader.
    PictureLoader() = default;
    ~PictureLoader() { Stop(); }

    // Decodes the whole picture now into opened (which should be empty); false, as opened.ok,
    // when it cannot be opened. stop (may be null) ends a decode early with a failure.
    static bool OpenFull(const QString& path, OpenedPicture& opened, const std::atomic<bool>* stop = nullptr);
    // The DCT-scaled stand-in for a JPEG file of more than largePixels pixels whose sides are
    // both at least twice bound's (device pixels, upright); false for any other file.
    static bool OpenPreview(const QString& path, cropbox::Size bound, uint64_t largePixels, PicturePreview& preview);

    // Opens path with a preview when OpenPreview makes one: true, and done receives the full
    // picture on this thread once it has decoded (unless stopped first). False when there is
    // no preview: nothing was started and the caller opens the file with OpenFull.
    bool OpenInBackground(const QString& path, cropbox::Size bound, uint64_t largePixels, PicturePreview& preview,
                          std::function<void(OpenedPicture&)> done);
    bool IsLoading() const { return m_job.IsRunning(); }
    // Waits for the full decode running and hands it over now.
    void Finish() { m_job.Finish(); }
    // Ends the full decode running early; its picture is dropped.
    void Stop();

private:
    BackgroundJob m_job;
    std::shared_ptr<std::atomic<bool>> m_stop;
};
