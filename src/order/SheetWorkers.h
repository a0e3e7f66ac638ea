// The photos of sheets prepared on worker threads: one photo in flight per worker, so memory
// stays bounded, each result in its own slot so no lock is needed.
#pragma once

#include <atomic>
#include <functional>

namespace order {

// Calls job(index) for every index below count on workers threads (0: one per core; never
// more than count), the calling thread among them; returns once all have ended. Once stop
// (may be null) is set no index starts; skipped(index) is then called for each left.
void ForEachOnWorkers(int count, int workers, const std::function<void(int index)>& job,
                      const std::function<void(int index)>& skipped, const std::atomic<bool>* stop);

}  // namespace order
