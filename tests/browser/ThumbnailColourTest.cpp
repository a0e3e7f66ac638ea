// Thumbnails of pictures tagged with a wide-gamut profile are converted like the view, on the
// quick JPEG road and on the full decode; untagged files are left as decoded. Cache entries are
// in sRGB.
#include <gtest/gtest.h>

#include <QFile>

#include "MetadataFixtures.h"
#include "browser/ThumbnailMaker.h"
#include "image/PictureMetadata.h"
#include "image/metadata/ColourConversion.h"

namespace {

using namespace testsupport;

// A 600 x 400 picture of one colour saved as name, tagged with icc when it is not empty.
std::filesystem::path SolidPhoto(const TempDir& dir, const std::string& name, const std::vector<uint8_t>& icc) {
    RasterImage picture = MakeSolidImage(600, 400, RasterRgb(120, 200, 90));
    PictureMetadata metadata;
    metadata.icc = icc;
    const std::filesystem::path path = dir / name;
    EXPECT_TRUE(picture.Save(path.c_str(), RasterImage::TypeFromExtension(name.c_str()), &metadata));
    return path;
}

TEST(ThumbnailColourTest, TaggedThumbnailsAreConvertedOnBothRoads) {
    TempDir dir;
    using Maker = bool (*)(const QString&, thumbs::Size&, RasterImage&, thumbs::CacheCopy*, const thumbs::ThumbnailRequest&);
    struct Road {
        const char* extension;
        Maker maker;
    };
    for (const Road road : {Road{"jpg", &thumbs::PlatformThumbnail}, Road{"png", &thumbs::DecodedThumbnail}}) {
        SCOPED_TRACE(road.extension);
        const std::string ext = road.extension;
        const std::filesystem::path plain = SolidPhoto(dir, "plain." + ext, {});
        const std::filesystem::path tagged = SolidPhoto(dir, "tagged." + ext, MakeDisplayP3Profile());
        thumbs::Size size;
        RasterImage plainThumb;
        RasterImage taggedThumb;
        ASSERT_TRUE(road.maker(QFile::decodeName(plain.c_str()), size, plainThumb, nullptr, {}));
        ASSERT_TRUE(road.maker(QFile::decodeName(tagged.c_str()), size, taggedThumb, nullptr, {}));
        const uint32_t p = PictureColor(plainThumb, 5, 5);
        const uint32_t t = PictureColor(taggedThumb, 5, 5);
        EXPECT_NEAR(RasterRed(p), 120, 3);
        EXPECT_LT(RasterRed(t) + 10, RasterRed(p));
        EXPECT_GE(RasterGreen(t), RasterGreen(p));
    }
}

// On a screen with a profile of its own the list thumbnail is in the screen's colours, while the
// cache entry, which other programs and screens read too, is in sRGB.
TEST(ThumbnailColourTest, CacheEntriesAreInSrgbWhateverTheScreen) {
    TempDir dir;
    const std::vector<uint8_t> p3 = MakeDisplayP3Profile();
    const std::filesystem::path tagged = SolidPhoto(dir, "tagged.jpg", p3);
    SetScreenColourProfile(p3);
    thumbs::Size size;
    RasterImage thumb;
    thumbs::CacheCopy entry{RasterImage(), thumbs::CacheEntrySize::Normal};
    const bool made = thumbs::PlatformThumbnail(QFile::decodeName(tagged.c_str()), size, thumb, &entry, {});
    SetScreenColourProfile({});
    ASSERT_TRUE(made);
    ASSERT_TRUE(entry.picture.IsValid());
    EXPECT_NEAR(RasterRed(PictureColor(thumb, 5, 5)), 120, 3) << "a P3 screen shows P3 numbers as they are";
    EXPECT_LT(RasterRed(PictureColor(entry.picture, 5, 5)), 110) << "the entry holds sRGB numbers";
}

}  // namespace
