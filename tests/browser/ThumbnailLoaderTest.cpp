// The loader: what a folder scan lists, in which order, with which sizes and thumbnails.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "BrowserTestSupport.h"
#include "browser/ThumbnailList.h"
#include "TestSupport.h"
#include "browser/ThumbnailMaker.h"

using browsertest::ListedNames;
using browsertest::ListedPaths;
using browsertest::ToQString;
using browsertest::WaitForScan;
using browsertest::WriteSolidPicture;

namespace {

constexpr uint32_t kBlue = 0xFF0000;
constexpr uint32_t kRed = 0x0000FF;
constexpr uint32_t kGreen = 0x00FF00;

::testing::AssertionResult Near(uint32_t actual, uint32_t expected, int tolerance = 24) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int a = int((actual >> shift) & 0xFF);
        const int e = int((expected >> shift) & 0xFF);
        if (std::abs(a - e) > tolerance) {
            return ::testing::AssertionFailure() << std::hex << "colour 0x" << actual << " is not near 0x" << expected;
        }
    }
    return ::testing::AssertionSuccess();
}

class ThumbnailLoader : public ::testing::Test {
protected:
    void SetUp() override { browsertest::ClearThumbnailCache(); }
    testsupport::TempDir m_dir;
    ThumbnailList m_list;
};

}  // namespace

// A picture file that cannot be decoded is listed too (with the reason instead of a thumbnail).
TEST_F(ThumbnailLoader, ListsOnlyPicturesWithPictureExtensionsAndLongEnoughSides) {
    WriteSolidPicture(m_dir / "holiday.JPG", 200, 150, kBlue, RASTER_FORMAT_JPG);
    testsupport::WriteFileBytes(m_dir / "notes.txt", {'h', 'i'});
    std::filesystem::create_directory(m_dir / "x.jpg");
    WriteSolidPicture(m_dir / "x.jpg" / "inside.jpg", 200, 200, kBlue, RASTER_FORMAT_JPG);
    WriteSolidPicture(m_dir / "narrow.png", 50, 400, kBlue, RASTER_FORMAT_PNG);
    WriteSolidPicture(m_dir / "jpg", 300, 300, kBlue, RASTER_FORMAT_JPG);   // no extension at all
    testsupport::WriteFileBytes(m_dir / "broken.png", {0x89, 'P', 'N', 'G', 1, 2, 3});

    m_list.SetFolder(ToQString(m_dir.path()));
    WaitForScan(m_list);

    ASSERT_EQ(ListedNames(m_list), (std::vector<QString>{"broken.png", "holiday.JPG"}));
    EXPECT_FALSE(m_list.Thumb(0)->m_problem.isEmpty());
    const ThumbItem& item = *m_list.Thumb(1);
    EXPECT_TRUE(item.m_problem.isEmpty());
    EXPECT_EQ(item.m_path, ToQString(m_dir / "holiday.JPG"));
    EXPECT_EQ(item.m_width, 200);
    EXPECT_EQ(item.m_height, 150);
    EXPECT_EQ(item.m_thumb.GetWidth(), 60u);
    EXPECT_EQ(item.m_thumb.GetHeight(), 45u);
    EXPECT_EQ(item.m_thumb.GetBpp(), 24u);
    EXPECT_TRUE(Near(browsertest::CentreColor(item.m_thumb), kBlue));
}

TEST_F(ThumbnailLoader, ThumbnailsFollowTheSizeRuleForEveryPath) {
    for (const uint32_t type : {RASTER_FORMAT_JPG, RASTER_FORMAT_PNG, RASTER_FORMAT_BMP}) {
        const std::string extension = type == RASTER_FORMAT_JPG ? ".jpg" : type == RASTER_FORMAT_PNG ? ".png" : ".bmp";
        WriteSolidPicture(m_dir / ("wide" + extension), 100, 50, kGreen, type);
        WriteSolidPicture(m_dir / ("tall" + extension), 50, 100, kGreen, type);
        WriteSolidPicture(m_dir / ("square" + extension), 90, 90, kGreen, type);
    }
    for (const char* name : {"wide", "tall", "square"}) {
        for (const char* extension : {".jpg", ".png", ".bmp"}) {
            const QString path = ToQString(m_dir / (std::string(name) + extension));
            thumbs::Size size;
            RasterImage thumb;
            ASSERT_TRUE(thumbs::MakeThumbnail(path, size, thumb)) << name << extension;
            const thumbs::Size expected = name[0] == 'w' ? thumbs::Size{60, 30} : name[0] == 't' ? thumbs::Size{30, 60}
                                                                                                 : thumbs::Size{60, 60};
            EXPECT_EQ(thumbs::Size(thumb.GetWidth(), thumb.GetHeight()), expected) << name << extension;
            EXPECT_EQ(thumb.GetBpp(), 24u);
        }
    }
}

