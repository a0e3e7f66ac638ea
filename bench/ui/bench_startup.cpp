// Start-up to the first painted main window, offscreen, against a bare Qt window holding one
// label, timed two ways.
//
// Startup_FreshProcess_*: a new process per start (bench/child: the label's program loads Qt
// alone, the program's everything the program loads), from its launch to the end of
// its first paint, as a person starting the program waits for it: loading the libraries,
// the toolkit's start, the program's own steps and the paint. Wall time is the measure; the
// child's CPU time (all its threads) is reported as the counter "process_cpu_ms".
//
// Startup_Snipwell / Startup_BareLabel: within this process, each iteration building its own
// QApplication, so both sides pay the toolkit's start (platform plugin, fonts) but neither
// the launch nor the loading of libraries; the ratio shows what the program's own steps add:
// the atlas, the drawing check, the settings store, the frame with its ribbon and panes.
// Its CPU column counts every thread of the process.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLabel>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/Application.h"
#include "RatioReport.h"
#include "child/FirstPaintReport.h"
#include "platform/SettingsStore.h"

namespace {

char g_programName[] = "snipwell_bench";
char* g_arguments[] = {g_programName, nullptr};

using startupchild::FirstPaintWatch;

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
        auto app = std::make_shared<Application>();
        if (!app->Start()) state.SkipWithError("start-up failed");
        return std::shared_ptr<void>(app);
    });
}

struct FreshStart {
    double wallSeconds;  // launch to the end of the first paint
    double cpuSeconds;   // the child's CPU time by then
};

// Launches a child (its path first) and reads what it prints at its first paint.
std::optional<FreshStart> StartChild(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0) return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipe_ends[0]);
    posix_spawn_file_actions_addclose(&actions, pipe_ends[1]);
    const long long launched = startupchild::Nanoseconds(CLOCK_MONOTONIC);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_ends[1]);
    std::string output;
    char buffer[256];
    for (ssize_t n; spawned == 0 && (n = read(pipe_ends[0], buffer, sizeof buffer)) > 0;) output.append(buffer, size_t(n));
    close(pipe_ends[0]);
    if (spawned != 0) return std::nullopt;
    int status = 0;
    waitpid(child, &status, 0);
    long long painted = 0;
    long long cpu = 0;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || std::sscanf(output.c_str(), "%lld %lld", &painted, &cpu) != 2)
        return std::nullopt;
    return FreshStart{double(painted - launched) * 1e-9, double(cpu) * 1e-9};
}

void TimeFreshStarts(benchmark::State& state, const std::vector<std::string>& arguments) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    double cpuSeconds = 0;
    for (auto _ : state) {
        const std::optional<FreshStart> start = StartChild(arguments);
        if (!start) {
            state.SkipWithError("the child did not start or paint");
            return;
        }
        state.SetIterationTime(start->wallSeconds);
        cpuSeconds += start->cpuSeconds;
    }
    state.counters["process_cpu_ms"] = benchmark::Counter(cpuSeconds * 1e3, benchmark::Counter::kAvgIterations);
}

void Startup_FreshProcess_BareLabel(benchmark::State& state) {
    TimeFreshStarts(state, {SNIPWELL_STARTUP_LABEL});
}

void Startup_FreshProcess_Snipwell(benchmark::State& state) {
    // The program's settings go to a folder of the benchmark's own, never the user's store.
    QTemporaryDir settings;
    TimeFreshStarts(state, {SNIPWELL_STARTUP_PROGRAM, settings.path().toStdString()});
}

}  // namespace

const bool kStartupFresh =
    AddComparison("Startup_FreshProcess_Snipwell", "Startup_FreshProcess_BareLabel", 2.0, Memory::NewProcess,
                  Clock::Wall);
// Within one process: what the program's own steps add, without the launch.
const bool kStartupWall = AddReference("Startup_Snipwell", "Startup_BareLabel", Memory::Allocator, Clock::Wall);
const bool kStartupCpu = AddReference("Startup_Snipwell", "Startup_BareLabel", Memory::Allocator);

BENCHMARK(Startup_FreshProcess_BareLabel)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(Startup_FreshProcess_Snipwell)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(Startup_BareLabel)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(Startup_Snipwell)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
