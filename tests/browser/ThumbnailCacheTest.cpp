// The freedesktop thumbnail cache: names, trust rules, and the round trip through a scan.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <sys/stat.h>

#include "BrowserTestSupport.h"
#include "TestSupport.h"
#include "platform/ThumbnailCache.h"
#include "browser/ThumbnailMaker.h"
#include "platform/ThumbnailPngWriter.h"

using browsertest::ToQString;
using browsertest::WriteSolidPicture;

namespace {

constexpr uint32_t kBlue = 0xFF0000;
constexpr uint32_t kRed = 0x0000FF;
constexpr QRgb kMarker = 0xFFFF00FF;   // magenta: only a cache entry can be this colour
constexpr uint32_t kMarkerColor = 0xFF00FF;

class ThumbnailCache : public ::testing::Test {
protected:
    void SetUp() override { browsertest::ClearThumbnailCache(); }

    // Replaces the pixels of an entry by the marker colour, keeping its text chunks, or with
    // the given modification time.
    static void MarkEntry(const QString& entry, const QString& mtime = QString()) {
        const QImage original(entry);
        ASSERT_FALSE(original.isNull());
        QImage image(original.size(), QImage::Format_RGB888);
        image.fill(QColor::fromRgb(kMarker));
        for (const QString& key : original.textKeys()) image.setText(key, original.text(key));
        if (!mtime.isEmpty()) image.setText(QStringLiteral("Thumb::MTime"), mtime);
        ASSERT_TRUE(image.save(entry, "png"));
    }

    testsupport::TempDir m_dir;
};

}  // namespace

TEST_F(ThumbnailCache, UriIsPercentEncodedLikeGlib) {
    EXPECT_EQ(thumbs::FileUri(QStringLiteral("/home/me/a b#%.jpg")), QByteArray("file:///home/me/a%20b%23%25.jpg"));
    EXPECT_EQ(thumbs::FileUri(QStringLiteral("/x/(1)+,;=@~_-.png")), QByteArray("file:///x/(1)+,;=@~_-.png"));
    EXPECT_EQ(thumbs::FileUri(QString::fromUtf8("/x/\xc3\xa9.png")), QByteArray("file:///x/%C3%A9.png"));
}

TEST_F(ThumbnailCache, EntryIsNamedAfterTheMd5OfTheUri) {
    const QString entry = thumbs::CacheEntryPath(QStringLiteral("/home/me/a.jpg"), false);
    const QByteArray md5 = QCryptographicHash::hash("file:///home/me/a.jpg", QCryptographicHash::Md5).toHex();
    EXPECT_EQ(entry, thumbs::ThumbnailCacheFolder() + "/normal/" + md5 + ".png");
    EXPECT_TRUE(thumbs::CacheEntryPath(QStringLiteral("/a.jpg"), true).contains(QStringLiteral("/large/")));
}