TEST_F(ThumbnailLoader, ListsNamesInNaturalOrderIgnoringCase) {
    for (const char* name : {"photo10.png", "Photo2.png", "photo1.png", "Album.png", "zebra.png"}) {
        WriteSolidPicture(m_dir / name, 80, 80, kGreen, RASTER_FORMAT_PNG);
    }
    m_list.SetFolder(ToQString(m_dir.path()));
    WaitForScan(m_list);
    const std::vector<QString> expected = {"Album.png", "photo1.png", "Photo2.png", "photo10.png", "zebra.png"};
    EXPECT_EQ(ListedNames(m_list), expected);
}

TEST_F(ThumbnailLoader, TrailingSeparatorYieldsTheSamePaths) {
    WriteSolidPicture(m_dir / "a.png", 80, 80, kGreen, RASTER_FORMAT_PNG);
    WriteSolidPicture(m_dir / "b.png", 80, 80, kGreen, RASTER_FORMAT_PNG);
    m_list.SetFolder(ToQString(m_dir.path()));
    WaitForScan(m_list);
    const std::vector<QString> plain = ListedPaths(m_list);
    m_list.SetFolder(ToQString(m_dir.path()) + QStringLiteral("//"));
    WaitForScan(m_list);
    ASSERT_EQ(plain.size(), 2u);
    EXPECT_EQ(ListedPaths(m_list), plain);
    EXPECT_EQ(plain[0], ToQString(m_dir / "a.png"));
}

TEST_F(ThumbnailLoader, MissingOrEmptyFolderGivesAnEmptyList) {
    WriteSolidPicture(m_dir / "a.png", 80, 80, kGreen, RASTER_FORMAT_PNG);
    m_list.SetFolder(ToQString(m_dir.path()));
    WaitForScan(m_list);
    ASSERT_EQ(m_list.count(), 1);
    m_list.SetFolder(ToQString(m_dir / "missing"));
    WaitForScan(m_list);
    EXPECT_EQ(m_list.count(), 0);
    m_list.SetFolder(ToQString(m_dir / "a.png"));   // a file, no folder
    WaitForScan(m_list);
    EXPECT_EQ(m_list.count(), 0);
    m_list.SetFolder(QString());
    EXPECT_FALSE(m_list.IsScanning());
    EXPECT_EQ(m_list.count(), 0);
}

TEST_F(ThumbnailLoader, QuickFolderChangesDuringAScanListOnlyTheLast) {
    testsupport::TempDir second;
    testsupport::TempDir third;
    for (int i = 0; i < 8; ++i) {
        WriteSolidPicture(m_dir / ("slow" + std::to_string(i) + ".png"), 1200, 900, kGreen, RASTER_FORMAT_PNG);
    }
    WriteSolidPicture(second / "second.png", 80, 80, kGreen, RASTER_FORMAT_PNG);
    WriteSolidPicture(third / "third.png", 80, 80, kGreen, RASTER_FORMAT_PNG);
    m_list.SetFolder(ToQString(m_dir.path()));
    ASSERT_TRUE(m_list.IsScanning());
    m_list.SetFolder(ToQString(second.path()));
    m_list.SetFolder(ToQString(third.path()));
    WaitForScan(m_list);
    EXPECT_EQ(ListedNames(m_list), std::vector<QString>{QStringLiteral("third.png")});
    EXPECT_EQ(m_list.CurrentFolder(), ToQString(third.path()));
}

TEST_F(ThumbnailLoader, TransparentPngKeepsItsAlpha) {
    browsertest::WriteHalfTransparentPng(m_dir / "clear.png", 120, 120, kRed);
    thumbs::Size size;
    RasterImage thumb;
    ASSERT_TRUE(thumbs::MakeThumbnail(ToQString(m_dir / "clear.png"), size, thumb));
    ASSERT_TRUE(thumb.HasAlpha());
    EXPECT_EQ(*thumb.AlphaPointer(5, 30), 0);
    EXPECT_EQ(*thumb.AlphaPointer(55, 30), 255);
}

