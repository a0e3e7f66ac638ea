#include "LoaderHandoff.h"

#include <QMetaObject>

std::shared_ptr<LoaderHandoff> LoaderHandoff::Create(QObject* receiver) {
    return std::shared_ptr<LoaderHandoff>(new LoaderHandoff(receiver));
}

bool LoaderHandoff::Run(Request request) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_bClosed) return false;
    m_pending = std::move(request);
    m_bDone = false;
    // The receiver cannot be destroyed while the handoff is open and the lock is held: the list
    // closes the handoff (under this lock) before it goes away.
    QMetaObject::invokeMethod(m_pReceiver, [self = shared_from_this()] { self->Serve(); }, Qt::QueuedConnection);
    m_served.wait(lock, [this] { return m_bDone || m_bClosed; });
    m_pending = nullptr;
    return m_bDone;
}

void LoaderHandoff::Serve() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bClosed || !m_pending || m_bDone) return;
    m_pending();
    m_pending = nullptr;
    m_bDone = true;
    m_served.notify_all();
}

void LoaderHandoff::Close() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bClosed = true;
    m_served.notify_all();
}
