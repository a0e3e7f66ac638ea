// Stepping through a print order's photos with Page Down, in a 1920 x 1080 view:
// - to a 24-megapixel JPEG decoded ahead: from the step to the painted client (wall clock);
//   the target is 16 ms, a frame;
// - to a 24-megapixel JPEG not decoded ahead: from the step to the first paint, against a bare
//   libjpeg-turbo decode reduced in the DCT domain to the scale the preview uses;
// - the resident peak while stepping through 200 photos of 12 megapixels, over one photo's
//   bytes (in a child): what the photos decoded ahead cost, bounded whatever the number.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <malloc.h>

#include "doc/FileCommands.h"
#include "platform/MessageService.h"
#include "platform/SettingsStore.h"
#include "view/PictureView.h"

#include "image/formats/RasterJpegThumbnail.h"

#include "BareJpeg.h"
#include "BenchPictures.h"
#include "ChildModes.h"
#include "ProcessMemory.h"
#include "RatioReport.h"

namespace {

char g_stepName[] = "snipwell_bench";
char* g_stepArguments[] = {g_stepName, nullptr};

// The listed photos the view steps through, as the browser would give them.
class ListedPhotos : public PictureBrowserLink {
public:
    QStringList paths;
    QString shown;
    QString CurrentPath() const override { return shown; }
    void RemoveFile(const QString&) override {}
    void FileWritten(const QString&) override {}
    void PictureShown(const QString& path) override { shown = path; }
    QString NeighbourPath(const QString& path, int step) const override {
        const qsizetype at = paths.indexOf(path);
        return at < 0 || at + step < 0 || at + step >= paths.size() ? QString() : paths[at + step];
    }
    QStringList SelectedPaths() const override { return {}; }
};

// A view over photos written as JPEG files of width x height, count of them, in a folder of
// their own, with the program's settings beside them.
class SteppingView {
public:
    SteppingView(uint32_t width, uint32_t height, int count) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        if (QApplication::instance() == nullptr) m_application = std::make_unique<QApplication>(m_argc, g_stepArguments);
        SettingsStore::UseFolder(m_folder.path());
        MessageService::SetAnswerer([](const QString&, bool) { return MessageAnswer::No; });
        RasterImage photo(Pictures().photo);
        RasterImage large;
        if (!photo.Rescale(width, height, RASTER_RESCALE_AREA, &large)) return;
        large.SetJpegQuality(90);
        const std::string first = m_folder.filePath(QStringLiteral("photo-0000.jpg")).toStdString();
        if (!large.Save(first.c_str(), RASTER_FORMAT_JPG)) return;
        m_photoBytes = double(large.GetBlockSize());
        for (int n = 0; n < count; ++n) {
            const QString path = m_folder.filePath(QStringLiteral("photo-%1.jpg").arg(n, 4, 10, QLatin1Char('0')));
            std::error_code ignored;
            if (n > 0) std::filesystem::create_hard_link(first, path.toStdString(), ignored);
            m_list.paths.append(path);
        }
        m_files.m_picker = &m_list;
        m_files.m_confirmOverwrite = false;
        m_view = std::make_unique<PictureView>(&m_files);
        m_view->resize(int(kScreenWidth), int(kScreenHeight));
        m_view->LoadPicture(m_list.paths.front());
        m_list.shown = m_view->Path();
    }
    ~SteppingView() {
        m_view.reset();
        MessageService::SetAnswerer({});
        SettingsStore::UseFolder(QString());
    }
    bool Ready() const { return m_view && !m_view->Path().isEmpty(); }
    PictureView& View() { return *m_view; }
    const QStringList& Paths() const { return m_list.paths; }
    double PhotoBytes() const { return m_photoBytes; }
    // Turns the event loop until the photo at path is decoded ahead.
    bool WaitAhead(const QString& path) {
        QElapsedTimer waited;
        waited.start();
        while (!m_view->Ahead().ReadyPaths().contains(path) && waited.elapsed() < kLongestWaitMs) {
            QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
        }
        return m_view->Ahead().ReadyPaths().contains(path);
    }

private:
    static constexpr qint64 kLongestWaitMs = 30000;
    int m_argc = 1;
    std::unique_ptr<QApplication> m_application;
    QTemporaryDir m_folder;
    ListedPhotos m_list;
    FileCommands m_files;
    std::unique_ptr<PictureView> m_view;
    double m_photoBytes = 0;
};