TEST_F(ThumbnailLoader, ExifThumbnailIsUsedOnlyWhenItsShapeMatches) {
    // The embedded thumbnail is red, the picture blue: the colour tells which one was used.
    browsertest::WriteJpegWithExifThumbnail(m_dir / "match.jpg", 800, 600, kBlue, 160, 120, kRed);
    browsertest::WriteJpegWithExifThumbnail(m_dir / "padded.jpg", 800, 600, kBlue, 160, 160, kRed);
    thumbs::Size size;
    RasterImage thumb;
    ASSERT_TRUE(thumbs::PlatformThumbnail(ToQString(m_dir / "match.jpg"), size, thumb));
    EXPECT_EQ(size, (thumbs::Size{800, 600}));
    EXPECT_EQ(thumbs::Size(thumb.GetWidth(), thumb.GetHeight()), (thumbs::Size{60, 45}));
    EXPECT_TRUE(Near(browsertest::CentreColor(thumb), kRed));

    ASSERT_TRUE(thumbs::PlatformThumbnail(ToQString(m_dir / "padded.jpg"), size, thumb));
    EXPECT_EQ(size, (thumbs::Size{800, 600}));
    EXPECT_TRUE(Near(browsertest::CentreColor(thumb), kBlue));
}

TEST_F(ThumbnailLoader, PlatformPathLeavesNonJpegFilesWithoutCacheEntryToTheDecoder) {
    WriteSolidPicture(m_dir / "a.png", 80, 80, kGreen, RASTER_FORMAT_PNG);
    thumbs::Size size{1, 1};
    RasterImage thumb;
    EXPECT_FALSE(thumbs::PlatformThumbnail(ToQString(m_dir / "a.png"), size, thumb));
    EXPECT_EQ(size, thumbs::Size{});
    EXPECT_TRUE(thumbs::DecodedThumbnail(ToQString(m_dir / "a.png"), size, thumb));
    EXPECT_EQ(size, (thumbs::Size{80, 80}));
}

TEST_F(ThumbnailLoader, HeifFilesGiveTheThumbnailTheyCarryElseTheDecodedOne) {
    if (std::system("command -v heif-enc >/dev/null 2>&1") != 0) GTEST_SKIP() << "heif-enc is not installed";
    WriteSolidPicture(m_dir / "source.png", 400, 300, kBlue, RASTER_FORMAT_PNG);
    const std::string source = "'" + (m_dir / "source.png").string() + "'";
    ASSERT_EQ(std::system(("heif-enc -q 80 -t 160 -o '" + (m_dir / "phone.heic").string() + "' " + source +
                           " >/dev/null 2>&1").c_str()), 0);
    ASSERT_EQ(std::system(("heif-enc -q 80 -o '" + (m_dir / "plain.heic").string() + "' " + source +
                           " >/dev/null 2>&1").c_str()), 0);
    thumbs::Size size;
    RasterImage thumb;
    ASSERT_TRUE(thumbs::PlatformThumbnail(ToQString(m_dir / "phone.heic"), size, thumb));
    EXPECT_EQ(size, (thumbs::Size{400, 300}));
    EXPECT_EQ(thumbs::Size(thumb.GetWidth(), thumb.GetHeight()), (thumbs::Size{60, 45}));
    EXPECT_TRUE(Near(browsertest::CentreColor(thumb), kBlue));
    // Without a stored thumbnail the fast path gives way to the full decode.
    EXPECT_FALSE(thumbs::PlatformThumbnail(ToQString(m_dir / "plain.heic"), size, thumb));
    ASSERT_TRUE(thumbs::MakeThumbnail(ToQString(m_dir / "plain.heic"), size, thumb));
    EXPECT_EQ(size, (thumbs::Size{400, 300}));
}

TEST_F(ThumbnailLoader, ThumbnailsAreTurnedUprightByTheExifOrientation) {
    const std::filesystem::path corpus = testsupport::CorpusDir() / "exif-orientation";
    if (!std::filesystem::exists(corpus / "Landscape_1.jpg")) GTEST_SKIP() << "corpus missing";
    thumbs::Size uprightSize;
    RasterImage upright;
    ASSERT_TRUE(thumbs::MakeThumbnail(ToQString(corpus / "Landscape_1.jpg"), uprightSize, upright));
    for (int orientation = 2; orientation <= 8; ++orientation) {
        const std::string name = "Landscape_" + std::to_string(orientation) + ".jpg";
        thumbs::Size size;
        RasterImage thumb;
        ASSERT_TRUE(thumbs::MakeThumbnail(ToQString(corpus / name), size, thumb)) << name;
        EXPECT_EQ(size, uprightSize) << name;
        ASSERT_EQ(thumbs::Size(thumb.GetWidth(), thumb.GetHeight()), thumbs::Size(upright.GetWidth(), upright.GetHeight()))
            << name;
        EXPECT_GT(testsupport::Psnr(thumb, upright), 22.0) << name;
    }
}
