#include "browser/ThumbnailWorkers.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "browser/FolderListing.h"
#include "browser/ThumbnailGeometry.h"
#include "browser/ThumbnailMaker.h"
#include "doc/KeptBoxes.h"

namespace thumbs {

namespace {

constexpr unsigned kMostWorkers = 4;
std::atomic<unsigned> g_fixedWorkerCount{0};

int32_t ClampedSide(uint32_t side) {
    return int32_t(std::min<uint32_t>(side, uint32_t(std::numeric_limits<int32_t>::max())));
}

}  // namespace

std::unique_ptr<ThumbItem> MakeThumbRecord(const QString& folder, const QString& name,
                                           const ThumbnailRequest& request) {
    auto record = std::make_unique<ThumbItem>();
    record->m_name = name;
    record->m_path = JoinFolderAndName(folder, name);
    Size size;
    if (!MakeThumbnail(record->m_path, size, record->m_thumb, request, &record->m_problem)) {
        // A picture that fails keeps its cell; one cut short by a stop is simply not handed
        // out, nor is a file that is no picture.
        if (request.stop && request.stop->load()) return nullptr;
        return record->m_problem.isEmpty() ? nullptr : std::move(record);
    }
    record->m_width = ClampedSide(size.width);
    record->m_height = ClampedSide(size.height);
    if (std::min(size.width, size.height) < uint32_t(kMinPictureSide)) return nullptr;
    record->m_hasBox = KeptBoxes::Instance().Has(record->m_path);
    return record;
}

unsigned ScanWorkerCount() {
    const unsigned fixed = g_fixedWorkerCount.load();
    return std::clamp(fixed != 0 ? fixed : std::thread::hardware_concurrency(), 1u, kMostWorkers);
}

void SetScanWorkerCount(unsigned workers) { g_fixedWorkerCount.store(workers); }

ThumbnailWorkers::ThumbnailWorkers(QString folder, QStringList names, unsigned workers, const std::atomic<bool>& stop,
                                   ThumbnailRequest request)
    : m_folder(std::move(folder)),
      m_names(std::move(names)),
      m_stop(stop),
      m_request(request),
      m_slots(size_t(m_names.size()), Slot::Waiting),
      m_records(size_t(m_names.size())) {
    const unsigned count = std::max(1u, workers);
    m_request.stop = &m_stop;
    m_running = count;
    m_threads.reserve(count);
    for (unsigned i = 0; i < count; ++i) m_threads.emplace_back(&ThumbnailWorkers::Work, this);
}

ThumbnailWorkers::~ThumbnailWorkers() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_quit = true;
    }
    for (std::thread& worker : m_threads) worker.join();
}

void ThumbnailWorkers::Work() {
    for (;;) {
        size_t file = 0;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_quit || m_stop.load() || m_nextTaken >= m_slots.size()) break;
            file = m_nextTaken++;
        }
        std::unique_ptr<ThumbItem> record = MakeThumbRecord(m_folder, m_names[qsizetype(file)], m_request);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_records[file] = std::move(record);
            m_slots[file] = Slot::Done;
        }
        m_finished.notify_all();
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        --m_running;
    }
    m_finished.notify_all();
}

std::vector<std::unique_ptr<ThumbItem>> ThumbnailWorkers::NextBatch(size_t most) {
    std::vector<std::unique_ptr<ThumbItem>> batch;
    std::unique_lock<std::mutex> lock(m_mutex);
    while (m_nextHanded < m_slots.size() && batch.size() < most) {
        // A file not done yet is being made, unless every worker has ended (on a stop); once
        // the batch holds a record, it is not waited for.
        const auto ready = [this] { return m_slots[m_nextHanded] == Slot::Done || m_running == 0 || m_stop.load(); };
        if (!batch.empty() && !ready()) break;
        m_finished.wait(lock, ready);
        if (m_stop.load()) return {};
        if (m_slots[m_nextHanded] != Slot::Done) break;
        std::unique_ptr<ThumbItem> record = std::move(m_records[m_nextHanded++]);
        if (record) batch.push_back(std::move(record));
    }
    return batch;
}

}  // namespace thumbs