TEST_F(ThumbnailCache, ComputedThumbnailIsWrittenWithItsRecordAndOwnerOnlyMode) {
    const QString picture = ToQString(m_dir / "big.jpg");
    WriteSolidPicture(m_dir / "big.jpg", 640, 480, kBlue, RASTER_FORMAT_JPG);
    thumbs::Size size;
    RasterImage thumb;
    ASSERT_TRUE(thumbs::MakeThumbnail(picture, size, thumb));

    const QString entry = thumbs::CacheEntryPath(picture, false);
    const QImage reader(entry);
    ASSERT_FALSE(reader.isNull()) << entry.toStdString();
    EXPECT_EQ(reader.size(), QSize(128, 96));
    EXPECT_EQ(reader.text("Thumb::URI"), QString::fromUtf8(thumbs::FileUri(picture)));
    EXPECT_EQ(reader.text("Thumb::MTime").toLongLong(), QFileInfo(picture).lastModified().toSecsSinceEpoch());
    EXPECT_EQ(reader.text("Thumb::Size").toLongLong(), QFileInfo(picture).size());
    EXPECT_EQ(reader.text("Thumb::Image::Width"), QStringLiteral("640"));
    EXPECT_EQ(reader.text("Thumb::Image::Height"), QStringLiteral("480"));
    EXPECT_FALSE(reader.text("Software").isEmpty());
    struct stat status {};
    ASSERT_EQ(stat(QFile::encodeName(entry).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    ASSERT_EQ(stat(QFile::encodeName(thumbs::ThumbnailCacheFolder()).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
}

TEST_F(ThumbnailCache, WrittenEntryIsReadBackByTheNextScan) {
    WriteSolidPicture(m_dir / "big.jpg", 640, 480, kBlue, RASTER_FORMAT_JPG);
    ThumbnailList list;
    list.SetFolder(ToQString(m_dir.path()));
    browsertest::WaitForScan(list);
    ASSERT_EQ(list.count(), 1);
    MarkEntry(thumbs::CacheEntryPath(ToQString(m_dir / "big.jpg"), false));

    list.SetFolder(ToQString(m_dir.path()));
    browsertest::WaitForScan(list);
    ASSERT_EQ(list.count(), 1);
    const ThumbItem& item = *list.Thumb(0);
    EXPECT_EQ(item.m_width, 640);
    EXPECT_EQ(item.m_height, 480);
    EXPECT_EQ(item.m_thumb.GetWidth(), 60u);
    EXPECT_EQ(item.m_thumb.GetHeight(), 45u);
    const uint32_t centre = browsertest::CentreColor(item.m_thumb);
    EXPECT_TRUE(RasterRed(centre) > 250 && RasterGreen(centre) < 5 && RasterBlue(centre) > 250) << std::hex << centre;
}

TEST_F(ThumbnailCache, EntryWithStaleModificationTimeIsIgnored) {
    const QString picture = ToQString(m_dir / "big.jpg");
    WriteSolidPicture(m_dir / "big.jpg", 640, 480, kBlue, RASTER_FORMAT_JPG);
    thumbs::Size size;
    RasterImage thumb;
    ASSERT_TRUE(thumbs::MakeThumbnail(picture, size, thumb));
    const qint64 mtime = QFileInfo(picture).lastModified().toSecsSinceEpoch();
    MarkEntry(thumbs::CacheEntryPath(picture, false), QString::number(mtime - 5));

    ASSERT_TRUE(thumbs::MakeThumbnail(picture, size, thumb));
    EXPECT_NE(browsertest::CentreColor(thumb), kMarkerColor);
    thumbs::CachedThumbnail cached;
    EXPECT_TRUE(thumbs::ReadCachedThumbnail(picture, cached)) << "the stale entry is replaced";
}

TEST_F(ThumbnailCache, EntryWithoutPictureSizeIsIgnored) {
    const QString picture = ToQString(m_dir / "big.jpg");
    WriteSolidPicture(m_dir / "big.jpg", 640, 480, kBlue, RASTER_FORMAT_JPG);
    QImage entry(128, 96, QImage::Format_RGB888);
    entry.fill(QColor::fromRgb(kMarker));
    entry.setText(QStringLiteral("Thumb::MTime"), QString::number(QFileInfo(picture).lastModified().toSecsSinceEpoch()));
    ASSERT_TRUE(QDir().mkpath(thumbs::ThumbnailCacheFolder() + "/large"));
    ASSERT_TRUE(entry.save(thumbs::CacheEntryPath(picture, true), "png"));
    thumbs::CachedThumbnail cached;
    EXPECT_FALSE(thumbs::ReadCachedThumbnail(picture, cached));
}

TEST_F(ThumbnailCache, FilesInsideTheCacheAreNeverRecorded) {
    const std::filesystem::path folder = QFile::encodeName(thumbs::ThumbnailCacheFolder() + "/normal").toStdString();
    std::filesystem::create_directories(folder);
    WriteSolidPicture(folder / "inside.png", 300, 300, kBlue, RASTER_FORMAT_PNG);
    const QString picture = ToQString(folder / "inside.png");
    thumbs::Size size;
    RasterImage thumb;
    ASSERT_TRUE(thumbs::MakeThumbnail(picture, size, thumb));
    EXPECT_FALSE(QFileInfo::exists(thumbs::CacheEntryPath(picture, false)));
}

TEST(QuickPng, PixelsAndTextsSurviveTheRoundTrip) {
    // A pattern that no filter or compression could make come back right by chance.
    QImage opaque(37, 23, QImage::Format_RGB888);
    QImage translucent(37, 23, QImage::Format_ARGB32);
    for (int y = 0; y < opaque.height(); ++y) {
        for (int x = 0; x < opaque.width(); ++x) {
            opaque.setPixel(x, y, qRgb((x * 37 + y) & 0xFF, (y * 11) & 0xFF, (x ^ y) * 5 & 0xFF));
            translucent.setPixel(x, y, qRgba((x * 7) & 0xFF, (y * 9) & 0xFF, 200, (x * y * 3) & 0xFF));
        }
    }
    const thumbs::PngTexts texts = {{"Thumb::URI", "file:///tmp/a%20b.jpg"}, {"Thumb::MTime", "1796760924"}};
    for (const QImage* original : {&opaque, &translucent}) {
        std::vector<uint8_t> png;
        ASSERT_TRUE(thumbs::EncodeQuickPng(*original, texts, png));
        QImage decoded;
        ASSERT_TRUE(decoded.loadFromData(png.data(), int(png.size()), "png"));
        ASSERT_EQ(decoded.size(), original->size());
        EXPECT_EQ(decoded.hasAlphaChannel(), original == &translucent);
        int differing = 0;
        for (int y = 0; y < original->height(); ++y) {
            for (int x = 0; x < original->width(); ++x) differing += decoded.pixel(x, y) != original->pixel(x, y);
        }
        EXPECT_EQ(differing, 0);
        EXPECT_EQ(decoded.text("Thumb::URI"), QStringLiteral("file:///tmp/a%20b.jpg"));
        EXPECT_EQ(decoded.text("Thumb::MTime"), QStringLiteral("1796760924"));
    }
    std::vector<uint8_t> png{1, 2, 3};
    EXPECT_FALSE(thumbs::EncodeQuickPng(QImage(), texts, png));
    EXPECT_TRUE(png.empty());
}

// Entries that do not describe the file as it is now are not used (and the next thumbnail
// replaces them): another time, another length, another shape, or too few pixels for the box.
TEST_F(ThumbnailCache, EntriesThatDoNotFitTheFileOrTheBoxAreNotUsed) {
    const QString picture = ToQString(m_dir / "big.jpg");
    WriteSolidPicture(m_dir / "big.jpg", 640, 480, kBlue, RASTER_FORMAT_JPG);
    const QString mtime = QString::number(QFileInfo(picture).lastModified().toSecsSinceEpoch());
    const QString length = QString::number(QFileInfo(picture).size());
    const struct {
        const char* what;
        QSize pixels;
        QString time;
        QString size;
        uint32_t leastSide;
        bool used;
    } cases[] = {
        {"current", {128, 96}, mtime, length, 60, true},
        {"no length recorded", {128, 96}, mtime, QString(), 60, true},
        {"other time", {128, 96}, QString::number(mtime.toLongLong() - 1), length, 60, false},
        {"other length", {128, 96}, mtime, QString::number(length.toLongLong() + 1), 60, false},
        {"other shape", {128, 128}, mtime, length, 60, false},
        {"enough for the box", {64, 48}, mtime, length, 60, true},
        {"too small for the box", {64, 48}, mtime, length, 120, false},
    };
    for (const auto& test : cases) {
        browsertest::ClearThumbnailCache();
        QImage entry(test.pixels, QImage::Format_RGB888);
        entry.fill(QColor::fromRgb(kMarker));
        entry.setText(QStringLiteral("Thumb::URI"), QString::fromUtf8(thumbs::FileUri(picture)));
        entry.setText(QStringLiteral("Thumb::MTime"), test.time);
        if (!test.size.isEmpty()) entry.setText(QStringLiteral("Thumb::Size"), test.size);
        entry.setText(QStringLiteral("Thumb::Image::Width"), QStringLiteral("640"));
        entry.setText(QStringLiteral("Thumb::Image::Height"), QStringLiteral("480"));
        ASSERT_TRUE(QDir().mkpath(thumbs::ThumbnailCacheFolder() + "/normal"));
        ASSERT_TRUE(entry.save(thumbs::CacheEntryPath(picture, false), "png"));
        thumbs::CachedThumbnail cached;
        EXPECT_EQ(thumbs::ReadCachedThumbnail(picture, cached, test.leastSide), test.used) << test.what;
        if (test.used) continue;
        // Made anew and recorded again, current this time.
        thumbs::Size size;
        RasterImage thumb;
        thumbs::ThumbnailRequest request;
        request.side = int(test.leastSide);
        ASSERT_TRUE(thumbs::MakeThumbnail(picture, size, thumb, request)) << test.what;
        EXPECT_NE(browsertest::CentreColor(thumb), kMarkerColor) << test.what;
        EXPECT_TRUE(thumbs::ReadCachedThumbnail(picture, cached, test.leastSide, test.leastSide > 60
                                                ? thumbs::CacheEntrySize::Large : thumbs::CacheEntrySize::Normal))
            << test.what;
    }
}

// A box larger than the list's own (a HiDPI screen) is served from the "large" entry, which a
// computed thumbnail also writes; the normal box keeps to the "normal" one.
TEST_F(ThumbnailCache, DevicePixelBoxReadsAndWritesTheLargeEntry) {
    const QString picture = ToQString(m_dir / "big.jpg");
    WriteSolidPicture(m_dir / "big.jpg", 1024, 768, kBlue, RASTER_FORMAT_JPG);
    for (const int side : {60, 90, 120}) {
        browsertest::ClearThumbnailCache();
        const bool large = side > 60;
        thumbs::ThumbnailRequest request;
        request.side = side;
        thumbs::Size size;
        RasterImage thumb;
        ASSERT_TRUE(thumbs::MakeThumbnail(picture, size, thumb, request));
        EXPECT_EQ(thumb.GetWidth(), uint32_t(side)) << side;
        const QString entry = thumbs::CacheEntryPath(picture, large);
        EXPECT_EQ(QImage(entry).size(), large ? QSize(256, 192) : QSize(128, 96)) << side;
        EXPECT_FALSE(QFileInfo::exists(thumbs::CacheEntryPath(picture, !large))) << side;
        MarkEntry(entry);
        ASSERT_TRUE(thumbs::MakeThumbnail(picture, size, thumb, request));
        const uint32_t centre = browsertest::CentreColor(thumb);
        EXPECT_TRUE(RasterRed(centre) > 250 && RasterGreen(centre) < 5 && RasterBlue(centre) > 250) << side;
        EXPECT_EQ(thumb.GetWidth(), uint32_t(side)) << side;
    }
}

// A camera's EXIF thumbnail (160 x 120) is too small for a large entry but serves a box of up to
// 128 pixels: on a screen of ratio 2 it is recorded as a normal entry, which the next scan reads
// instead of opening the photo again. A box larger than that gets no entry from it.
TEST_F(ThumbnailCache, StoredThumbnailsTooSmallForALargeEntryGiveANormalOne) {
    const QString picture = ToQString(m_dir / "camera.jpg");
    browsertest::WriteJpegWithExifThumbnail(m_dir / "camera.jpg", 1600, 1200, kBlue, 160, 120, kRed);
    for (const int side : {120, 150}) {
        browsertest::ClearThumbnailCache();
        thumbs::ThumbnailRequest request;
        request.side = side;
        thumbs::Size size;
        RasterImage thumb;
        ASSERT_TRUE(thumbs::MakeThumbnail(picture, size, thumb, request)) << side;
        EXPECT_FALSE(QFileInfo::exists(thumbs::CacheEntryPath(picture, true))) << side;
        const bool normal = QFileInfo::exists(thumbs::CacheEntryPath(picture, false));
        EXPECT_EQ(normal, side <= 128) << side;
        if (!normal) continue;
        EXPECT_EQ(QImage(thumbs::CacheEntryPath(picture, false)).size(), QSize(128, 96));
        thumbs::CachedThumbnail cached;
        EXPECT_TRUE(thumbs::ReadCachedThumbnail(picture, cached, uint32_t(side), thumbs::CacheEntrySize::Large));
    }
}
