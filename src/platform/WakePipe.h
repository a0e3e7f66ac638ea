// Wakes the user-interface thread from another thread without calling into Qt there: the other
// thread writes a byte into a pipe, and a socket notifier on this thread runs the handler. The
// data itself travels under a lock of the caller's; the pipe only says "look now".
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

class WakePipe : public QObject {
    Q_OBJECT
public:
    // Runs onWake on the thread that created the pipe whenever a wake arrives.
    explicit WakePipe(std::function<void()> onWake, QObject* parent = nullptr);
    ~WakePipe() override;
    WakePipe(const WakePipe&) = delete;
    WakePipe& operator=(const WakePipe&) = delete;

    bool IsOpen() const { return m_writeFd >= 0; }
    // Any thread, while the pipe exists. Several wakes before the handler runs merge into one.
    static void Wake(int writeFd);
    int WriteFd() const { return m_writeFd; }

private:
    void Drain();

    std::function<void()> m_onWake;
    int m_readFd = -1;
    int m_writeFd = -1;
    QSocketNotifier* m_notifier = nullptr;
};
