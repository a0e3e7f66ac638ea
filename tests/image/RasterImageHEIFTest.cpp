// HEIF/HEIC and AVIF: files written by heif-enc decode to libheif's own pictures of them
// exactly and near their sources (heif-enc's lossless mode is not exact in this libheif: it
// still converts colours on the way), deeper samples round to 8 bits, the file's rotation is applied once, the embedded
// thumbnail is found, and sizes past the memory limit are refused before decoding. What we write
// libheif's own converter reads, and a file that holds more than one 8-bit picture says so.
#include "image/formats/RasterImageHEIF.h"

#include <cstring>

#include <gtest/gtest.h>

#include "image/PictureMetadata.h"
#include "image/RasterImage.h"
#include "image/formats/RasterFormatSupport.h"
#include "image/formats/RasterHeifThumbnail.h"

#include "CodecTestHelpers.h"
#include "ExternalEncoders.h"
#include "FormatFixtures.h"
#include "MetadataFixtures.h"
#include "TestSupport.h"

namespace {

constexpr const char* kLossless = "-L -p chroma=444 --matrix_coefficients=0";

struct HeifCase {
    const char* name;
    const char* options;
    const char* extension;
    uint32_t type;
    bool alpha;
};

std::vector<uint8_t> HeifEnc(const testsupport::TempDir& dir, RasterImage& source, const std::string& options,
                             const std::string& extension) {
    return external::EncodeWith(dir, source, "heif-enc " + options + " -o {out} {in}", "a." + extension);
}

// The picture libheif's own converter makes of the file, to the byte.
void ExpectLibheifsOwnPicture(const testsupport::TempDir& dir, const std::vector<uint8_t>& file,
                              const std::string& extension, uint32_t type) {
    const std::filesystem::path in = dir / ("check." + extension);
    const std::filesystem::path out = dir / "check.png";
    testsupport::WriteFileBytes(in, file);
    ASSERT_TRUE(external::Run("heif-convert " + external::Quoted(in) + " " + external::Quoted(out)));
    RasterImage reference;
    ASSERT_TRUE(reference.Load(out.c_str(), RASTER_FORMAT_PNG));
    RasterImage decoded;
    ASSERT_TRUE(codectest::DecodeBytes(file, type, decoded)) << decoded.LastErrorText();
    EXPECT_TRUE(testsupport::SamePixels(decoded, reference));
}

TEST(RasterImageHEIF, ReadsWhatHeifEncWrites) {
    if (!external::HaveProgram("heif-enc")) GTEST_SKIP() << "heif-enc is not installed";
    const HeifCase cases[] = {
        {"HEIC lossless", kLossless, "heic", RASTER_FORMAT_HEIF, false},
        {"HEIC lossless with alpha", kLossless, "heic", RASTER_FORMAT_HEIF, true},
        {"HEIC lossy", "-q 95 -p chroma=444", "heic", RASTER_FORMAT_HEIF, false},
        {"AVIF lossless", kLossless, "avif", RASTER_FORMAT_AVIF, false},
        {"AVIF lossy with alpha", "-q 95 -p chroma=444", "avif", RASTER_FORMAT_AVIF, true},
    };
    for (const HeifCase& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::TempDir dir;
        RasterImage source = codectest::MakeSmoothImage(96, 64);
        if (c.alpha) testsupport::AddPatternAlpha(source);
        const std::vector<uint8_t> file = HeifEnc(dir, source, c.options, c.extension);
        external::ExpectReadsAsSource(file, c.type, source, false);
        ExpectLibheifsOwnPicture(dir, file, c.extension, c.type);
    }
}

TEST(RasterImageHEIF, RoundsDeepSamplesToEightBits) {
    if (!external::HaveProgram("heif-enc") || testsupport::ImageMagickConvert().empty()) {
        GTEST_SKIP() << "heif-enc or ImageMagick is not installed";
    }
    const std::pair<const char*, const char*> depths[] = {{"10", "heic"}, {"12", "avif"}};
    for (const auto& [bits, extension] : depths) {
        SCOPED_TRACE(extension);
        testsupport::TempDir dir;
        RasterImage source = codectest::MakeSmoothImage(64, 48);
        external::WritePng(source, dir / "eight.png");
        ASSERT_TRUE(testsupport::RunImageMagick(external::Quoted(dir / "eight.png") + " -depth 16 PNG48:" +
                                                external::Quoted(dir / "sixteen.png")));
        const std::filesystem::path out = dir / (std::string("deep.") + extension);
        ASSERT_TRUE(external::Run(std::string("heif-enc ") + kLossless + " -b " + bits + " -o " + external::Quoted(out) +
                                  " " + external::Quoted(dir / "sixteen.png")));
        RasterImage decoded;
        ASSERT_TRUE(decoded.Load(out.c_str(), RasterImage::TypeFromExtension(out.c_str()))) << decoded.LastErrorText();
        ASSERT_EQ(decoded.GetWidth(), source.GetWidth());
        // 8 bits widened to 16, cut to 10 or 12 by the encoder, rounded back here.
        EXPECT_LE(external::LargestDifference(decoded, source), 1);
    }
}

TEST(RasterImageHEIF, LibheifReadsWhatWeWrite) {
    if (!external::HaveProgram("heif-convert")) GTEST_SKIP() << "heif-convert is not installed";
    const HeifCase cases[] = {
        {"HEIC", "", "heic", RASTER_FORMAT_HEIF, false},
        {"HEIC with alpha", "", "heic", RASTER_FORMAT_HEIF, true},
        {"AVIF with alpha", "", "avif", RASTER_FORMAT_AVIF, true},
    };
    for (const HeifCase& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::TempDir dir;
        RasterImage source = codectest::MakeSmoothImage(96, 64);
        if (c.alpha) testsupport::AddPatternAlpha(source);
        source.SetJpegQuality(95);
        const std::vector<uint8_t> file = codectest::EncodeToBytes(source, c.type);
        ASSERT_FALSE(file.empty()) << source.LastErrorText();
        ExpectLibheifsOwnPicture(dir, file, c.extension, c.type);
        RasterImage decoded;
        ASSERT_TRUE(codectest::DecodeBytes(file, c.type, decoded));
        EXPECT_EQ(decoded.HasAlpha(), c.alpha);
        EXPECT_GE(testsupport::Psnr(decoded, source), 35.0);
        // A lower quality makes a smaller file.
        source.SetJpegQuality(30);
        EXPECT_LT(codectest::EncodeToBytes(source, c.type).size(), file.size());
    }
    EXPECT_EQ(RasterImageHEIF::QualityFromJpeg(75), 50);
    EXPECT_EQ(RasterImageHEIF::QualityFromJpeg(100), 100);
}

TEST(RasterImageHEIF, SaysWhatASaveOverItWouldDrop) {
    if (!external::HaveProgram("heif-enc") || testsupport::ImageMagickConvert().empty()) {
        GTEST_SKIP() << "heif-enc or ImageMagick is not installed";
    }
    testsupport::TempDir dir;
    RasterImage source = codectest::MakeSmoothImage(64, 48);
    external::WritePng(source, dir / "a.png");
    ASSERT_TRUE(testsupport::RunImageMagick(external::Quoted(dir / "a.png") + " -depth 16 PNG48:" +
                                            external::Quoted(dir / "deep.png")));
    const std::pair<std::string, uint32_t> cases[] = {
        {"-q 50 {a}", RASTER_HEIF_EXTRA_NONE},
        {"-q 50 -b 10 {deep}", RASTER_HEIF_EXTRA_DEEP_SAMPLES},
        {"-q 50 {a} {a}", RASTER_HEIF_EXTRA_MORE_PICTURES},
    };
    for (const auto& [arguments, extras] : cases) {
        SCOPED_TRACE(arguments);
        std::string command = "heif-enc -o " + external::Quoted(dir / "x.heic") + " " + arguments;
        for (const auto& [name, file] :
             {std::pair{std::string("{a}"), "a.png"}, std::pair{std::string("{deep}"), "deep.png"}}) {
            for (size_t at = command.find(name); at != std::string::npos; at = command.find(name)) {
                command.replace(at, name.size(), external::Quoted(dir / file));
            }
        }
        ASSERT_TRUE(external::Run(command));
        const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(dir / "x.heic");
        EXPECT_EQ(RasterImageHEIF::ExtrasLostOnSave(bytes.data(), bytes.size()), extras);
    }
}

// A phone's photo: stored sideways with an irot box on the picture and its thumbnail.
std::vector<uint8_t> PhoneLikeHeic(const testsupport::TempDir& dir, RasterImage& source, uint8_t quarterTurns) {
    std::vector<uint8_t> file = HeifEnc(dir, source, std::string(kLossless) + " -t 40", "heic");
    // heif-enc cannot write a rotation: every colour pixi property (which only records bit
    // depths) becomes an irot box of the same size.
    int turned = 0;
    external::EditHeifProperties(file, [&](const char* type, uint8_t* box, uint32_t size) {
        if (std::strcmp(type, "pixi") != 0 || size < 13 || box[12] != 3) return;
        std::memcpy(box + 4, "irot", 4);
        std::memset(box + 8, 0, size - 8);
        box[8] = quarterTurns;
        ++turned;
    });
    EXPECT_EQ(turned, 2) << "the picture's and the thumbnail's property";
    return file;
}

TEST(RasterImageHEIF, TurnsByTheFilesRotationOnceAndFindsTheThumbnail) {
    if (!external::HaveProgram("heif-enc")) GTEST_SKIP() << "heif-enc is not installed";
    testsupport::TempDir dir;
    RasterImage source = testsupport::MakePatternImage(120, 80);
    // irot turns counter-clockwise by quarter turns.
    for (const uint8_t turns : {uint8_t(1), uint8_t(3)}) {
        SCOPED_TRACE(int(turns));
        const std::vector<uint8_t> file = PhoneLikeHeic(dir, source, turns);
        RasterImage expected;
        ASSERT_TRUE(turns == 1 ? source.RotateLeft(&expected) : source.RotateRight(&expected));
        RasterImage decoded;
        PictureMetadata metadata;
        RasterLoadOptions options;
        options.upright = RasterUpright::Report;
        options.metadata = &metadata;
        std::vector<uint8_t> bytes = file;
        RasterMemFile stream(bytes.data(), uint32_t(bytes.size()));
        ASSERT_TRUE(decoded.Decode(&stream, RASTER_FORMAT_HEIF, options)) << decoded.LastErrorText();
        ASSERT_EQ(decoded.GetWidth(), expected.GetWidth());
        EXPECT_GE(testsupport::Psnr(decoded, expected), 40.0);
        EXPECT_EQ(options.orientation, 1);
        ExpectLibheifsOwnPicture(dir, file, "heic", RASTER_FORMAT_HEIF);

        uint32_t width = 0;
        uint32_t height = 0;
        RasterImage thumbnail;
        ASSERT_TRUE(DecodeHeifThumbnail(file.data(), file.size(), 30, width, height, thumbnail));
        EXPECT_EQ(width, 80u);
        EXPECT_EQ(height, 120u);
        EXPECT_EQ(thumbnail.GetWidth(), 26u);   // heif-enc's 40 x 26 (it rounds down), turned
        EXPECT_EQ(thumbnail.GetHeight(), 40u);
    }
    // A file without one gives none.
    RasterImage plain = testsupport::MakePatternImage(30, 20);
    const std::vector<uint8_t> without = HeifEnc(dir, plain, "-q 50", "heic");
    uint32_t width = 0;
    uint32_t height = 0;
    RasterImage thumbnail;
    EXPECT_FALSE(DecodeHeifThumbnail(without.data(), without.size(), 30, width, height, thumbnail));
}

// A phone's thumbnail means its colours in the picture's profile, which comes back with it.
TEST(RasterImageHEIF, TheThumbnailComesWithThePicturesColourProfile) {
    if (!external::HaveProgram("heif-enc")) GTEST_SKIP() << "heif-enc is not installed";
    testsupport::TempDir dir;
    const std::vector<uint8_t> p3 = testsupport::MakeDisplayP3Profile();
    RasterImage source = testsupport::MakePatternImage(120, 80);
    PictureMetadata metadata;
    metadata.icc = p3;
    ASSERT_TRUE(source.Save((dir / "tagged.png").c_str(), RASTER_FORMAT_PNG, &metadata));
    ASSERT_TRUE(external::Run("heif-enc -t 64 -o " + external::Quoted(dir / "tagged.heic") + " " +
                              external::Quoted(dir / "tagged.png")));
    const std::vector<uint8_t> tagged = testsupport::ReadFileBytes(dir / "tagged.heic");
    const std::vector<uint8_t> plain = HeifEnc(dir, source, "-t 64", "heic");
    for (const auto& [file, wanted] : {std::pair{&tagged, p3}, std::pair{&plain, std::vector<uint8_t>()}}) {
        uint32_t width = 0;
        uint32_t height = 0;
        RasterImage thumbnail;
        std::vector<uint8_t> icc{1, 2, 3};
        ASSERT_TRUE(DecodeHeifThumbnail(file->data(), file->size(), 30, width, height, thumbnail, &icc));
        EXPECT_EQ(icc, wanted) << (wanted.empty() ? "untagged" : "tagged");
    }
}

TEST(RasterImageHEIF, HandsBackExifWithoutItsOffsetAndDoesNotOrientByIt) {
    if (!external::HaveProgram("heif-enc")) GTEST_SKIP() << "heif-enc is not installed";
    testsupport::TempDir dir;
    external::OrientedLoad load;
    ASSERT_TRUE(external::LoadOrientedPhotoThrough(dir, "heif-enc -q 90 -o {out} {in}", "o6.heic", RASTER_FORMAT_HEIF, load))
        << load.picture.LastErrorText();
    external::ExpectTiffExifAndNoTurn(load.metadata.exif, load.options.orientation);
    // The file has no irot: its rows are shown as stored, whatever the EXIF block says.
    EXPECT_EQ(load.picture.GetWidth(), 64u);
}

TEST(RasterImageHEIF, RefusesSizesPastTheMemoryLimitBeforeDecoding) {
    if (!external::HaveProgram("heif-enc")) GTEST_SKIP() << "heif-enc is not installed";
    testsupport::TempDir dir;
    RasterImage source = testsupport::MakePatternImage(32, 32);
    std::vector<uint8_t> file = HeifEnc(dir, source, "-q 50", "heic");
    // Every ispe (image size) property claims 30000 x 30000 pixels: within libheif's limit on a
    // side, past the memory limit.
    external::EditHeifProperties(file, [](const char* type, uint8_t* box, uint32_t size) {
        if (std::strcmp(type, "ispe") != 0 || size < 20) return;
        const uint8_t side[4] = {0, 0, 0x75, 0x30};
        std::memcpy(box + 12, side, 4);
        std::memcpy(box + 16, side, 4);
    });
    RasterImage decoded;
    EXPECT_FALSE(codectest::DecodeBytes(file, RASTER_FORMAT_HEIF, decoded));
    EXPECT_STREQ(decoded.LastErrorText(), RasterTooLargeFor(30000, 30000, 64).text);
}

// Found by fuzzing; each made libheif take gigabytes for a long time before it failed: an item
// location claiming more than the 524-byte file holds, and an HEVC stream coding a picture of
// 63463 x 65519 pixels inside a file that states 16 x 24. Both are refused at once now.
TEST(RasterImageHEIF, HostileSizesFailBeforeLibheifAllocatesForThem) {
    const std::pair<const char*, const char*> cases[] = {
        {"heif-item-extent-past-end.heic", "past the end"},
        {"heif-coded-size-past-side-limit.heic", "exceeds the maximum image size"},
    };
    for (const auto& [name, reason] : cases) {
        const auto path = testsupport::TestDataDir() / "fuzz-regressions" / "heif" / name;
        RasterImage decoded;
        EXPECT_FALSE(codectest::DecodeBytes(testsupport::ReadFileBytes(path), RASTER_FORMAT_HEIF, decoded)) << name;
        EXPECT_NE(std::string(decoded.LastErrorText()).find(reason), std::string::npos) << decoded.LastErrorText();
    }
}

}  // namespace
