#include "browser/LoaderHandoff.h"

#include "platform/WakePipe.h"

std::shared_ptr<LoaderHandoff> LoaderHandoff::Create(int wakeFd) {
    return std::shared_ptr<LoaderHandoff>(new LoaderHandoff(wakeFd));
}

bool LoaderHandoff::Run(Request request) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_closed) return false;
    m_pending = std::move(request);
    m_done = false;
    // The pipe stays open while the handoff is: its owner closes the handoff (under this lock)
    // before it goes away. Nothing of Qt runs on this thread.
    WakePipe::Wake(m_wakeFd);
    m_served.wait(lock, [this] { return m_done || m_closed; });
    m_pending = nullptr;
    return m_done;
}

void LoaderHandoff::Serve() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_closed || !m_pending || m_done) return;   // a late or merged wake
    m_pending();
    m_pending = nullptr;
    m_done = true;
    m_served.notify_all();
}

void LoaderHandoff::Close() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_closed = true;
    m_served.notify_all();
}
