// Start-up to the first painted main window, offscreen, against a bare Qt window holding one
// label. Each iteration builds its own QApplication, so both sides pay the toolkit's start
// (platform plugin, fonts) and the ratio shows what the program adds on top: the atlas, the
// drawing check, the settings store, the frame with its ribbon, panes and style sheet.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLabel>
#include <QTemporaryDir>

#include <memory>

#include "CSnipwellApp.h"
#include "RatioReport.h"
#include "SettingsStore.h"

namespace {

char g_programName[] = "snipwell_bench";
char* g_arguments[] = {g_programName, nullptr};

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

template <class ShowWindow>
void TimeToFirstPaint(benchmark::State& state, ShowWindow show) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The program's settings go to a folder of the benchmark's own, never the user's store.
    QTemporaryDir settings;
    SettingsStore::UseFolder(settings.path());
    for (auto _ : state) {
        {
            int argc = 1;
            QApplication application(argc, g_arguments);
            FirstPaintWatch watch;
            application.installEventFilter(&watch);
            std::shared_ptr<void> window = show();
            while (!watch.painted) QApplication::processEvents();
            // Closing the window and the toolkit is not part of starting.
            state.PauseTiming();
            window.reset();
            application.removeEventFilter(&watch);
        }
        state.ResumeTiming();
    }
    SettingsStore::UseFolder(QString());
}

void Startup_BareLabel(benchmark::State& state) {
    TimeToFirstPaint(state, [] {
        auto label = std::make_shared<QLabel>(QStringLiteral("Norvane Snipwell"));
        label->resize(1280, 800);
        label->show();
        return std::shared_ptr<void>(label);
    });
}

void Startup_Snipwell(benchmark::State& state) {
    TimeToFirstPaint(state, [&state] {
        auto app = std::make_shared<CSnipwellApp>();
        if (!app->InitInstance()) state.SkipWithError("start-up failed");
        return std::shared_ptr<void>(app);
    });
}

}  // namespace

const bool kStartup = AddComparison("Startup_Snipwell", "Startup_BareLabel", 2.0);

BENCHMARK(Startup_BareLabel)->Unit(benchmark::kMillisecond);
BENCHMARK(Startup_Snipwell)->Unit(benchmark::kMillisecond);
