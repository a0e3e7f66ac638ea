// Norvane Snipwell: a picture-cropping tool for photographs.
#include <QApplication>

#include "app/Application.h"

int main(int argc, char** argv) {
    QApplication qtApplication(argc, argv);
    Application app;
    // Arguments are not read: a file named on the command line is ignored.
    if (!app.Start()) return EXIT_FAILURE;
    return QApplication::exec();
}
