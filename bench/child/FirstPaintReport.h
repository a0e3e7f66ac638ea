// Shared by the start-up benchmark and its children: the watch for the first paint of a
// top-level window, and the children's report. A child waits for that paint, then prints two
// numbers and ends at once, as the teardown is not part of starting: the monotonic clock in
// nanoseconds, and the process's CPU time so far in nanoseconds (all its threads).
#pragma once

#include <QApplication>
#include <QEvent>
#include <QWidget>

#include <cstdio>
#include <ctime>

#include <unistd.h>

namespace startupchild {

// Notes the first paint of any top-level window.
class FirstPaintWatch : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow())
            painted = true;
        return false;
    }
};

inline long long Nanoseconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// Runs the event loop until the watch saw a paint (it may have been seen already), then
// reports and ends the process.
[[noreturn]] inline void ReportFirstPaintAndExit(const FirstPaintWatch& watch) {
    while (!watch.painted) QApplication::processEvents();
    std::printf("%lld %lld\n", Nanoseconds(CLOCK_MONOTONIC), Nanoseconds(CLOCK_PROCESS_CPUTIME_ID));
    std::fflush(stdout);
    _exit(0);
}

}  // namespace startupchild
