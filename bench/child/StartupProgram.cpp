// The program's start as the start-up benchmark times it, a process of its own: what main()
// does, with the settings in the folder given as the only argument (see FirstPaintReport.h
// for what it prints).
#include <cstdio>

#include "app/Application.h"
#include "FirstPaintReport.h"
#include "platform/SettingsStore.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s SETTINGS_FOLDER\n", argv[0]);
        return 2;
    }
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    startupchild::FirstPaintWatch watch;
    application.installEventFilter(&watch);
    SettingsStore::UseFolder(QString::fromLocal8Bit(argv[1]));
    Application app;
    if (!app.Start()) _exit(1);
    startupchild::ReportFirstPaintAndExit(watch);
}
