// Started afresh by the start-up benchmark for every measurement: shows the program's main
// window ("snipwell SETTINGS_FOLDER") or a bare window with one label ("label"), and once the
// first top-level window has been painted prints two numbers and ends at once, as the
// teardown is not part of starting:
//   the monotonic clock in nanoseconds, and the process's CPU time so far in nanoseconds
//   (all its threads).
#include <QApplication>
#include <QLabel>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

#include <unistd.h>

#include "CSnipwellApp.h"
#include "SettingsStore.h"

namespace {

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

long long Nanoseconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

}  // namespace

int main(int argc, char** argv) {
    const bool program = argc >= 3 && std::strcmp(argv[1], "snipwell") == 0;
    const bool label = argc >= 2 && std::strcmp(argv[1], "label") == 0;
    if (!program && !label) {
        std::fprintf(stderr, "usage: %s label | snipwell SETTINGS_FOLDER\n", argv[0]);
        return 2;
    }
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    FirstPaintWatch watch;
    application.installEventFilter(&watch);
    std::unique_ptr<QLabel> window;
    std::unique_ptr<CSnipwellApp> app;
    if (program) {
        SettingsStore::UseFolder(QString::fromLocal8Bit(argv[2]));
        app = std::make_unique<CSnipwellApp>();
        if (!app->InitInstance()) _exit(1);
    } else {
        window = std::make_unique<QLabel>(QStringLiteral("Norvane Snipwell"));
        window->resize(1280, 800);
        window->show();
    }
    while (!watch.painted) QApplication::processEvents();
    std::printf("%lld %lld\n", Nanoseconds(CLOCK_MONOTONIC), Nanoseconds(CLOCK_PROCESS_CPUTIME_ID));
    std::fflush(stdout);
    _exit(0);
}
