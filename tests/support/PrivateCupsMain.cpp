// The printing tests' program: its CUPS clients are pointed at the private daemon before the
// QApplication (and with it Qt's print support) first asks for printers.
#include <gtest/gtest.h>

#include <QApplication>

#include "PrivateCups.h"

int main(int argc, char** argv) {
    PrivateCups::PointClientsHere();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
