// Makes the thumbnails of a folder's pictures on a few threads at once and hands the finished
// records out one at a time, in the order of the listing, so that the first cells of the list
// (the visible ones) fill first and in place. Each worker takes the next file not yet taken;
// a record waits until all before it were handed out.
#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "browser/ThumbItem.h"
#include "browser/ThumbnailMaker.h"

namespace thumbs {

// The record of one picture file of folder with its thumbnail, or, when none can be made, with
// the reason (ThumbItem::m_problem); null when the picture is too small to be listed, the file
// is not named as a picture or the request's stop flag ended the work.
std::unique_ptr<ThumbItem> MakeThumbRecord(const QString& folder, const QString& name,
                                           const ThumbnailRequest& request = {});

// How many workers a scan uses: the processor's cores, at most 4 (at least 1), unless a
// count was set with SetScanWorkerCount.
unsigned ScanWorkerCount();
// Fixes the number of workers of the scans started from now on (at most 4; 0 goes back to
// the processor's cores). For measuring a scan on fewer cores than the machine has.
void SetScanWorkerCount(unsigned workers);

class ThumbnailWorkers {
public:
    // Starts `workers` threads on the files `names` of folder, each thumbnail made as request
    // says. Once stop is set, no worker starts another file and a decode under way stops.
    ThumbnailWorkers(QString folder, QStringList names, unsigned workers, const std::atomic<bool>& stop,
                     ThumbnailRequest request = {});
    // Stops taking files and waits for the workers, each finishing at most the file it is on.
    ~ThumbnailWorkers();
    ThumbnailWorkers(const ThumbnailWorkers&) = delete;
    ThumbnailWorkers& operator=(const ThumbnailWorkers&) = delete;

    // Waits for the next listed record in the listing's order, skipping files that give none,
    // and adds the records after it that are ready already (up to `most` in all), so that a
    // scan from the cache hands its records over in a few batches rather than one by one.
    // Empty once every file was handed out or stop is set.
    std::vector<std::unique_ptr<ThumbItem>> NextBatch(size_t most);

private:
    enum class Slot { Waiting, Done };

    void Work();

    const QString m_folder;
    const QStringList m_names;
    const std::atomic<bool>& m_stop;
    ThumbnailRequest m_request;
    std::mutex m_mutex;
    std::condition_variable m_finished;         // a worker finished a file or ended
    std::vector<Slot> m_slots;                  // per file, guarded by m_mutex
    std::vector<std::unique_ptr<ThumbItem>> m_records;   // per file, guarded by m_mutex
    size_t m_nextTaken = 0;                    // the next file a worker takes, guarded
    size_t m_nextHanded = 0;                   // the next file Next hands out (its thread only)
    unsigned m_running = 0;                    // workers not ended yet, guarded
    bool m_quit = false;                       // guarded
    std::vector<std::thread> m_threads;
};

}  // namespace thumbs
