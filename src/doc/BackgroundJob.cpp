#include "doc/BackgroundJob.h"

#include <utility>

#include <QCoreApplication>
#include <QEventLoop>

BackgroundJob::~BackgroundJob() {
    if (m_thread.joinable()) m_thread.join();
}

void BackgroundJob::Start(std::function<void()> work, std::function<void()> finish) {
    Finish();
    const uint64_t job = ++m_started;
    m_finish = std::move(finish);
    m_thread = std::thread([this, job, work = std::move(work)] {
        work();
        m_ended.store(job, std::memory_order_release);
        QMetaObject::invokeMethod(this, "WorkerEnded", Qt::QueuedConnection);
    });
}

void BackgroundJob::WorkerEnded() {
    // A notice that arrives after a waiting caller finished the job does nothing.
    if (m_ended.load(std::memory_order_acquire) == m_started) Finish();
}

void BackgroundJob::Finish() {
    if (!m_thread.joinable()) return;
    m_thread.join();
    std::function<void()> finish = std::exchange(m_finish, nullptr);
    if (finish) finish();
}

void BackgroundJob::WaitTurningEvents() {
    const uint64_t job = m_started;
    if (QCoreApplication::instance() != nullptr) {
        QEventLoop loop;
        while (IsRunning() && job == m_started) loop.processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (job == m_started) Finish();
}
