// The picture browser over a folder of real photographs:
//   Scan_FullDecodeShrink  the plain way: every file decoded whole by the image core and
//                          area-shrunk to its thumbnail size, one after the other;
//   Scan_Cold              the thumbnail list listing the folder with an empty thumbnail cache
//                          (a fresh, empty cache folder for every iteration), its workers on
//                          every core (at most 4);
//   Scan_ColdOneWorker     the same with a single worker, as the scan was before it had more;
//   Scan_PilDraftAnchor    the anchor other tools are measured by: Python's PIL opening each
//                          photo in draft mode (the JPEG decoder's own reduction) and making a
//                          thumbnail of the cache's normal size, in one process; its own
//                          wall-clock time of the loop, the interpreter's start not counted
//                          (counter cpu_ms: the loop's CPU time);
//   Scan_Warm              the same list with the cache the cold scan filled;
//   Scan_ColdRatio2        the cold scan on a screen of two device pixels per logical one
//                          (QT_SCALE_FACTOR=2): thumbnails of 120 pixels, the cache's "large"
//                          entries written;
//   Scan_WarmRatio2        that list again with the cache its cold scan filled;
//   Scan_UiResponsiveness  a cold scan again, measuring how long the user-interface thread
//                          stays away from its event loop (counters, in milliseconds).
// Timings are the process's CPU time, so the loader threads' work counts as much as the
// user-interface thread's; the comparisons of the cold scans with each other and with the
// anchor read wall-clock time, which is what the pool of workers shortens.
//
// The photographs: the JPEG files of at least 4 megapixels in the folder named by
// SNIPWELL_BENCH_PHOTOS, else those of Debian's plasma-workspace-wallpapers package
// (tools/bench-photos.sh installs it). They are copied into a folder of their own, identical
// files once. With fewer than 20 of them the benchmarks report an error and are skipped.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

#include "RatioReport.h"
#include "ui/BenchPhotoFolder.h"
#include "browser/ThumbnailList.h"
#include "platform/ThumbnailCache.h"
#include "browser/ThumbnailGeometry.h"
#include "browser/ThumbnailWorkers.h"

namespace {

// The list as the browser pane shows it, about three columns of cells wide.
constexpr int kListWidth = 300;
constexpr int kListHeight = 600;
// How often the timed scans look for the loader's end: seldom enough that the looking costs
// next to nothing (the time waited is no CPU time).
constexpr int kEndPollMs = 5;

char g_programName[] = "snipwell_bench";
char* g_arguments[] = {g_programName, nullptr};
// QApplication keeps a reference to the count: it must outlive the application.
int g_argumentCount = 1;

// ---- the user-interface thread ------------------------------------------------------------------

double ThreadCpuMilliseconds() {
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// The application of the benchmark. It times each event the event loop hands out (the
// outermost delivery: events sent from inside a handler are part of their sender's time),
// which is how long the thread stays away from its loop.
class TimedApplication : public QApplication {
public:
    TimedApplication() : QApplication(g_argumentCount, g_arguments) {}

    bool notify(QObject* receiver, QEvent* event) override {
        if (!m_timing || m_depth > 0) {
            ++m_depth;
            const bool handled = QApplication::notify(receiver, event);
            --m_depth;
            return handled;
        }
        ++m_depth;
        QElapsedTimer wall;
        wall.start();
        const double cpuStart = ThreadCpuMilliseconds();
        const bool handled = QApplication::notify(receiver, event);
        m_longestEventMs = std::max(m_longestEventMs, double(wall.nsecsElapsed()) / 1e6);
        m_longestEventCpuMs = std::max(m_longestEventCpuMs, ThreadCpuMilliseconds() - cpuStart);
        --m_depth;
        return handled;
    }

    void StartTiming() {
        m_longestEventMs = 0;
        m_longestEventCpuMs = 0;
        m_timing = true;
    }
    void StopTiming() { m_timing = false; }
    double LongestEventMs() const { return m_longestEventMs; }
    double LongestEventCpuMs() const { return m_longestEventCpuMs; }

private:
    int m_depth = 0;
    bool m_timing = false;
    double m_longestEventMs = 0;
    double m_longestEventCpuMs = 0;
};

// A shown thumbnail list in a private thumbnail cache; the program's own settings are not
// involved. The first paint (fonts, backing store) happens before any timing.
struct ScanBench {
    // scale: the screen's device pixels per logical one.
    explicit ScanBench(int scale = 1) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        if (scale != 1) qputenv("QT_SCALE_FACTOR", QByteArray::number(scale));
        application = std::make_unique<TimedApplication>();
        list = std::make_unique<ThumbnailList>();
        list->resize(kListWidth, kListHeight);
        list->show();
        QApplication::processEvents();
    }
    ~ScanBench() {
        list.reset();
        thumbs::SetCacheHomeOverride(QString());
        application.reset();
        qunsetenv("QT_SCALE_FACTOR");
    }

    // Points the thumbnail cache at a new empty folder; the previous one is removed.
    void EmptyCache() {
        cache = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/snipwell-bench-cache-XXXXXX"));
        thumbs::SetCacheHomeOverride(cache->path());
    }

    // Lists the photo folder and runs the event loop until the loader has ended, then paints
    // the finished list once (the list itself would do so at the end of its frame interval).
    // The end is polled every pollMs; probe, when given, runs on each poll. Returns the number
    // of items listed.
    int Scan(int pollMs = kEndPollMs, const std::function<void()>& probe = {}) {
        QTimer poll;
        poll.setTimerType(Qt::PreciseTimer);
        poll.setInterval(pollMs);
        QEventLoop loop;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (probe) probe();
            if (!list->IsScanning()) loop.quit();
        });
        list->SetFolder(Photos().copy.path());
        poll.start();
        loop.exec();
        poll.stop();
        list->viewport()->repaint();
        return list->count();
    }

    std::unique_ptr<TimedApplication> application;
    std::unique_ptr<ThumbnailList> list;
    std::unique_ptr<QTemporaryDir> cache;
};

