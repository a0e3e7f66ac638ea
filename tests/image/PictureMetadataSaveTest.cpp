// A photo's metadata through load and save, checked with readers that are not ours (exiftool
// and exiv2's command-line programs): tags kept, orientation 1, the new size, a new EXIF
// thumbnail of the saved picture, the same ICC bytes, resolution tags that match the file's
// dpi; damaged blocks left out without stopping the picture.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "MetadataFixtures.h"
#include "image/PictureMetadata.h"
#include "image/RasterFile.h"
#include "image/RasterImage.h"
#include "image/metadata/ColourConversion.h"
#include "image/metadata/MetadataBlocks.h"
#include "image/metadata/MetadataCheck.h"

namespace {

using namespace testsupport;

// Loads path as the program does: upright, with its metadata, unreadable blocks left out.
bool LoadWithMetadata(const std::filesystem::path& path, RasterImage& picture, PictureMetadata& metadata) {
    RasterLoadOptions options;
    options.upright = RasterUpright::Turn;
    options.metadata = &metadata;
    if (!picture.Load(path.c_str(), RasterImage::TypeFromExtension(path.c_str()), options)) return false;
    DropUnreadableMetadata(metadata);
    return picture.IncreaseBpp(24);
}

struct SaveCase {
    const char* extension;
    bool largeProfile;
    // HEIF and JPEG XL files have no place for IPTC records.
    bool keepsIptc = true;
    // JPEG XL keeps the colours a profile means, in its own encoding where it has one for them.
    bool profileBytesKept = true;
};

// The picture as the program shows it through icc.
RasterImage ShownThrough(const RasterImage& picture, const std::vector<uint8_t>& icc) {
    RasterImage shown;
    shown.Copy(picture);
    ConvertToSrgbColours(shown, icc);
    return shown;
}

class MetadataSaveTest : public ::testing::TestWithParam<SaveCase> {};

TEST_P(MetadataSaveTest, OtherReadersFindTheTagsTheNewSizeAThumbnailAndTheSameProfile) {
    TempDir dir;
    const std::vector<uint8_t> icc = MakeDisplayP3Profile(GetParam().largeProfile);
    const std::filesystem::path photo = TaggedPhoto(dir, "photo.jpg", icc);
    ASSERT_FALSE(photo.empty()) << "exiftool could not tag the test photo";

    RasterImage picture;
    PictureMetadata metadata;
    ASSERT_TRUE(LoadWithMetadata(photo, picture, metadata));
    EXPECT_FALSE(metadata.dropped);
    EXPECT_EQ(metadata.icc, icc);
    ASSERT_EQ(picture.GetWidth(), 1800u);   // turned upright by the load
    RasterImage cut;
    ASSERT_TRUE(picture.Crop(RasterRect{100, 50, 1300, 850}, &cut));
    cut.SetXDpi(240);
    cut.SetYDpi(240);
    const std::filesystem::path saved = dir / (std::string("saved.") + GetParam().extension);
    ASSERT_TRUE(cut.Save(saved.c_str(), RasterImage::TypeFromExtension(saved.c_str()), &metadata));
    EXPECT_FALSE(metadata.dropped);

    std::map<std::string, std::string> tags = ExifToolTags(dir, saved);
    for (const PhotoTag& tag : TaggedPhotoTags()) {
        if (!GetParam().keepsIptc && std::string(tag.name) == "Keywords") continue;
        EXPECT_EQ(tags[tag.name], tag.value) << tag.name;
    }
    EXPECT_EQ(tags["Orientation"], "Horizontal (normal)");
    // The saved picture is what a crop gives: no tool may crop it again.
    EXPECT_EQ(tags.count("HasCrop") + tags.count("CropLeft"), 0u);
    EXPECT_EQ(tags["ExifImageWidth"], "1200");
    EXPECT_EQ(tags["ExifImageHeight"], "800");
    EXPECT_EQ(tags["ResolutionUnit"], "inches");
    EXPECT_EQ(Exiv2Value(dir, saved, "Exif.Image.Orientation"), "1");
    EXPECT_EQ(Exiv2Value(dir, saved, "Exif.Image.XResolution"), "240/1");
    EXPECT_EQ(Exiv2Value(dir, saved, "Exif.Image.YResolution"), "240/1");
    if (GetParam().profileBytesKept) {
        EXPECT_EQ(ExifToolBinary(dir, saved, "ICC_Profile"), icc);
    } else {
        RasterImage reloaded;
        PictureMetadata reloadedMetadata;
        ASSERT_TRUE(LoadWithMetadata(saved, reloaded, reloadedMetadata));
        EXPECT_GE(Psnr(ShownThrough(reloaded, reloadedMetadata.icc), ShownThrough(cut, icc)), 35.0);
    }

    // The thumbnail shows the saved picture, not the camera's whole frame.
    std::vector<uint8_t> thumbBytes = ExifToolBinary(dir, saved, "ThumbnailImage");
    ASSERT_FALSE(thumbBytes.empty());
    RasterImage thumb;
    ASSERT_TRUE(thumb.Decode(thumbBytes.data(), uint32_t(thumbBytes.size()), RASTER_FORMAT_JPG));
    EXPECT_EQ(thumb.GetWidth(), 160u);
    EXPECT_EQ(thumb.GetHeight(), 107u);
    RasterImage expected;
    ASSERT_TRUE(cut.Rescale(160, 107, RASTER_RESCALE_AREA, &expected));
    ASSERT_TRUE(thumb.IncreaseBpp(24));
    EXPECT_GT(Psnr(thumb, expected), 25.0);
    RasterImage wholeFrame;
    ASSERT_TRUE(picture.Rescale(160, 107, RASTER_RESCALE_AREA, &wholeFrame));
    EXPECT_LT(Psnr(thumb, wholeFrame), Psnr(thumb, expected));
}

INSTANTIATE_TEST_SUITE_P(Formats, MetadataSaveTest,
                         ::testing::Values(SaveCase{"jpg", false}, SaveCase{"png", false}, SaveCase{"jpg", true},
                                           SaveCase{"png", true}, SaveCase{"heic", false, false},
                                           SaveCase{"avif", false, false}, SaveCase{"jxl", false, false, false}),
                         [](const auto& info) {
                             return std::string(info.param.extension) + (info.param.largeProfile ? "_LargeProfile" : "");
                         });

TEST(MetadataSaveTest, ALargeProfileIsSplitOverSeveralJpegSegments) {
    TempDir dir;
    const std::vector<uint8_t> icc = MakeDisplayP3Profile(true);
    ASSERT_GT(icc.size(), 2u * 65519u);
    RasterImage picture = MakePatternImage(80, 60);
    PictureMetadata metadata;
    metadata.icc = icc;
    const std::filesystem::path saved = dir / "large.jpg";
    ASSERT_TRUE(picture.Save(saved.c_str(), RASTER_FORMAT_JPG, &metadata));
    const std::vector<uint8_t> bytes = ReadFileBytes(saved);
    PictureMetadata read;
    ASSERT_TRUE(ReadJpegMetadata(bytes.data(), bytes.size(), read));
    EXPECT_EQ(read.icc, icc);
    const std::string structure = RunProgram(dir, "exiv2", {"-pS", saved.string()}).out;
    EXPECT_NE(structure.find("chunk 3/3"), std::string::npos) << structure;
}

TEST(MetadataSaveTest, GifAndBmpAreWrittenWithoutMetadata) {
    TempDir dir;
    RasterImage picture = MakePatternImage(80, 60);
    for (const char* name : {"plain.gif", "plain.bmp"}) {
        PictureMetadata metadata;
        metadata.icc = MakeDisplayP3Profile();
        const std::filesystem::path saved = dir / name;
        ASSERT_TRUE(picture.Save(saved.c_str(), RasterImage::TypeFromExtension(name), &metadata)) << name;
        EXPECT_TRUE(ExifToolBinary(dir, saved, "ICC_Profile").empty()) << name;
    }
}

// A block that cannot be read is left out; the picture and the other blocks are not affected.
struct DamageCase {
    const char* name;
    std::vector<std::pair<int, std::vector<uint8_t>>> segments;
    bool exifKept;
    bool iccKept;
};

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::vector<uint8_t> Prefixed(const std::string& prefix, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> bytes(prefix.begin(), prefix.end());
    bytes.insert(bytes.end(), body.begin(), body.end());
    return bytes;
}

// A minimal sound EXIF block: little-endian TIFF header, one IFD with Make = "Cam".
std::vector<uint8_t> SoundExif() {
    return Prefixed(std::string("Exif\0\0", 6), {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x0F, 0x01, 2, 0, 4, 0, 0, 0,
                                                  'C', 'a', 'm', 0, 0, 0, 0, 0});
}

std::vector<uint8_t> IccChunk(int sequence, int count, const std::vector<uint8_t>& part) {
    std::vector<uint8_t> bytes = Prefixed(std::string("ICC_PROFILE\0", 12), {uint8_t(sequence), uint8_t(count)});
    bytes.insert(bytes.end(), part.begin(), part.end());
    return bytes;
}

std::vector<DamageCase> DamageCases() {
    const std::vector<uint8_t> icc = MakeDisplayP3Profile();
    const std::vector<uint8_t> half(icc.begin(), icc.begin() + long(icc.size() / 2));
    std::vector<uint8_t> badTiff = Prefixed(std::string("Exif\0\0", 6), Bytes("II*\0\xff\xff\xff\x7f garbage"));
    std::vector<uint8_t> hugeXmp = Prefixed(std::string("http://ns.adobe.com/xap/1.0/\0", 29),
                                            Bytes("<x:xmpmeta xmlns:x='adobe:ns:meta/'>" + std::string(65000, ' ')));
    return {
        {"CorruptExif", {{0xE1, badTiff}, {0xE2, IccChunk(1, 1, icc)}}, false, true},
        {"CorruptXmp", {{0xE1, SoundExif()}, {0xE1, Prefixed(std::string("http://ns.adobe.com/xap/1.0/\0", 29), Bytes("<x:xmpmeta <<"))}}, true, false},
        {"OversizedXmp", {{0xE1, SoundExif()}, {0xE1, hugeXmp}}, true, false},
        {"CorruptIcc", {{0xE1, SoundExif()}, {0xE2, IccChunk(1, 1, Bytes("not a colour profile at all"))}}, true, false},
        {"MissingIccChunk", {{0xE1, SoundExif()}, {0xE2, IccChunk(1, 2, half)}}, true, false},
        {"TruncatedIcc", {{0xE1, SoundExif()}, {0xE2, IccChunk(1, 1, half)}}, true, false},
        {"CorruptIptc", {{0xE1, SoundExif()}, {0xED, Prefixed(std::string("Photoshop 3.0\0", 14), Bytes(std::string("8BIM\x04\x04\0\0\0\0\0\x05\x1c\x02", 14)))}}, true, false},
    };
}

TEST(MetadataSaveTest, UnreadableBlocksAreLeftOutAndThePictureStillOpensAndSaves) {
    for (const DamageCase& c : DamageCases()) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::filesystem::path damaged = dir / "damaged.jpg";
        WriteFileBytes(damaged, JpegWithSegments(c.segments));
        RasterImage picture;
        PictureMetadata metadata;
        ASSERT_TRUE(LoadWithMetadata(damaged, picture, metadata));
        EXPECT_TRUE(metadata.dropped);
        EXPECT_EQ(!metadata.exif.empty(), c.exifKept);
        EXPECT_EQ(!metadata.icc.empty(), c.iccKept);
        EXPECT_TRUE(metadata.xmp.empty() || metadata.xmp.size() <= kMaxXmpBytes);
        const std::filesystem::path saved = dir / "saved.jpg";
        ASSERT_TRUE(picture.Save(saved.c_str(), RASTER_FORMAT_JPG, &metadata));
        EXPECT_EQ(ExifToolValue(dir, saved, "Make"), c.exifKept ? "Cam" : "");
        EXPECT_EQ(ExifToolBinary(dir, saved, "ICC_Profile").empty(), !c.iccKept);
    }
}

