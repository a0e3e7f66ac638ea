// The scan's worker threads: records come out in batches in the listing's order whatever
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
        for (size_t most : {size_t(1), size_t(3), size_t(64)}) {
            std::atomic<bool> stop{false};
            thumbs::ThumbnailWorkers pool(ToQString(dir.path()), names, workers, stop);
            QStringList handed;
            for (auto batch = pool.NextBatch(most); !batch.empty(); batch = pool.NextBatch(most)) {
                EXPECT_LE(batch.size(), most);
                for (const auto& record : batch) {
                    EXPECT_TRUE(record->m_thumb.IsValid());
                    handed.append(record->m_name);
                }
            }
            EXPECT_EQ(handed, listed) << workers << " workers, batches of at most " << most;
        }
    }
}

TEST(ThumbnailWorkers, AStopEndsTheHandOutAndTheWorkers) {
    testsupport::TempDir dir;
    const QStringList names = MixedFolder(dir, 12);
    for (unsigned workers : {1u, 4u}) {
        std::atomic<bool> stop{false};
        thumbs::ThumbnailWorkers pool(ToQString(dir.path()), names, workers, stop);
        ASSERT_FALSE(pool.NextBatch(1).empty());
        stop.store(true);
        EXPECT_TRUE(pool.NextBatch(64).empty()) << workers << " workers";
    }   // the destructor joins workers that may be in the middle of a file
}
