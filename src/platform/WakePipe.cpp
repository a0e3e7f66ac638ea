#include "platform/WakePipe.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

WakePipe::WakePipe(std::function<void()> onWake, QObject* parent) : QObject(parent), m_onWake(std::move(onWake)) {
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) return;
    m_readFd = fds[0];
    m_writeFd = fds[1];
    m_notifier = new QSocketNotifier(qintptr(m_readFd), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        Drain();
        if (m_onWake) m_onWake();
    });
}

WakePipe::~WakePipe() {
    delete m_notifier;
    if (m_readFd >= 0) close(m_readFd);
    if (m_writeFd >= 0) close(m_writeFd);
}

void WakePipe::Wake(int writeFd) {
    const char byte = 1;
    // A full pipe (EAGAIN) already holds a pending wake.
    [[maybe_unused]] const ssize_t written = write(writeFd, &byte, 1);
}

void WakePipe::Drain() {
    char buffer[64];
    while (read(m_readFd, buffer, sizeof(buffer)) > 0) {
    }
}
