// Stopping the loader: rapid folder changes and destruction in the middle of a scan must neither
// race, deadlock nor leak (this file is also run under ThreadSanitizer).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <memory>

#include "BrowserTestSupport.h"
#include "browser/ThumbnailList.h"
#include "TestSupport.h"

using browsertest::ToQString;
using browsertest::WaitForScan;

namespace {

// A picture that takes its decoder a few seconds.
constexpr uint32_t kLargeWidth = 8000;
constexpr uint32_t kLargeHeight = 6000;

void FillFolder(const testsupport::TempDir& dir, const std::string& prefix, int count, uint32_t side) {
    for (int i = 0; i < count; ++i) {
        browsertest::WriteSolidPicture(dir / (prefix + std::to_string(i) + ".png"), side, side, 0x00FF00,
                                       RASTER_FORMAT_PNG);
    }
}

}  // namespace

TEST(LoaderStop, ThousandRapidFolderChangesEndWithTheLastFolder) {
    testsupport::TempDir folders[3];
    for (int f = 0; f < 3; ++f) FillFolder(folders[f], "f" + std::to_string(f) + "_", 6 + f, 200);
    ThumbnailList list;
    for (int call = 0; call < 1000; ++call) {
        list.SetFolder(ToQString(folders[call % 3].path()));
        if (call % 7 == 0) QCoreApplication::processEvents();
    }
    WaitForScan(list);
    // Call 999 chose folder 0.
    EXPECT_EQ(list.CurrentFolder(), ToQString(folders[0].path()));
    ASSERT_EQ(list.count(), 6);
    for (int row = 0; row < list.count(); ++row) EXPECT_TRUE(list.Thumb(row)->m_name.startsWith("f0_"));
}

TEST(LoaderStop, ListDestroyedInTheMiddleOfAScan) {
    testsupport::TempDir dir;
    FillFolder(dir, "p", 30, 900);
    for (int delay : {0, 5, 40, 120}) {
        auto list = std::make_unique<ThumbnailList>();
        list->SetFolder(ToQString(dir.path()));
        browsertest::RunEventLoop(delay);
        list.reset();   // the loader may be waiting for this thread right now
        QCoreApplication::processEvents();   // handoff requests still queued find no list
    }
    SUCCEED();
}

TEST(LoaderStop, ListDestroyedWhileWaitingForTheLoaderToStop) {
    testsupport::TempDir first;
    testsupport::TempDir second;
    FillFolder(first, "a", 20, 900);
    FillFolder(second, "b", 2, 100);
    auto list = std::make_unique<ThumbnailList>();
    list->SetFolder(ToQString(first.path()));
    list->SetFolder(ToQString(second.path()));
    EXPECT_TRUE(list->IsWaitingForLoader());
    list.reset();
    browsertest::RunEventLoop(120);   // a wait tick must not reach the destroyed list
    SUCCEED();
}

// A stop reaches the decoder inside a large picture: the loader ends within a small share of
// the time the picture takes to decode (the benchmark reports the latency itself).
TEST(LoaderStop, StopInsideALargePictureDoesNotWaitForItsDecode) {
    testsupport::TempDir dir;
    browsertest::WriteSolidPicture(dir / "large.png", kLargeWidth, kLargeHeight, 0x3080C0, RASTER_FORMAT_PNG);
    browsertest::ClearThumbnailCache();
    QElapsedTimer clock;
    clock.start();
    {
        ThumbnailList whole;
        whole.SetFolder(ToQString(dir.path()));
        WaitForScan(whole);
        ASSERT_EQ(whole.count(), 1);
    }
    const qint64 fullScan = clock.elapsed();
    browsertest::ClearThumbnailCache();   // the second scan decodes again

    auto list = std::make_unique<ThumbnailList>();
    list->SetFolder(ToQString(dir.path()));
    browsertest::RunEventLoop(int(fullScan / 3));   // well inside the decode
    ASSERT_TRUE(list->IsScanning());
    clock.restart();
    list.reset();
    const qint64 stop = clock.elapsed();
    RecordProperty("full_scan_ms", int(fullScan));
    RecordProperty("stop_ms", int(stop));
    EXPECT_LT(stop, fullScan / 4) << "full scan " << fullScan << " ms";
}
