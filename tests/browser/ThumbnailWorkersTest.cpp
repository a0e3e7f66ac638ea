// The scan's worker threads: records come out one at a time in the listing's order whatever
// the number of workers and however long each file takes, skipped files leave no gap, and a
// stop ends the hand-out at once (this file is also run under ThreadSanitizer).
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "BrowserTestSupport.h"
#include "browser/FolderListing.h"
#include "browser/ThumbnailWorkers.h"
#include "TestSupport.h"

using browsertest::ToQString;

namespace {

// Large and small pictures in turn, so that later files finish before earlier ones; every
// fifth is too narrow to be listed.
QStringList MixedFolder(const testsupport::TempDir& dir, int count) {
    for (int i = 0; i < count; ++i) {
        const uint32_t side = i % 2 == 0 ? 1200 : 100;
        const uint32_t width = i % 5 == 4 ? 50 : side;
        browsertest::WriteSolidPicture(dir / ("m" + std::to_string(i) + ".png"), width, side, 0x2080F0,
                                       RASTER_FORMAT_PNG);
    }
    return thumbs::ListPictureFiles(ToQString(dir.path()));
}

}  // namespace

TEST(ThumbnailWorkers, HandOutInListingOrderWithoutTheSkippedFiles) {
    testsupport::TempDir dir;
    const QStringList names = MixedFolder(dir, 15);
    QStringList listed;
    for (const QString& name : names) {
        if (!name.startsWith("m4") && !name.startsWith("m9") && !name.startsWith("m14")) listed.append(name);
    }
    for (unsigned workers : {1u, 2u, 4u}) {
        std::atomic<bool> stop{false};
        thumbs::ThumbnailWorkers pool(ToQString(dir.path()), names, workers, stop);
        QStringList handed;
        while (auto record = pool.Next()) {
            EXPECT_TRUE(record->m_imgThumb.IsValid());
            handed.append(record->m_strName);
        }
        EXPECT_EQ(handed, listed) << workers << " workers";
    }
}

TEST(ThumbnailWorkers, AStopEndsTheHandOutAndTheWorkers) {
    testsupport::TempDir dir;
    const QStringList names = MixedFolder(dir, 12);
    for (unsigned workers : {1u, 4u}) {
        std::atomic<bool> stop{false};
        thumbs::ThumbnailWorkers pool(ToQString(dir.path()), names, workers, stop);
        ASSERT_NE(pool.Next(), nullptr);
        stop.store(true);
        EXPECT_EQ(pool.Next(), nullptr) << workers << " workers";
    }   // the destructor joins workers that may be in the middle of a file
}
