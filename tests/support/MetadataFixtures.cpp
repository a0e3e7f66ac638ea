#include "MetadataFixtures.h"

#include <lcms2.h>

#include "image/RasterFile.h"

namespace testsupport {

namespace {

constexpr uint32_t kPaddingTag = 0x70616464;   // 'padd', a private tag
constexpr size_t kPaddingBytes = 150000;

std::vector<uint8_t> SaveProfile(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    std::vector<uint8_t> bytes;
    if (profile && cmsSaveProfileToMem(profile, nullptr, &size) && size > 0) {
        bytes.resize(size);
        cmsSaveProfileToMem(profile, bytes.data(), &size);
    }
    if (profile) cmsCloseProfile(profile);
    return bytes;
}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\r')) text.pop_back();
    return text;
}

}  // namespace

std::vector<uint8_t> MakeDisplayP3Profile(bool large) {
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}};
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 2.2);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(curve);
    if (profile && large) {
        std::vector<uint8_t> padding(kPaddingBytes);
        for (size_t i = 0; i < padding.size(); ++i) padding[i] = uint8_t(i * 7);
        cmsWriteRawTag(profile, cmsTagSignature(kPaddingTag), padding.data(), cmsUInt32Number(padding.size()));
    }
    return SaveProfile(profile);
}

std::vector<uint8_t> MakeSrgbProfile() { return SaveProfile(cmsCreate_sRGBProfile()); }

const std::vector<PhotoTag>& TaggedPhotoTags() {
    static const std::vector<PhotoTag> tags = {
        {"Make", "TestCam"},
        {"Model", "X 100"},
        {"LensModel", "50mm F1.8"},
        {"DateTimeOriginal", "2024:05:01 10:20:30"},
        {"ExposureTime", "1/250"},
        {"FNumber", "5.6"},
        {"ISO", "200"},
        {"GPSLatitude", "48 deg 30' 0.00\" N"},
        {"GPSLongitude", "9 deg 6' 0.00\" E"},
        {"Artist", "Ann Example"},
        {"Copyright", "(c) Ann Example"},
        {"Keywords", "holiday, beach"},
        {"Rating", "4"},
        {"Headline", "By the sea"},
    };
    return tags;
}

std::filesystem::path TaggedPhoto(const TempDir& dir, const std::string& name, const std::vector<uint8_t>& icc) {
    const std::filesystem::path photo = dir / name;
    WriteFileBytes(photo, ReadFileBytes(CorpusDir() / "exif-orientation" / "Landscape_6.jpg"));
    const std::filesystem::path profile = dir / (name + ".icc");
    WriteFileBytes(profile, icc);
    std::vector<std::string> args = {"-q", "-overwrite_original", "-GPSLatitudeRef=N", "-GPSLongitudeRef=E",
                                     "-GPSLatitude=48.5", "-GPSLongitude=9.1", "-IPTC:Keywords=holiday",
                                     "-IPTC:Keywords=beach", "-XMP:Rating=4", "-XMP:Headline=By the sea",
                                     // A crop another tool keeps in the photo itself.
                                     "-XMP-crs:HasCrop=True", "-XMP-crs:CropLeft=0.1", "-XMP-crs:CropTop=0.1",
                                     "-XMP-crs:CropRight=0.9", "-XMP-crs:CropBottom=0.9"};
    for (const PhotoTag& tag : TaggedPhotoTags()) {
        const std::string n = tag.name;
        if (n == "GPSLatitude" || n == "GPSLongitude" || n == "Keywords" || n == "Rating" || n == "Headline") continue;
        args.push_back("-" + n + "=" + tag.value);
    }
    if (!icc.empty()) args.push_back("-ICC_Profile<=" + profile.string());
    args.push_back(photo.string());
    if (RunProgram(dir, "exiftool", args).exitCode != 0) return {};
    return photo;
}

std::string ExifToolValue(const TempDir& dir, const std::filesystem::path& file, const std::string& tag, bool numeric) {
    std::vector<std::string> args = {"-s3", "-" + tag};
    if (numeric) args.insert(args.begin(), "-n");
    args.push_back(file.string());
    return Trimmed(RunProgram(dir, "exiftool", args).out);
}

std::map<std::string, std::string> ExifToolTags(const TempDir& dir, const std::filesystem::path& file, bool numeric) {
    std::vector<std::string> args = {"-s", file.string()};
    if (numeric) args.insert(args.begin(), "-n");
    const std::string out = RunProgram(dir, "exiftool", args).out;
    std::map<std::string, std::string> tags;
    size_t at = 0;
    while (at < out.size()) {
        size_t end = out.find('\n', at);
        if (end == std::string::npos) end = out.size();
        const std::string line = out.substr(at, end - at);
        at = end + 1;
        const size_t colon = line.find(" : ");
        if (colon == std::string::npos) continue;
        std::string name = line.substr(0, colon);
        while (!name.empty() && name.back() == ' ') name.pop_back();
        tags.emplace(name, line.substr(colon + 3));
    }
    return tags;
}

std::vector<uint8_t> ExifToolBinary(const TempDir& dir, const std::filesystem::path& file, const std::string& tag) {
    const std::string out = RunProgram(dir, "exiftool", {"-b", "-" + tag, file.string()}).out;
    return std::vector<uint8_t>(out.begin(), out.end());
}

std::string Exiv2Value(const TempDir& dir, const std::filesystem::path& file, const std::string& key) {
    return Trimmed(RunProgram(dir, "exiv2", {"-K", key, "-Pv", file.string()}).out);
}

std::vector<uint8_t> JpegWithSegments(const std::vector<std::pair<int, std::vector<uint8_t>>>& segments) {
    RasterImage picture = MakePatternImage(64, 48);
    RasterMemFile file;
    std::vector<uint8_t> jpeg;
    if (!file.Open() || !picture.Encode(&file, RASTER_FORMAT_JPG)) return jpeg;
    jpeg.assign(file.GetBuffer(), file.GetBuffer() + file.Size());
    std::vector<uint8_t> inserted;
    for (const auto& [marker, payload] : segments) {
        const size_t length = payload.size() + 2;
        inserted.insert(inserted.end(), {0xFF, uint8_t(marker), uint8_t(length >> 8), uint8_t(length)});
        inserted.insert(inserted.end(), payload.begin(), payload.end());
    }
    jpeg.insert(jpeg.begin() + 2, inserted.begin(), inserted.end());
    return jpeg;
}

}  // namespace testsupport