TEST(MetadataSaveTest, CliKeepsStripsAndPrintsTheMetadata) {
    TempDir dir;
    const std::vector<uint8_t> icc = MakeDisplayP3Profile();
    const std::filesystem::path photo = TaggedPhoto(dir, "photo.jpg", icc);
    ASSERT_FALSE(photo.empty());
    const std::string kept = (dir / "kept.png").string();
    const std::string stripped = (dir / "stripped.jpg").string();
    ASSERT_EQ(RunCli(dir, {photo.string(), kept}).exitCode, 0);
    ASSERT_EQ(RunCli(dir, {"--strip", photo.string(), stripped}).exitCode, 0);
    EXPECT_EQ(ExifToolValue(dir, kept, "Make"), "TestCam");
    EXPECT_EQ(ExifToolValue(dir, kept, "Orientation", true), "1");
    EXPECT_EQ(ExifToolValue(dir, kept, "ImageWidth"), "1800");   // turned upright, as the program does
    EXPECT_EQ(ExifToolBinary(dir, kept, "ICC_Profile"), icc);
    EXPECT_EQ(ExifToolValue(dir, stripped, "Make"), "");
    EXPECT_TRUE(ExifToolBinary(dir, stripped, "ICC_Profile").empty());

    const RunResult meta = RunCli(dir, {"meta", kept});
    ASSERT_EQ(meta.exitCode, 0) << meta.err;
    for (const char* line : {"Exif.Image.Make=TestCam\n", "Exif.Image.Orientation=1\n", "Iptc.Application2.Keywords=beach\n",
                             "Xmp.xmp.Rating=4\n", "Icc.Size="}) {
        EXPECT_NE(meta.out.find(line), std::string::npos) << line << " in\n" << meta.out;
    }
}

}  // namespace
