#include "BrowserTestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>

#include <libexif/exif-data.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "image/RasterFile.h"
#include "TestSupport.h"
#include "platform/ThumbnailCache.h"

namespace browsertest {

namespace {

// Every browser test runs against its own cache folder, never the user's.
class PrivateCacheEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        m_folder = std::make_unique<testsupport::TempDir>();
        thumbs::SetCacheHomeOverride(ToQString(m_folder->path()));
    }
    void TearDown() override {
        thumbs::SetCacheHomeOverride(QString());
        m_folder.reset();
    }

private:
    std::unique_ptr<testsupport::TempDir> m_folder;
};

const auto* const kPrivateCache = ::testing::AddGlobalTestEnvironment(new PrivateCacheEnvironment);

std::vector<uint8_t> EncodeJpeg(uint32_t width, uint32_t height, uint32_t color) {
    RasterImage picture = testsupport::MakeSolidImage(width, height, color);
    RasterMemFile memory;
    EXPECT_TRUE(memory.Open());
    EXPECT_TRUE(picture.Encode(&memory, RASTER_FORMAT_JPG)) << picture.LastErrorText();
    const auto size = size_t(memory.Size());
    return std::vector<uint8_t>(memory.GetBuffer(), memory.GetBuffer() + size);
}

}  // namespace

QString ToQString(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

void WriteSolidPicture(const std::filesystem::path& path, uint32_t width, uint32_t height, uint32_t color,
                       uint32_t type) {
    RasterImage picture = testsupport::MakeSolidImage(width, height, color);
    ASSERT_TRUE(picture.Save(path.c_str(), type)) << picture.LastErrorText();
}

void WriteHalfTransparentPng(const std::filesystem::path& path, uint32_t width, uint32_t height, uint32_t color) {
    RasterImage picture = testsupport::MakeSolidImage(width, height, color);
    ASSERT_TRUE(picture.CreateAlpha());
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width / 2; ++x) *picture.AlphaPointer(x, y) = 0;
    }
    ASSERT_TRUE(picture.Save(path.c_str(), RASTER_FORMAT_PNG)) << picture.LastErrorText();
}

void WriteJpegWithExifThumbnail(const std::filesystem::path& path, uint32_t width, uint32_t height, uint32_t color,
                                uint32_t thumbWidth, uint32_t thumbHeight, uint32_t thumbColor) {
    const std::vector<uint8_t> main = EncodeJpeg(width, height, color);
    std::vector<uint8_t> thumb = EncodeJpeg(thumbWidth, thumbHeight, thumbColor);
    ExifData* exif = exif_data_new();
    exif->data = static_cast<unsigned char*>(std::malloc(thumb.size()));
    std::memcpy(exif->data, thumb.data(), thumb.size());
    exif->size = unsigned(thumb.size());
    unsigned char* block = nullptr;
    unsigned int blockSize = 0;
    exif_data_save_data(exif, &block, &blockSize);
    exif_data_unref(exif);
    ASSERT_NE(block, nullptr);
    // SOI, then the APP1 segment (its length counts itself), then the rest of the picture.
    const uint32_t segmentLength = blockSize + 2;
    std::vector<uint8_t> file;
    file.reserve(main.size() + segmentLength + 2);
    file.push_back(main[0]);
    file.push_back(main[1]);
    for (const uint8_t byte : {uint8_t(0xFF), uint8_t(0xE1), uint8_t(segmentLength >> 8), uint8_t(segmentLength & 0xFF)}) {
        file.push_back(byte);
    }
    for (unsigned i = 0; i < blockSize; ++i) file.push_back(block[i]);
    for (size_t i = 2; i < main.size(); ++i) file.push_back(main[i]);
    std::free(block);
    testsupport::WriteFileBytes(path, file);
}

void RunEventLoop(int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

bool RunEventLoopUntil(const std::function<bool()>& condition, int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() >= milliseconds) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

void WaitForScan(const ThumbnailList& list) {
    QElapsedTimer clock;
    clock.start();
    while (list.IsScanning() || list.IsWaitingForLoader() || list.IsUpdatePending()) {
        ASSERT_LT(clock.elapsed(), 30000) << "the scan did not end";
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    QCoreApplication::processEvents();
}

std::vector<QString> ListedNames(const ThumbnailList& list) {
    std::vector<QString> names;
    for (int row = 0; row < list.count(); ++row) names.push_back(list.Thumb(row)->m_name);
    return names;
}

std::vector<QString> ListedPaths(const ThumbnailList& list) {
    std::vector<QString> paths;
    for (int row = 0; row < list.count(); ++row) paths.push_back(list.Thumb(row)->m_path);
    return paths;
}

uint32_t CentreColor(const RasterImage& image) {
    return testsupport::PictureColor(image, image.GetWidth() / 2, image.GetHeight() / 2);
}

void ClearThumbnailCache() {
    QDir(thumbs::ThumbnailCacheFolder()).removeRecursively();
}

}  // namespace browsertest
