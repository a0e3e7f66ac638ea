// The format table: one row per format, in content detection order.
#include "image/RasterFormatTable.h"

#include <strings.h>

#include <algorithm>

#include "image/RasterFile.h"
#include "image/RasterImage.h"
#include "image/formats/RasterFormatSupport.h"
#include "image/formats/RasterImageBMP.h"
#include "image/formats/RasterImageGIF.h"
#include "image/formats/RasterImageHEIF.h"
#include "image/formats/RasterImageICO.h"
#include "image/formats/RasterImageJ2K.h"
#include "image/formats/RasterImageJBG.h"
#include "image/formats/RasterImageJPG.h"
#include "image/formats/RasterImageJXL.h"
#include "image/formats/RasterImageMNG.h"
#include "image/formats/RasterImagePCX.h"
#include "image/formats/RasterImagePGX.h"
#include "image/formats/RasterImagePNG.h"
#include "image/formats/RasterImagePNM.h"
#include "image/formats/RasterImageRAS.h"
#include "image/formats/RasterImageRAW.h"
#include "image/formats/RasterImageSKA.h"
#include "image/formats/RasterImageTGA.h"
#include "image/formats/RasterImageTIF.h"
#include "image/formats/RasterImageWBMP.h"
#include "image/formats/RasterImageWEBP.h"
#include "image/formats/RasterImageWMF.h"
#include "image/formats/RasterPhotoEncode.h"

