// The thumbnail list on a HiDPI screen, over the browser benchmark's photographs (the JPEG
// files of at least 4 megapixels under SNIPWELL_BENCH_PHOTOS, else /usr/share/wallpapers):
//   HiDpiScan_ColdRatio1  a cold scan (empty thumbnail cache) at one device pixel per logical one;
//   HiDpiScan_ColdRatio2  the same at two (QT_SCALE_FACTOR=2): thumbnails of 120 pixels, the
//                         cache's "large" entries written;
//   HiDpiScan_WarmRatio2  the scan at two again with the cache the cold scan filled.
// The photographs are copied into a folder of their own. Timings are the process's CPU time.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

#include "image/formats/RasterJpegThumbnail.h"
#include "RatioReport.h"
#include "browser/TNList.h"
#include "platform/ThumbnailCache.h"

namespace {

constexpr int kLeastPhotos = 20;
constexpr uint64_t kLeastPixels = 4000000;
constexpr int kListWidth = 300;
constexpr int kListHeight = 600;
constexpr int kEndPollMs = 5;

char g_hidpiProgramName[] = "snipwell_bench";
char* g_hidpiArguments[] = {g_hidpiProgramName, nullptr};
int g_hidpiArgumentCount = 1;

// Copies of the qualifying photographs, made once.
class PhotoCopies {
public:
    static const PhotoCopies& Get() {
        static const PhotoCopies photos;
        return photos;
    }
    bool Ready() const { return m_nCount >= kLeastPhotos; }
    int Count() const { return m_nCount; }
    QString Folder() const { return m_folder.path(); }

private:
    PhotoCopies() {
        const QByteArray chosen = qgetenv("SNIPWELL_BENCH_PHOTOS");
        const QString root = chosen.isEmpty() ? QStringLiteral("/usr/share/wallpapers") : QFile::decodeName(chosen);
        QDirIterator walk(root, {QStringLiteral("*.jpg"), QStringLiteral("*.jpeg")}, QDir::Files,
                          QDirIterator::Subdirectories | QDirIterator::FollowSymlinks);
        QSet<QString> seen;
        while (walk.hasNext() && m_folder.isValid()) {
            const QString source = walk.next();
            // The wallpapers link one picture under several names: each picture once.
            const QString file = QFileInfo(source).canonicalFilePath();
            if (seen.contains(file)) continue;
            seen.insert(file);
            uint32_t width = 0;
            uint32_t height = 0;
            if (!ReadJpegFrameSize(QFile::encodeName(source).constData(), width, height)) continue;
            if (uint64_t(width) * height < kLeastPixels) continue;
            if (QFile::copy(source, m_folder.filePath(QStringLiteral("photo-%1.jpg").arg(m_nCount)))) ++m_nCount;
        }
    }

    QTemporaryDir m_folder{QDir::tempPath() + QStringLiteral("/snipwell-bench-hidpi-XXXXXX")};
    int m_nCount = 0;
};

// A shown list in an application of the given scale factor, with a private cache.
class ScaledList {
public:
    explicit ScaledList(int scale) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("QT_SCALE_FACTOR", QByteArray::number(scale));
        m_application = std::make_unique<QApplication>(g_hidpiArgumentCount, g_hidpiArguments);
        m_list = std::make_unique<TNList>();
        m_list->resize(kListWidth, kListHeight);
        m_list->show();
        QApplication::processEvents();
    }
    ~ScaledList() {
        m_list.reset();
        thumbs::SetCacheHomeOverride(QString());
        m_application.reset();
        qunsetenv("QT_SCALE_FACTOR");
    }

    void EmptyCache() {
        m_cache = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/snipwell-bench-cache-XXXXXX"));
        thumbs::SetCacheHomeOverride(m_cache->path());
    }
    double Ratio() const { return m_list->viewport()->devicePixelRatioF(); }

    // Lists the photographs and waits for the loader's end; the number of items listed.
    int Scan() {
        QTimer poll;
        poll.setInterval(kEndPollMs);
        QEventLoop loop;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (!m_list->IsScanning()) loop.quit();
        });
        m_list->SetFolder(PhotoCopies::Get().Folder());
        poll.start();
        loop.exec();
        m_list->viewport()->repaint();
        return m_list->count();
    }

private:
    std::unique_ptr<QApplication> m_application;
    std::unique_ptr<TNList> m_list;
    std::unique_ptr<QTemporaryDir> m_cache;
};

bool Listed(benchmark::State& state, int listed) {
    if (listed == PhotoCopies::Get().Count()) return true;
    state.SkipWithError("the list did not show every photo");
    return false;
}

void ColdScan(benchmark::State& state, int scale) {
    if (!PhotoCopies::Get().Ready()) {
        state.SkipWithError("too few photographs (run tools/bench-photos.sh or set SNIPWELL_BENCH_PHOTOS)");
        return;
    }
    ScaledList list(scale);
    for (auto _ : state) {
        state.PauseTiming();
        list.EmptyCache();
        state.ResumeTiming();
        if (!Listed(state, list.Scan())) return;
    }
    state.counters["ratio"] = list.Ratio();
    state.counters["photos"] = PhotoCopies::Get().Count();
}

void WarmScan(benchmark::State& state, int scale) {
    if (!PhotoCopies::Get().Ready()) {
        state.SkipWithError("too few photographs (run tools/bench-photos.sh or set SNIPWELL_BENCH_PHOTOS)");
        return;
    }
    ScaledList list(scale);
    list.EmptyCache();
    if (!Listed(state, list.Scan())) return;   // fills the cache
    for (auto _ : state) {
        if (!Listed(state, list.Scan())) return;
    }
    state.counters["ratio"] = list.Ratio();
    state.counters["photos"] = PhotoCopies::Get().Count();
}

void HiDpiScan_ColdRatio1(benchmark::State& state) { ColdScan(state, 1); }
void HiDpiScan_ColdRatio2(benchmark::State& state) { ColdScan(state, 2); }
void HiDpiScan_WarmRatio2(benchmark::State& state) { WarmScan(state, 2); }

}  // namespace

BENCHMARK(HiDpiScan_ColdRatio1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(HiDpiScan_ColdRatio2)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(HiDpiScan_WarmRatio2)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

const bool kHiDpiColdScan = AddComparison("HiDpiScan_ColdRatio2", "HiDpiScan_ColdRatio1", 1.6, Memory::Reused);
const bool kHiDpiWarmScan = AddComparison("HiDpiScan_WarmRatio2", "HiDpiScan_ColdRatio2", 0.05, Memory::Reused);
