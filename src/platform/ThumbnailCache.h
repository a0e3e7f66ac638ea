// The freedesktop thumbnail cache ($XDG_CACHE_HOME/thumbnails, ~/.cache/thumbnails when the
// variable is unset): other programs' thumbnails are reused, and the thumbnails this program
// computes are written back, so that a second visit of a folder does not decode anything.
//
// An entry is a PNG named after the MD5 of the file's URI; it is trusted only when its
// Thumb::MTime equals the file's modification time and it records the picture's size.
#pragma once

#include <QString>

#include <cstdint>

#include "image/RasterImage.h"

namespace thumbs {

// Tests point the cache at a folder of their own (it then plays the role of XDG_CACHE_HOME);
// an empty folder returns to the user's cache. Call it while no loader runs.
void SetCacheHomeOverride(const QString& folder);
// The folder holding "normal" and "large".
QString ThumbnailCacheFolder();

// "file://" + the absolute path, percent-encoded as GLib does it for file names.
QByteArray FileUri(const QString& absolutePath);
// Full path of the entry of a file in the "normal" (128) or "large" (256) folder.
QString CacheEntryPath(const QString& absolutePath, bool large);

// The picture's size as the entry records it and the entry's picture (24 bits, alpha kept).
struct CachedThumbnail {
    uint32_t width = 0;
    uint32_t height = 0;
    RasterImage picture;
};

// The two sizes of entry: "normal" (at most 128 x 128) and "large" (at most 256 x 256).
enum class CacheEntrySize { Normal, Large };

// Looks in the folder of the size given first, then in the other one; false when neither
// holds a current entry for the file. An entry is current when its Thumb::MTime (and its
// Thumb::Size, where recorded) match the file, its picture has the shape of the size it
// records, and its longer side reaches leastSide (or the picture's own longer side, when the
// picture is smaller than that).
bool ReadCachedThumbnail(const QString& absolutePath, CachedThumbnail& found, uint32_t leastSide = 0,
                         CacheEntrySize first = CacheEntrySize::Normal);

// Writes picture (fitting the entry size) as the file's entry of that size; width and height
// are the picture file's size. Written beside the entry and renamed over it, readable by the
// user only. Files inside the cache folder itself are never recorded.
bool WriteCachedThumbnail(const QString& absolutePath, RasterImage& picture, uint32_t width, uint32_t height,
                          CacheEntrySize entrySize = CacheEntrySize::Normal);

}  // namespace thumbs