bool AllListed(benchmark::State& state, int listed) {
    if (listed == int(Photos().files.size())) return true;
    state.SkipWithError("the list did not show every photo");
    return false;
}

// ---- the benchmarks -------------------------------------------------------------------------------

void Scan_FullDecodeShrink(benchmark::State& state) {
    if (!PhotosReady(state)) return;
    for (auto _ : state) {
        for (const QString& path : Photos().files) {
            RasterImage whole;
            RasterImage thumb;
            if (!whole.Load(QFile::encodeName(path).constData(), RASTER_FORMAT_JPG)) {
                state.SkipWithError("full decode failed");
                return;
            }
            const thumbs::Size size = thumbs::FitIntoSquare(whole.GetWidth(), whole.GetHeight());
            if (!whole.Rescale(size.width, size.height, RASTER_RESCALE_AREA, &thumb)) {
                state.SkipWithError("shrink failed");
                return;
            }
            benchmark::DoNotOptimize(thumb.GetBits());
        }
    }
    state.counters["photos"] = double(Photos().files.size());
}

void ColdScan(benchmark::State& state, int scale) {
    if (!PhotosReady(state)) return;
    ScanBench bench(scale);
    for (auto _ : state) {
        state.PauseTiming();
        bench.EmptyCache();
        state.ResumeTiming();
        if (!AllListed(state, bench.Scan())) return;
    }
    state.counters["ratio"] = bench.list->viewport()->devicePixelRatioF();
}

void Scan_Cold(benchmark::State& state) { ColdScan(state, 1); }
void Scan_ColdRatio2(benchmark::State& state) { ColdScan(state, 2); }

void Scan_ColdOneWorker(benchmark::State& state) {
    if (!PhotosReady(state)) return;
    ScanBench bench;
    thumbs::SetScanWorkerCount(1);
    for (auto _ : state) {
        state.PauseTiming();
        bench.EmptyCache();
        state.ResumeTiming();
        if (!AllListed(state, bench.Scan())) break;
    }
    thumbs::SetScanWorkerCount(0);
}

// The anchor's loop: reads the photo paths from its standard input, prints the loop's wall
// and CPU seconds.
constexpr const char* kPilDraftLoop = R"(
import sys, time
from PIL import Image
paths = sys.stdin.read().split('\n')
paths = [p for p in paths if p]
side = int(sys.argv[1])
wall, cpu = time.perf_counter(), time.process_time()
for p in paths:
    with Image.open(p) as im:
        im.draft('RGB', (side, side))
        im.thumbnail((side, side))
        im.load()
print(time.perf_counter() - wall, time.process_time() - cpu)
)";
const char* const kSystemPython = "/usr/bin/python3";

