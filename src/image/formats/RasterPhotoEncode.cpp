#include "image/formats/RasterPhotoEncode.h"

#include "image/formats/RasterImageHEIF.h"
#include "image/formats/RasterImageJXL.h"
#include "image/metadata/MetadataWriter.h"

namespace {

// The format object views the picture; its id says which file is written, for the view takes
// the picture's own id (that of the file it came from).
template <class Format>
bool EncodeAs(Format& format, uint32_t type, RasterImage& image, RasterFile* file, const PictureMetadata* metadata) {
    format.MakeBorrowedView(image);
    format.SetType(type);
    format.ClearLastError();
    format.SetMetadataSource(metadata);
    if (format.Encode(file)) return true;
    image.SetLastError(format.LastErrorText());
    return false;
}

bool Encode(RasterImage& image, RasterFile* file, uint32_t type, const PictureMetadata* metadata) {
    if (type == RASTER_FORMAT_JXL) {
        RasterImageJXL format;
        return EncodeAs(format, type, image, file, metadata);
    }
    RasterImageHEIF format(type);
    return EncodeAs(format, type, image, file, metadata);
}

}  // namespace

bool EncodeHeifFile(RasterImage& image, RasterFile* file) { return Encode(image, file, RASTER_FORMAT_HEIF, nullptr); }
bool EncodeAvifFile(RasterImage& image, RasterFile* file) { return Encode(image, file, RASTER_FORMAT_AVIF, nullptr); }
bool EncodeJxlFile(RasterImage& image, RasterFile* file) { return Encode(image, file, RASTER_FORMAT_JXL, nullptr); }

bool EncoderWritesMetadata(uint32_t type) {
    return type == RASTER_FORMAT_HEIF || type == RASTER_FORMAT_AVIF || type == RASTER_FORMAT_JXL;
}

bool EncodeCarryingMetadata(RasterImage& image, RasterFile* file, uint32_t type, PictureMetadata& metadata) {
    const PictureMetadata fitted = FitMetadataBlocks(image, metadata);
    return Encode(image, file, type, &fitted);
}