namespace {

// Decodes with a prepared format object and hands the picture over: a decode fills a temporary
// format object, which is then given to the caller's image with TakeOver.
template <class Format>
bool DecodeWith(RasterImage& image, Format& format, RasterFile* file, bool keepError) {
    // The format object's own id is overwritten by the copied information fields; keep it so
    // the picture says which format it came from.
    const uint32_t formatType = format.GetType();
    format.CopyInfoFrom(image);
    format.ClearLastError();
    ResetPictureFields(format);
    if (format.Decode(file)) {
        format.ClearLastError();
        if (formatType != RASTER_FORMAT_UNKNOWN) format.SetType(formatType);
        if (image.TakeOver(format, true)) return true;
        // The image cannot receive the picture: that is a failure, not a success.
        if (keepError) image.SetLastError(RASTER_BORROWED_CANNOT_DECODE);
        return false;
    }
    if (keepError) image.SetLastError(format.LastErrorText());
    return false;
}

template <class Format>
bool Decode(RasterImage& image, RasterFile* file, uint32_t, RasterLoadOptions&, bool keepError) {
    Format format;
    return DecodeWith(image, format, file, keepError);
}

// The JPEG load carries the EXIF orientation option.
bool DecodeJpeg(RasterImage& image, RasterFile* file, uint32_t, RasterLoadOptions& options, bool keepError) {
    RasterImageJPG format;
    format.SetUpright(options.upright);
    format.SetMetadataTarget(options.metadata);
    if (!DecodeWith(image, format, file, keepError)) return false;
    if (options.upright != RasterUpright::AsStored) options.orientation = format.FoundOrientation();
    return true;
}

// The formats that hand back the metadata blocks they carry besides JPEG. None of them reports
// an orientation to apply: PNG has none, the others' readers turn the picture themselves.
template <class Format>
bool DecodeWithMetadata(RasterImage& image, RasterFile* file, uint32_t, RasterLoadOptions& options, bool keepError) {
    Format format;
    format.SetMetadataTarget(options.metadata);
    return DecodeWith(image, format, file, keepError);
}

// One class reads HEIF and AVIF, whichever was asked for; the picture says which it was.
bool DecodeHeif(RasterImage& image, RasterFile* file, uint32_t id, RasterLoadOptions& options, bool keepError) {
    RasterImageHEIF format(id);
    format.SetMetadataTarget(options.metadata);
    if (!DecodeWith(image, format, file, keepError)) return false;
    image.SetType(format.FoundType());
    options.extrasLostOnSave = format.Extras();
    return true;
}

// One class reads both JPEG 2000 forms, by content; it is told which form was asked for.
bool DecodeJpeg2000(RasterImage& image, RasterFile* file, uint32_t id, RasterLoadOptions&, bool keepError) {
    RasterImageJ2K format(id);
    return DecodeWith(image, format, file, keepError);
}

template <class Format>
bool Encode(RasterImage& image, RasterFile* file) {
    Format format;
    format.MakeBorrowedView(image);
    format.ClearLastError();
    if (format.Encode(file)) return true;
    image.SetLastError(format.LastErrorText());
    return false;
}

// clang-format off
constexpr RasterFormat kFormats[] = {
    // id                 name                     extensions              sniff                     decode                  encode                  open save label           browsed
    {RASTER_FORMAT_BMP,  "BMP",                    {"bmp"},                &RasterImageBMP::Sniff,   &Decode<RasterImageBMP>,  &Encode<RasterImageBMP>,  1,  4, "Bitmap files", true},
    {RASTER_FORMAT_JPG,  "JPEG",                   {"jpg", "jpeg"},        &RasterImageJPG::Sniff,   &DecodeJpeg,              &Encode<RasterImageJPG>,  3,  1, "JPEG files",   true},
    {RASTER_FORMAT_ICO,  "ICO",                    {"ico"},                &RasterImageICO::Sniff,   &Decode<RasterImageICO>,  nullptr,                  0,  0, nullptr,        false},
    {RASTER_FORMAT_GIF,  "GIF",                    {"gif"},                &RasterImageGIF::Sniff,   &Decode<RasterImageGIF>,  &Encode<RasterImageGIF>,  2,  3, "GIF files",    true},
    {RASTER_FORMAT_PNG,  "PNG",                    {"png"},                &RasterImagePNG::Sniff,   &DecodeWithMetadata<RasterImagePNG>,               &Encode<RasterImagePNG>,  4,  2, "PNG files",    true},
    {RASTER_FORMAT_TIF,  "TIFF",                   {"tif", "tiff"},        &RasterImageTIF::Sniff,   &Decode<RasterImageTIF>,  nullptr,                  5,  0, nullptr,        true},
    {RASTER_FORMAT_MNG,  "MNG/JNG",                {"mng", "jng"},         &RasterImageMNG::Sniff,   &Decode<RasterImageMNG>,  nullptr,                  0,  0, nullptr,        false},
    {RASTER_FORMAT_TGA,  "TGA",                    {"tga"},                &RasterImageTGA::Sniff,   &Decode<RasterImageTGA>,  nullptr,                  6,  0, nullptr,        false},
    {RASTER_FORMAT_PCX,  "PCX",                    {"pcx"},                &RasterImagePCX::Sniff,   &Decode<RasterImagePCX>,  nullptr,                  7,  0, nullptr,        false},
    {RASTER_FORMAT_WBMP, "WBMP",                   {"wbmp"},               &RasterImageWBMP::Sniff,  &Decode<RasterImageWBMP>, nullptr,                  8,  0, nullptr,        false},
    {RASTER_FORMAT_WMF,  "WMF/EMF",                {"wmf", "emf"},         &RasterImageWMF::Sniff,   &Decode<RasterImageWMF>,  nullptr,                  9,  0, nullptr,        false},
    {RASTER_FORMAT_JBG,  "JBIG",                   {"jbg"},                &RasterImageJBG::Sniff,   &Decode<RasterImageJBG>,  nullptr,                  11, 0, nullptr,        false},
    {RASTER_FORMAT_JP2,  "JP2",                    {"j2k", "jp2"},         &RasterImageJ2K::SniffBoxFile, &DecodeJpeg2000,          nullptr,                  10, 0, nullptr,        false},
    {RASTER_FORMAT_JPC,  "JPEG 2000 code stream",  {"j2c", "jpc"},         &RasterImageJ2K::SniffCodestream, &DecodeJpeg2000,          nullptr,                  12, 0, nullptr,        false},
    {RASTER_FORMAT_PGX,  "PGX",                    {"pgx"},                &RasterImagePGX::Sniff,   &Decode<RasterImagePGX>,  nullptr,                  13, 0, nullptr,        false},
    {RASTER_FORMAT_PNM,  "PNM",                    {"pnm", "pgm", "ppm"},  &RasterImagePNM::Sniff,   &Decode<RasterImagePNM>,  nullptr,                  14, 0, nullptr,        false},
    {RASTER_FORMAT_RAS,  "RAS",                    {"ras"},                &RasterImageRAS::Sniff,   &Decode<RasterImageRAS>,  nullptr,                  15, 0, nullptr,        false},
    {RASTER_FORMAT_WEBP, "WebP",                   {"webp"},               &RasterImageWEBP::Sniff,  &DecodeWithMetadata<RasterImageWEBP>, &Encode<RasterImageWEBP>, 16, 5, "WebP files", true},
    {RASTER_FORMAT_AVIF, "AVIF",                   {"avif"},               &RasterImageHEIF::SniffAvif, &DecodeHeif,           &EncodeAvifFile,          18, 7, "AVIF files",   true},
    {RASTER_FORMAT_HEIF, "HEIF",                   {"heic", "heif", "hif"}, &RasterImageHEIF::SniffHeif, &DecodeHeif,          &EncodeHeifFile,          17, 6, "HEIF files",   true},
    {RASTER_FORMAT_JXL,  "JPEG XL",                {"jxl"},                &RasterImageJXL::Sniff,   &DecodeWithMetadata<RasterImageJXL>, &EncodeJxlFile, 19, 8, "JPEG XL files", true},
    // No published description of SKA exists: its decoder claims no data, so detection skips it.
    {RASTER_FORMAT_SKA,  "SKA",                    {},                     nullptr,                  &Decode<RasterImageSKA>,  nullptr,                  0,  0, nullptr,        false},
    {RASTER_FORMAT_RAW,  "camera raw",             {},                     &RasterImageRAW::Sniff,   &Decode<RasterImageRAW>,  nullptr,                  0,  0, nullptr,        false},
};
// clang-format on

// The rows with a position in a list, in list order.
template <class Position>
std::vector<const RasterFormat*> Listed(Position position) {
    std::vector<const RasterFormat*> rows;
    for (const RasterFormat& row : kFormats) {
        if (position(row) != 0) rows.push_back(&row);
    }
    std::sort(rows.begin(), rows.end(),
              [&](const RasterFormat* a, const RasterFormat* b) { return position(*a) < position(*b); });
    return rows;
}

// One name filter of a file dialog, "label (*.a *.b)", over the extensions of the rows.
std::string NameFilter(const char* label, const std::vector<const RasterFormat*>& rows) {
    std::string patterns;
    for (const RasterFormat* row : rows) {
        for (const char* extension : row->extensions) {
            if (!extension) break;
            if (!patterns.empty()) patterns += ' ';
            patterns += "*.";
            patterns += extension;
        }
    }
    return std::string(label ? label : "") + " (" + patterns + ')';
}

}  // namespace

