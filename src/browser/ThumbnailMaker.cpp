#include "browser/ThumbnailMaker.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "platform/FileProblemText.h"
#include "image/formats/RasterExifOrientation.h"
#include "image/formats/RasterHeifThumbnail.h"
#include "image/formats/RasterJpegThumbnail.h"
#include "image/metadata/ColourConversion.h"
#include "image/metadata/MetadataBlocks.h"
#include "platform/ThumbnailCache.h"

namespace thumbs {

namespace {

// The EXIF thumbnail is used only when its ratio is within this share of the picture's:
// cameras pad thumbnails of other shapes with black bars.
constexpr double kExifRatioTolerance = 0.01;
// Larger JPEG files are not read into memory for the quick path; the full decode streams them.
constexpr uint64_t kMaxQuickJpegBytes = 256ull << 20;

int EntrySide(CacheEntrySize size) { return size == CacheEntrySize::Large ? kCacheLargeSide : kCacheNormalSide; }

// Rescales (area shrink) source into target's size and makes the result 24-bit, a transparent
// palette index becoming an alpha plane.
bool ShrinkTo(RasterImage& source, Size target, RasterImage& out) {
    RasterImage result;
    if (!source.Rescale(target.width, target.height, RASTER_RESCALE_AREA, &result) || !result.IsValid()) return false;
    if (result.IsTransparent()) result.AlphaFromTransparentIndex();
    if (result.GetBpp() < 24 && !result.IncreaseBpp(24)) return false;
    return out.TakeOver(result);
}

// Makes the list thumbnail and, when asked and the picture is larger than a cache entry, the
// cache picture from a (possibly reduced) picture of a file of size stored, then turns both
// upright by the orientation the JPEG load reported: shrinking first keeps the turn cheap.
// size receives the upright size.
bool FinishThumbnails(RasterImage& source, Size stored, int orientation, Size& size, RasterImage& image,
                      CacheCopy* cacheCopy, const ThumbnailRequest& request, const std::vector<uint8_t>& icc) {
    RasterImage thumb;
    if (!ShrinkTo(source, FitIntoSquare(stored.width, stored.height, request.side), thumb)) return false;
    ConvertToScreenColours(thumb, icc);
    if (!ApplyExifOrientation(thumb, orientation)) return false;
    const auto entrySide = uint32_t(cacheCopy ? EntrySide(cacheCopy->size) : 0);
    if (cacheCopy && (stored.width > entrySide || stored.height > entrySide)) {
        RasterImage entry;
        if (ShrinkTo(source, FitIntoSquare(stored.width, stored.height, int(entrySide)), entry) &&
            ApplyExifOrientation(entry, orientation)) {
            // Entries are shared with other programs and other screens: in sRGB.
            ConvertToSrgbColours(entry, icc);
            cacheCopy->picture.TakeOver(entry);
        }
    }
    size = ExifOrientationSwapsSides(orientation) ? Size{stored.height, stored.width} : stored;
    return image.TakeOver(thumb);
}

bool FromCache(const QString& path, Size& size, RasterImage& image, const ThumbnailRequest& request) {
    CachedThumbnail cached;
    if (!ReadCachedThumbnail(path, cached, uint32_t(request.side), CacheEntrySizeFor(request))) return false;
    RasterImage thumb;
    if (!ShrinkTo(cached.picture, FitIntoSquare(cached.width, cached.height, request.side), thumb)) return false;
    size = {cached.width, cached.height};
    return image.TakeOver(thumb);
}

bool SameRatio(uint32_t w1, uint32_t h1, uint32_t w2, uint32_t h2) {
    const double r1 = double(w1) / double(h1);
    const double r2 = double(w2) / double(h2);
    return std::fabs(r1 - r2) <= kExifRatioTolerance * r2;
}

// A thumbnail stored in the file, used when it is large enough and of the picture's shape.
bool FromEmbedded(RasterImage& embedded, Size stored, int orientation, Size& size, RasterImage& image,
                  CacheCopy* cacheCopy, const ThumbnailRequest& request, const std::vector<uint8_t>& icc) {
    const Size wanted = FitIntoSquare(stored.width, stored.height, request.side);
    // A smaller one would be blown up.
    if (embedded.GetWidth() < wanted.width || embedded.GetHeight() < wanted.height) return false;
    if (!SameRatio(embedded.GetWidth(), embedded.GetHeight(), stored.width, stored.height)) return false;
    // An entry is made only from a stored thumbnail at least as large as the entry: a large
    // one the thumbnail is too small for becomes a normal one, which still serves the box.
    const uint32_t embeddedSide = std::max(embedded.GetWidth(), embedded.GetHeight());
    if (cacheCopy && embeddedSide < uint32_t(EntrySide(cacheCopy->size))) {
        const bool normalServes = embeddedSide >= uint32_t(kCacheNormalSide) && request.side <= kCacheNormalSide;
        if (normalServes) cacheCopy->size = CacheEntrySize::Normal;
        else cacheCopy = nullptr;
    }
    return FinishThumbnails(embedded, stored, orientation, size, image, cacheCopy, request, icc);
}

bool FromExifThumbnail(const std::vector<uint8_t>& file, Size stored, int orientation, Size& size, RasterImage& image,
                       CacheCopy* cacheCopy, const ThumbnailRequest& request, const std::vector<uint8_t>& icc) {
    std::vector<uint8_t> bytes;
    if (!ReadExifThumbnail(file.data(), file.size(), bytes) || bytes.size() > UINT32_MAX) return false;
    RasterImage embedded;
    if (!embedded.Decode(bytes.data(), uint32_t(bytes.size()), RASTER_FORMAT_JPG) || !embedded.IsValid()) return false;
    return FromEmbedded(embedded, stored, orientation, size, image, cacheCopy, request, icc);
}

// HEIF and AVIF files (phone photos) carry their thumbnail beside the picture, already turned
// by the file's rotation as the picture is, and tagged with the picture's colour profile.
bool FromHeifThumbnail(const char* file, Size& size, RasterImage& image, CacheCopy* cacheCopy,
                       const ThumbnailRequest& request) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(file, bytes, kMaxQuickJpegBytes)) return false;
    Size stored;
    RasterImage embedded;
    std::vector<uint8_t> icc;
    const uint32_t least = uint32_t(cacheCopy ? std::max(EntrySide(cacheCopy->size), request.side) : request.side);
    if (!DecodeHeifThumbnail(bytes.data(), bytes.size(), least, stored.width, stored.height, embedded, &icc)) {
        return false;
    }
    return FromEmbedded(embedded, stored, RASTER_EXIF_ORIENTATION_UPRIGHT, size, image, cacheCopy, request, icc);
}

