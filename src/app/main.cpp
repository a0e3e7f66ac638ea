// Norvane Snipwell: a picture-cropping tool for photographs.
#include <QApplication>

#include "app/CSnipwellApp.h"

int main(int argc, char** argv) {
    QApplication qtApplication(argc, argv);
    int result = EXIT_FAILURE;
    {
        CSnipwellApp app;
        // Arguments are not read: a file named on the command line is ignored.
        if (app.InitInstance()) result = QApplication::exec();
        app.ExitInstance();
    }
    return result;
}