void Scan_PilDraftAnchor(benchmark::State& state) {
    if (!PhotosReady(state)) return;
    if (!QFileInfo::exists(QString::fromLatin1(kSystemPython))) {
        state.SkipWithError("no /usr/bin/python3 (the python3-pil package)");
        return;
    }
    const QByteArray paths = Photos().files.join(QLatin1Char('\n')).toUtf8();
    double cpuMs = 0;
    for (auto _ : state) {
        QProcess python;
        python.start(QString::fromLatin1(kSystemPython),
                     {QStringLiteral("-c"), QString::fromLatin1(kPilDraftLoop), QString::number(thumbs::kCacheNormalSide)});
        python.write(paths);
        python.closeWriteChannel();
        const bool finished = python.waitForFinished(600000);
        const QList<QByteArray> seconds = python.readAllStandardOutput().simplified().split(' ');
        if (!finished || python.exitCode() != 0 || seconds.size() != 2) {
            state.SkipWithError("the PIL loop failed (is python3-pil installed?)");
            return;
        }
        state.SetIterationTime(seconds[0].toDouble());
        cpuMs = std::max(cpuMs, seconds[1].toDouble() * 1e3);
    }
    state.counters["cpu_ms"] = cpuMs;
}

void WarmScan(benchmark::State& state, int scale) {
    if (!PhotosReady(state)) return;
    ScanBench bench(scale);
    bench.EmptyCache();
    if (!AllListed(state, bench.Scan())) return;   // fills the cache
    for (auto _ : state) {
        if (!AllListed(state, bench.Scan())) return;
    }
}

void Scan_Warm(benchmark::State& state) { WarmScan(state, 1); }
void Scan_WarmRatio2(benchmark::State& state) { WarmScan(state, 2); }

// The longest time the user-interface thread spent on one event during a cold scan, as wall
// time and as the thread's own CPU time (wall time also counts the moments another process
// had the core), and the longest interval between two ticks of a 1 ms timer.
void Scan_UiResponsiveness(benchmark::State& state) {
    if (!PhotosReady(state)) return;
    ScanBench bench;
    double longestEvent = 0;
    double longestEventCpu = 0;
    double longestTickGap = 0;
    for (auto _ : state) {
        state.PauseTiming();
        bench.EmptyCache();
        state.ResumeTiming();
        QElapsedTimer sinceTick;
        sinceTick.start();
        bench.application->StartTiming();
        const int listed = bench.Scan(1, [&] {
            longestTickGap = std::max(longestTickGap, double(sinceTick.nsecsElapsed()) / 1e6);
            sinceTick.start();
        });
        bench.application->StopTiming();
        if (!AllListed(state, listed)) return;
        longestEvent = std::max(longestEvent, bench.application->LongestEventMs());
        longestEventCpu = std::max(longestEventCpu, bench.application->LongestEventCpuMs());
    }
    state.counters["event_ms"] = longestEvent;
    state.counters["event_cpu_ms"] = longestEventCpu;
    state.counters["tick_gap_ms"] = longestTickGap;
    std::fprintf(stderr, "browser scan: longest event %.1f ms (%.1f ms CPU), longest 1 ms tick gap %.1f ms; limit 16 ms\n",
                 longestEvent, longestEventCpu, longestTickGap);
}

}  // namespace

BENCHMARK(Scan_FullDecodeShrink)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(Scan_Cold)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(Scan_ColdOneWorker)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(Scan_PilDraftAnchor)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(Scan_Warm)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(Scan_ColdRatio2)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(Scan_WarmRatio2)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(Scan_UiResponsiveness)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(3);

const bool kColdScan = AddComparison("Scan_Cold", "Scan_FullDecodeShrink", 0.5, Memory::Reused);
const bool kWarmScan = AddComparison("Scan_Warm", "Scan_Cold", 0.05, Memory::Reused);
const bool kScanOnCores = AddComparison("Scan_Cold", "Scan_ColdOneWorker", 0.6, Memory::Reused, Clock::Wall);
// PIL allocates every picture anew; the scan reuses the block pool's.
const bool kScanAnchor = AddComparison("Scan_Cold", "Scan_PilDraftAnchor", 0.35, Memory::Allocator, Clock::Wall);
const bool kHiDpiColdScan = AddComparison("Scan_ColdRatio2", "Scan_Cold", 1.6, Memory::Reused);
const bool kHiDpiWarmScan = AddComparison("Scan_WarmRatio2", "Scan_ColdRatio2", 0.05, Memory::Reused);
const bool kScanCpu = AddReference("Scan_Cold", "Scan_ColdOneWorker", Memory::Reused);
