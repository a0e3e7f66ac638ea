// The start-up benchmark's baseline as a process of its own, linked with Qt alone: a bare
// window holding one label (see FirstPaintReport.h for what it prints).
#include <QLabel>

#include "FirstPaintReport.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    startupchild::FirstPaintWatch watch;
    application.installEventFilter(&watch);
    QLabel window(QStringLiteral("Norvane Snipwell"));
    window.resize(1280, 800);
    window.show();
    startupchild::ReportFirstPaintAndExit(watch);
}
