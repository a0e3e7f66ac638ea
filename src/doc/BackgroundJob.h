// One long picture operation at a time on a worker thread, so that the window keeps painting
// while a large picture is cut, turned, saved or decoded. The work runs on the worker with
// data it owns; its finishing step runs on the thread that started it, either when the
// worker's end reaches that thread's event loop or when a caller waits for it (Finish).
// The worker is joined before the finishing step runs, which hands its results over without
// any lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include <QObject>

class BackgroundJob : public QObject {
    Q_OBJECT
public:
    BackgroundJob() = default;
    // Waits for a running worker; its finishing step does not run.
    ~BackgroundJob() override;
    BackgroundJob(const BackgroundJob&) = delete;
    BackgroundJob& operator=(const BackgroundJob&) = delete;

    // Starts work on a worker thread; finish runs on this thread once it has ended. A job
    // still running is finished first.
    void Start(std::function<void()> work, std::function<void()> finish);
    bool IsRunning() const { return m_thread.joinable(); }
    // Waits for the worker and runs the finishing step now; nothing when no job runs.
    void Finish();
    // Turns the event loop until the job started last has finished, so that the window keeps
    // painting and its timers keep firing; without an application object it simply waits.
    void WaitTurningEvents();

private:
    // The worker's notice that a job ended, queued to this object's thread. It carries no
    // data: what the worker made is read only after it has been joined.
    Q_INVOKABLE void WorkerEnded();

    std::thread m_thread;
    std::function<void()> m_finish;
    uint64_t m_started = 0;            // counts the jobs started
    std::atomic<uint64_t> m_ended{0};  // the last job whose worker has ended
};