bool FromReducedJpeg(const std::vector<uint8_t>& file, Size stored, int orientation, Size& size, RasterImage& image,
                     CacheCopy* cacheCopy, const ThumbnailRequest& request, const std::vector<uint8_t>& icc) {
    // Large enough for the cache entry when one is wanted, else for the list thumbnail.
    const int leastSide = cacheCopy ? std::max(EntrySide(cacheCopy->size), request.side) : request.side;
    const Size least = FitIntoSquare(stored.width, stored.height, leastSide);
    RasterImage reduced;
    if (!DecodeJpegReduced(file.data(), file.size(), least.width, least.height, reduced)) return false;
    return FinishThumbnails(reduced, stored, orientation, size, image, cacheCopy, request, icc);
}

}  // namespace

CacheEntrySize CacheEntrySizeFor(const ThumbnailRequest& request) {
    return request.side > kThumbSide ? CacheEntrySize::Large : CacheEntrySize::Normal;
}

bool PlatformThumbnail(const QString& path, Size& size, RasterImage& image, CacheCopy* cacheCopy,
                       const ThumbnailRequest& request) {
    size = {};
    const QByteArray file = QFile::encodeName(path);
    const uint32_t type = RasterImage::TypeFromExtension(file.constData());
    if (type == RASTER_FORMAT_UNKNOWN) return false;
    if (request.useCache && FromCache(path, size, image, request)) return true;
    if (type == RASTER_FORMAT_HEIF || type == RASTER_FORMAT_AVIF) {
        return FromHeifThumbnail(file.constData(), size, image, cacheCopy, request);
    }
    if (type != RASTER_FORMAT_JPG) return false;
    // The file is read once; the frame size, the EXIF block and the picture come from memory.
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(file.constData(), bytes, kMaxQuickJpegBytes)) return false;
    Size stored;
    if (!ReadJpegFrameSize(bytes.data(), bytes.size(), stored.width, stored.height)) return false;
    // The orientation the JPEG load would report for these bytes.
    const int orientation = ExifOrientationOrUpright(ReadExifOrientation(bytes.data(), bytes.size()));
    PictureMetadata metadata;
    ReadJpegMetadata(bytes.data(), bytes.size(), metadata);
    return FromExifThumbnail(bytes, stored, orientation, size, image, cacheCopy, request, metadata.icc) ||
           FromReducedJpeg(bytes, stored, orientation, size, image, cacheCopy, request, metadata.icc);
}