constexpr uint32_t kWidth24 = 6000;
constexpr uint32_t kHeight24 = 4000;

void Step_ToPhotoDecodedAhead(benchmark::State& state) {
    SteppingView stepping(kWidth24, kHeight24, 3);
    if (!stepping.Ready()) return state.SkipWithError("no photos");
    int step = 1;
    for (auto _ : state) {
        state.PauseTiming();
        const QString target = stepping.View().Path() == stepping.Paths()[0] ? stepping.Paths()[1] : stepping.Paths()[0];
        step = target == stepping.Paths()[1] ? 1 : -1;
        if (!stepping.WaitAhead(target)) return state.SkipWithError("not decoded ahead");
        state.ResumeTiming();
        stepping.View().StepPhoto(step);
        benchmark::DoNotOptimize(stepping.View().RenderClient());
    }
}

void Step_ToPhotoNotDecodedAhead(benchmark::State& state) {
    SteppingView stepping(kWidth24, kHeight24, 3);
    if (!stepping.Ready()) return state.SkipWithError("no photos");
    for (auto _ : state) {
        state.PauseTiming();
        stepping.View().LoadPicture(QString());  // nothing decoded ahead, no decode running
        state.ResumeTiming();
        stepping.View().LoadPicture(stepping.Paths()[1]);
        benchmark::DoNotOptimize(stepping.View().RenderClient());
    }
}

void Step_ScaledDecode_Libjpeg(benchmark::State& state) {
    SteppingView stepping(kWidth24, kHeight24, 1);
    std::vector<uint8_t> bytes;
    if (!stepping.Ready() || !ReadWholeFile(stepping.Paths()[0].toStdString().c_str(), bytes)) {
        return state.SkipWithError("no photo");
    }
    // The smallest n / 8 whose picture covers the client, as the preview takes.
    const unsigned scale = unsigned(std::ceil(8.0 * std::max(double(kScreenWidth) / kWidth24, double(kScreenHeight) / kHeight24)));
    BareBgrPicture picture;
    for (auto _ : state) {
        if (!BareJpegDecodeScaled(bytes.data(), bytes.size(), scale, picture)) return state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(picture.rows);
    }
}

// The child: steps through 200 photos of 12 megapixels, each shown and painted; prints the
// resident peak less what was resident before, over one photo's bytes.
int PrintSteppingPeak() {
    constexpr int kPhotos = 200;
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    Pictures();
    SteppingView stepping(4240, 2832, kPhotos);
    if (!stepping.Ready()) return 1;
    malloc_trim(0);
    const long before = StatusKilobytes("VmRSS:");
    std::ofstream("/proc/self/clear_refs") << "5";
    for (int n = 1; n < kPhotos; ++n) {
        stepping.View().StepPhoto(1);
        stepping.View().RenderClient();
        QApplication::processEvents();
    }
    const long peak = StatusKilobytes("VmHWM:");
    if (before < 0 || peak < 0 || stepping.View().Path() != stepping.Paths().back()) return 1;
    std::printf("%.17g\n", double(peak - before) * 1024.0 / stepping.PhotoBytes());
    return 0;
}

constexpr char kSteppingPeakFlag[] = "--child-stepping-peak";
const bool kSteppingPeakChild = RegisterChildMode(kSteppingPeakFlag, PrintSteppingPeak);

void Step200Photos_PeakMemory(benchmark::State& state) {
    double ratio = -1;
    for (auto _ : state) {
        const std::string output = RunInChildMode(kSteppingPeakFlag);
        ratio = output.empty() ? -1 : std::strtod(output.c_str(), nullptr);
    }
    state.counters["peak_x_photo"] = ratio;
    if (ratio < 0) state.SkipWithError("could not measure the resident peak");
}

const bool kNotAhead =
    AddComparison("Step_ToPhotoNotDecodedAhead", "Step_ScaledDecode_Libjpeg", 1.5, Memory::Reused, Clock::Wall);

}  // namespace

BENCHMARK(Step_ToPhotoDecodedAhead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Step_ScaledDecode_Libjpeg)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Step_ToPhotoNotDecodedAhead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Step200Photos_PeakMemory)->Unit(benchmark::kMillisecond)->Iterations(1);
