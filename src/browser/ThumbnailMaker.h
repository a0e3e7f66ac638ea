// The two ways of making a thumbnail, run on the loader thread. Each reports the picture
// file's size (upright, as the picture is shown) and a 24-bit thumbnail that fits 60 x 60.
//
// PlatformThumbnail takes the fast roads: a current entry of the freedesktop thumbnail cache;
// for JPEG files the thumbnail the camera stored in the EXIF block when its shape matches the
// picture, else a decode reduced in the DCT domain; for HEIF and AVIF files the thumbnail
// stored beside the picture. DecodedThumbnail decodes the whole picture
// with the image core and shrinks it. When either computes a thumbnail it can also give the
// picture for the cache entry the request names (cacheCopy), which MakeThumbnail writes back.
//
// On a screen with more than one device pixel per logical pixel the thumbnail is made for the
// box in device pixels, from the "large" cache entry where one exists.
#pragma once

#include <QString>

#include <atomic>

#include "image/RasterImage.h"
#include "browser/ThumbnailGeometry.h"
#include "platform/ThumbnailCache.h"

namespace thumbs {

struct ThumbnailRequest {
    // The box the thumbnail fits, in device pixels (DeviceThumbSide).
    int side = kThumbSide;
    // A raised flag stops a decode in the middle of the picture (the thumbnail then fails).
    const std::atomic<bool>* stop = nullptr;
    // False when the file is known to have changed: the cache entry is not read, the
    // thumbnail is computed and the entry written again.
    bool useCache = true;
};

// The picture for a cache entry and the entry it goes to. The makers start from the entry the
// request names (CacheEntrySizeFor) and may settle for a normal entry: a camera's EXIF
// thumbnail is too small for a large one, but a normal one serves a box of up to 128 pixels.
struct CacheCopy {
    RasterImage picture;
    CacheEntrySize size = CacheEntrySize::Normal;
};

// The cache entry a request reads first and writes: "large" for a box wider than the list's
// own (a screen with more device pixels than logical ones), else "normal".
CacheEntrySize CacheEntrySizeFor(const ThumbnailRequest& request);

bool PlatformThumbnail(const QString& path, Size& size, RasterImage& image, CacheCopy* cacheCopy = nullptr,
                       const ThumbnailRequest& request = {});
bool DecodedThumbnail(const QString& path, Size& size, RasterImage& image, CacheCopy* cacheCopy = nullptr,
                      const ThumbnailRequest& request = {});

// PlatformThumbnail, else DecodedThumbnail; a freshly computed thumbnail is recorded in the
// cache so that the next visit finds it. When neither gives one, problem (if given) receives
// why the picture could not be decoded, in the words the picture view uses; it stays empty
// for a file whose name is no picture's.
bool MakeThumbnail(const QString& path, Size& size, RasterImage& image, const ThumbnailRequest& request = {},
                   QString* problem = nullptr);

}  // namespace thumbs