std::span<const RasterFormat> RasterFormats() { return kFormats; }

const RasterFormat* RasterFormatById(uint32_t id) {
    for (const RasterFormat& row : kFormats) {
        if (row.id == id) return &row;
    }
    return nullptr;
}

const RasterFormat* RasterFormatByExtension(const char* extension) {
    if (!extension) return nullptr;
    for (const RasterFormat& row : kFormats) {
        for (const char* known : row.extensions) {
            if (known && strcasecmp(extension, known) == 0) return &row;
        }
    }
    return nullptr;
}

std::vector<std::string> RasterBrowsedExtensions() {
    std::vector<std::string> extensions;
    for (const RasterFormat& row : kFormats) {
        if (!row.browsed) continue;
        for (const char* extension : row.extensions) {
            if (extension) extensions.emplace_back(extension);
        }
    }
    return extensions;
}

std::string RasterOpenFilter(const char* label) {
    return NameFilter(label, Listed([](const RasterFormat& f) { return f.openListAt; }));
}

std::string RasterSaveFilter() {
    std::string filters;
    for (const RasterFormat* row : Listed([](const RasterFormat& f) { return f.saveListAt; })) {
        if (!filters.empty()) filters += ";;";
        filters += NameFilter(row->saveLabel ? row->saveLabel : row->name, {row});
    }
    return filters;
}
