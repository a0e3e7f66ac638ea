#include "CameraMetadata.h"

#include <exiv2/exiv2.hpp>
#include <lcms2.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "BenchPictures.h"
#include "image/RasterFile.h"
#include "image/metadata/Exiv2Setup.h"
#include "image/metadata/MetadataWriter.h"

namespace {

constexpr size_t kMakerNoteBytes = 24 * 1024;

std::vector<uint8_t> DisplayP3Profile() {
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}};
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 2.2);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(curve);
    std::vector<uint8_t> bytes;
    cmsUInt32Number size = 0;
    if (profile && cmsSaveProfileToMem(profile, nullptr, &size)) {
        bytes.resize(size);
        cmsSaveProfileToMem(profile, bytes.data(), &size);
    }
    if (profile) cmsCloseProfile(profile);
    return bytes;
}

std::vector<uint8_t> CameraExif() {
    EnsureExiv2Ready();
    Exiv2::ExifData exif;
    exif["Exif.Image.Make"] = "Benchcam";
    exif["Exif.Image.Model"] = "BC-5K Mark II";
    exif["Exif.Image.Orientation"] = uint16_t(1);
    exif["Exif.Image.Software"] = "Firmware 1.2.3";
    exif["Exif.Image.DateTime"] = "2024:05:01 10:20:30";
    exif["Exif.Image.Artist"] = "Ann Example";
    exif["Exif.Image.Copyright"] = "(c) Ann Example";
    exif["Exif.Photo.DateTimeOriginal"] = "2024:05:01 10:20:30";
    exif["Exif.Photo.DateTimeDigitized"] = "2024:05:01 10:20:30";
    exif["Exif.Photo.ExposureTime"] = Exiv2::URational(1, 250);
    exif["Exif.Photo.FNumber"] = Exiv2::URational(56, 10);
    exif["Exif.Photo.ISOSpeedRatings"] = uint16_t(200);
    exif["Exif.Photo.FocalLength"] = Exiv2::URational(50, 1);
    exif["Exif.Photo.LensModel"] = "50mm F1.8";
    exif["Exif.Photo.LensMake"] = "Benchcam";
    exif["Exif.Photo.PixelXDimension"] = uint32_t(kPhotoWidth);
    exif["Exif.Photo.PixelYDimension"] = uint32_t(kPhotoHeight);
    exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
    exif["Exif.GPSInfo.GPSLatitude"] = "48/1 30/1 0/1";
    exif["Exif.GPSInfo.GPSLongitudeRef"] = "E";
    exif["Exif.GPSInfo.GPSLongitude"] = "9/1 6/1 0/1";
    std::vector<uint8_t> note(kMakerNoteBytes);
    for (size_t i = 0; i < note.size(); ++i) note[i] = uint8_t(i * 13);
    Exiv2::DataValue makerNote(note.data(), long(note.size()), Exiv2::invalidByteOrder, Exiv2::undefined);
    exif["Exif.Photo.MakerNote"] = makerNote;
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
    return std::vector<uint8_t>(blob.begin(), blob.end());
}

std::string g_taggedPath;

void RemoveTaggedFile() {
    if (!g_taggedPath.empty()) std::remove(g_taggedPath.c_str());
}

}  // namespace

const PictureMetadata& CameraMetadata() {
    static const PictureMetadata metadata = [] {
        PictureMetadata m;
        m.exif = CameraExif();
        m.icc = DisplayP3Profile();
        return m;
    }();
    return metadata;
}

const std::string& TaggedPhotoJpegFile() {
    static const bool written = [] {
        std::vector<uint8_t> bytes = Pictures().photoJpeg;
        PictureMetadata metadata = CameraMetadata();
        EmbedMetadata(bytes, Pictures().photo, metadata);
        // No thumbnail: a camera's would let the browser skip the decode the untagged file needs.
        std::unique_ptr<Exiv2::Image> image = OpenExiv2Image(bytes.data(), bytes.size());
        image->readMetadata();
        Exiv2::ExifThumb(image->exifData()).erase();
        image->writeMetadata();
        Exiv2::BasicIo& io = image->io();
        io.seek(0, Exiv2::BasicIo::beg);
        const Exiv2::DataBuf stripped = io.read(long(io.size()));
        bytes.assign(stripped.pData_, stripped.pData_ + stripped.size_);
        g_taggedPath = "/tmp/snipwell-bench-tagged-" + std::to_string(getpid()) + ".jpg";
        FILE* file = std::fopen(g_taggedPath.c_str(), "wb");
        if (!file) return false;
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        std::atexit(RemoveTaggedFile);
        return true;
    }();
    (void)written;
    return g_taggedPath;
}
