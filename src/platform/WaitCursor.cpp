#include "WaitCursor.h"

#include <QCursor>
#include <QGuiApplication>

WaitCursor::WaitCursor() {
    if (QGuiApplication::instance()) QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

WaitCursor::~WaitCursor() {
    if (QGuiApplication::instance()) QGuiApplication::restoreOverrideCursor();
}
