#include "order/SheetWorkers.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace order {

void ForEachOnWorkers(int count, int workers, const std::function<void(int index)>& job,
                      const std::function<void(int index)>& skipped, const std::atomic<bool>* stop) {
    std::atomic<int> next{0};
    const auto stopped = [stop] { return stop != nullptr && stop->load(); };
    const auto work = [&] {
        for (int index = next++; index < count; index = next++) {
            if (stopped()) {
                if (skipped) skipped(index);
            } else {
                job(index);
            }
        }
    };
    const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
    const int threadCount = std::clamp(workers > 0 ? workers : cores, 1, std::max(count, 1));
    std::vector<std::jthread> threads;
    for (int i = 1; i < threadCount; ++i) threads.emplace_back(work);
    work();
}

}  // namespace order
