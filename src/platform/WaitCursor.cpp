#include "platform/WaitCursor.h"

#include <QCursor>
#include <QGuiApplication>

WaitCursor::WaitCursor() {
    if (QGuiApplication::instance()) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        m_active = true;
    }
}

WaitCursor::~WaitCursor() {
    Release();
}

void WaitCursor::Release() {
    if (!m_active) return;
    m_active = false;
    if (QGuiApplication::instance()) QGuiApplication::restoreOverrideCursor();
}
