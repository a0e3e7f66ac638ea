// Which names are pictures, how paths are formed, the listing order and the thumbnail size.
#include <gtest/gtest.h>

#include <algorithm>

#include "browser/FolderListing.h"
#include "browser/ThumbnailGeometry.h"
#include "image/RasterFormatTable.h"

using thumbs::Size;

TEST(PictureExtension, MatchesTheSevenTypesIgnoringCase) {
    for (const char* name : {"a.jpg", "b.JPG", "c.Jpeg", "d.png", "e.GIF", "f.bmp", "g.tif", "h.TIFF", "x.y.png"}) {
        EXPECT_TRUE(thumbs::HasPictureExtension(QString::fromLatin1(name))) << name;
    }
    for (const char* name : {"notes.txt", "a.jpg.txt", "a.jpgx", "a.", "a.tga", "png.", "photo"}) {
        EXPECT_FALSE(thumbs::HasPictureExtension(QString::fromLatin1(name))) << name;
    }
}

TEST(PictureExtension, AgreesWithTheFormatTable) {
    // Exactly the extensions of the formats the table marks as browsed.
    size_t browsed = 0;
    for (const RasterFormat& format : RasterFormats()) {
        for (const char* extension : format.extensions) {
            if (!extension) continue;
            const QString name = QStringLiteral("picture.") + QString::fromLatin1(extension);
            EXPECT_EQ(thumbs::HasPictureExtension(name), format.browsed) << extension;
            if (format.browsed) ++browsed;
        }
    }
    EXPECT_EQ(size_t(thumbs::PictureExtensions().size()), browsed);
    EXPECT_EQ(browsed, RasterBrowsedExtensions().size());
}

TEST(PictureExtension, NameWithoutDotIsComparedWhole) {
    EXPECT_EQ(thumbs::ExtensionOf(QStringLiteral("jpg")), QStringLiteral("jpg"));
    EXPECT_TRUE(thumbs::HasPictureExtension(QStringLiteral("jpg")));
    EXPECT_EQ(thumbs::ExtensionOf(QStringLiteral("a.b.Tiff")), QStringLiteral("Tiff"));
}

TEST(FolderPath, TrailingOrDoubledSeparatorsGiveTheSamePath) {
    const QString expected = QStringLiteral("/pics/holiday/a.jpg");
    EXPECT_EQ(thumbs::JoinFolderAndName(QStringLiteral("/pics/holiday"), QStringLiteral("a.jpg")), expected);
    EXPECT_EQ(thumbs::JoinFolderAndName(QStringLiteral("/pics/holiday/"), QStringLiteral("a.jpg")), expected);
    EXPECT_EQ(thumbs::JoinFolderAndName(QStringLiteral("/pics//holiday///"), QStringLiteral("a.jpg")), expected);
    EXPECT_EQ(thumbs::JoinFolderAndName(QStringLiteral("/"), QStringLiteral("a.jpg")), QStringLiteral("/a.jpg"));
}

TEST(NaturalOrder, NumbersCompareByValueAndLettersIgnoreCase) {
    std::vector<QString> names = {"photo10.jpg", "Photo2.jpg", "photo1.jpg", "b.png", "A.png", "photo02b.jpg",
                                  "photo2a.jpg", "img9.png", "img10.png", "img010.png"};
    std::sort(names.begin(), names.end(), thumbs::NaturalLess);
    const std::vector<QString> expected = {"A.png",      "b.png",       "img9.png",    "img010.png", "img10.png",
                                           "photo1.jpg", "Photo2.jpg",  "photo2a.jpg", "photo02b.jpg",
                                           "photo10.jpg"};
    EXPECT_EQ(names, expected);
}

TEST(NaturalOrder, IsAStrictOrderEvenForNamesEqualButForCase) {
    EXPECT_TRUE(thumbs::NaturalLess(QStringLiteral("A.jpg"), QStringLiteral("a.jpg")) !=
                thumbs::NaturalLess(QStringLiteral("a.jpg"), QStringLiteral("A.jpg")));
    EXPECT_FALSE(thumbs::NaturalLess(QStringLiteral("a.jpg"), QStringLiteral("a.jpg")));
}

TEST(ThumbnailSizeRule, FitsTheLongerSideToSixty) {
    EXPECT_EQ(thumbs::FitIntoSquare(100, 50), (Size{60, 30}));
    EXPECT_EQ(thumbs::FitIntoSquare(50, 100), (Size{30, 60}));
    EXPECT_EQ(thumbs::FitIntoSquare(333, 333), (Size{60, 60}));
    EXPECT_EQ(thumbs::FitIntoSquare(4000, 3000), (Size{60, 45}));
    EXPECT_EQ(thumbs::FitIntoSquare(4000, 3000, 128), (Size{128, 96}));
}

TEST(ThumbnailSizeRule, RoundsHalvesAwayFromZeroAndNeverToZero) {
    EXPECT_EQ(thumbs::FitIntoSquare(120, 45), (Size{60, 23}));   // 22.5
    EXPECT_EQ(thumbs::FitIntoSquare(45, 120), (Size{23, 60}));
    EXPECT_EQ(thumbs::FitIntoSquare(120, 43), (Size{60, 22}));   // 21.5 -> 22
    EXPECT_EQ(thumbs::FitIntoSquare(100000, 1), (Size{60, 1}));
    EXPECT_EQ(thumbs::FitIntoSquare(0, 10), (Size{0, 0}));
}
