// The main window dragged narrower and wider: 30 steps from 1600 to 640 pixels wide and 30
// back, 1000 high, with the 5120 x 2880 photograph open in the picture view. One iteration
// is one step: the new size, the relayout it sets off (the ribbon's panels collapsing or coming
// back, the splitter, the view copy rescaled and the crop box placed again) and a repaint of
// the whole frame, offscreen, after one untimed sweep. The counter "slowest_step_ms" is the
// longest step of the run (wall clock, so a busy machine shows in it);
// a step should stay within one frame of a 60 Hz screen (16 ms). "slowest_step_no_fault_ms" is
// the longest step that touched no page of fresh memory, and "most_fresh_pages" the most such
// pages one step touched: the window's backing store is a new picture at every size, and where
// it lands in memory the process has not used yet, the first touch of each page costs the
// system's page fault (several microseconds on a virtual machine). Run with QT_SCALE_FACTOR=2
// for a HiDPI screen.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "BenchPictures.h"
#include "app/MainWindow.h"
#include "app/Application.h"
#include "platform/MessageService.h"
#include "platform/SettingsStore.h"
#include "view/PictureView.h"

namespace {

char g_programName[] = "snipwell_bench";
char* g_arguments[] = {g_programName, nullptr};

constexpr int kWidest = 1600;
constexpr int kNarrowest = 640;
constexpr int kHeight = 1000;
constexpr int kStepsEachWay = 30;

// Pages of memory the process has touched for the first time (or again, after giving them back).
long MinorFaults() {
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

std::vector<int> SweepWidths() {
    std::vector<int> widths;
    for (int i = 0; i <= kStepsEachWay; ++i) widths.push_back(kWidest - (kWidest - kNarrowest) * i / kStepsEachWay);
    for (int i = kStepsEachWay - 1; i > 0; --i) widths.push_back(widths[size_t(i)]);
    return widths;
}

void Frame_ResizeStep(benchmark::State& state) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir settings;
    SettingsStore::UseFolder(settings.path());
    MessageService::SetAnswerer([](const QString&, bool) { return MessageAnswer::No; });
    int argc = 1;
    std::unique_ptr<QApplication> application;
    if (QApplication::instance() == nullptr) application = std::make_unique<QApplication>(argc, g_arguments);
    {
        Application app;
        if (!app.Start() || app.Window() == nullptr) {
            state.SkipWithError("the program did not start");
            return;
        }
        MainWindow* frame = app.Window();
        frame->resize(kWidest, kHeight);
        QApplication::processEvents();
        frame->View()->LoadPicture(QString::fromStdString(PhotoJpegFile()));
        if (!frame->View()->PicturesValid()) {
            state.SkipWithError("the photograph did not open");
            return;
        }
        const std::vector<int> widths = SweepWidths();
        // One sweep first: the first layout at each width builds what later ones reuse (the
        // collapsed panels' buttons, glyphs); the timed steps are those of a drag after that.
        for (int width : widths) {
            frame->resize(width, kHeight);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            frame->repaint();
        }
        size_t next = 0;
        qint64 slowest = 0;
        qint64 slowestWithoutFault = 0;
        long mostFreshPages = 0;
        QElapsedTimer step;
        for (auto _ : state) {
            const long faultsBefore = MinorFaults();
            step.start();
            frame->resize(widths[next], kHeight);
            next = (next + 1) % widths.size();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            frame->repaint();
            const qint64 elapsed = step.nsecsElapsed();
            const long freshPages = MinorFaults() - faultsBefore;
            slowest = std::max(slowest, elapsed);
            if (freshPages == 0) slowestWithoutFault = std::max(slowestWithoutFault, elapsed);
            mostFreshPages = std::max(mostFreshPages, freshPages);
        }
        state.counters["slowest_step_ms"] = double(slowest) / 1e6;
        state.counters["slowest_step_no_fault_ms"] = double(slowestWithoutFault) / 1e6;
        state.counters["most_fresh_pages"] = double(mostFreshPages);
        state.counters["ratio"] = frame->devicePixelRatioF();
    }
    MessageService::SetAnswerer({});
    SettingsStore::UseFolder(QString());
}

}  // namespace

BENCHMARK(Frame_ResizeStep)->Unit(benchmark::kMillisecond)->Iterations(120);