namespace {

// DecodedThumbnail, telling why it failed when problem is given.
bool DecodeThumbnail(const QString& path, Size& size, RasterImage& image, CacheCopy* cacheCopy,
                     const ThumbnailRequest& request, QString* problem) {
    size = {};
    const QByteArray file = QFile::encodeName(path);
    const uint32_t type = RasterImage::TypeFromExtension(file.constData());
    if (type == RASTER_FORMAT_UNKNOWN) return false;   // not named as a picture: nothing to tell
    RasterImage whole;
    // A stop reaches the decoder's row loops (and the shrink's) through the picture's escape.
    whole.WatchEscapeFlag(request.stop);
    // The load reports the turn a JPEG picture needs; FinishThumbnails turns the thumbnails.
    RasterLoadOptions options;
    options.upright = RasterUpright::Report;
    PictureMetadata metadata;
    options.metadata = &metadata;
    const bool loaded = whole.Load(file.constData(), type, options) && whole.IsValid();
    const Size stored{whole.GetWidth(), whole.GetHeight()};
    const bool made = loaded && stored.width != 0 && stored.height != 0 &&
                      FinishThumbnails(whole, stored, options.orientation, size, image, cacheCopy, request, metadata.icc);
    if (!made && problem) {
        *problem = OpenFailureText(path, whole.LastErrorText());
    }
    // The flag belongs to the loader; the pictures handed on outlive its watch.
    image.WatchEscapeFlag(nullptr);
    if (cacheCopy) cacheCopy->picture.WatchEscapeFlag(nullptr);
    return made;
}

}  // namespace

bool DecodedThumbnail(const QString& path, Size& size, RasterImage& image, CacheCopy* cacheCopy,
                      const ThumbnailRequest& request) {
    return DecodeThumbnail(path, size, image, cacheCopy, request, nullptr);
}

bool MakeThumbnail(const QString& path, Size& size, RasterImage& image, const ThumbnailRequest& request,
                   QString* problem) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    CacheCopy cacheCopy{RasterImage(), CacheEntrySizeFor(request)};
    if (!PlatformThumbnail(absolute, size, image, &cacheCopy, request) &&
        !DecodeThumbnail(absolute, size, image, &cacheCopy, request, problem)) {
        return false;
    }
    if (cacheCopy.picture.IsValid()) {
        WriteCachedThumbnail(absolute, cacheCopy.picture, size.width, size.height, cacheCopy.size);
    }
    return true;
}

}  // namespace thumbs
