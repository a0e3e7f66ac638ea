#include "platform/WakePipe.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

WakePipe::WakePipe(std::function<void()> onWake, QObject* parent) : QObject(parent), m_onWake(std::move(onWake)) {
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) return;
    m_nReadFd = fds[0];
    m_nWriteFd = fds[1];
    m_pNotifier = new QSocketNotifier(qintptr(m_nReadFd), QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, [this] {
        Drain();
        if (m_onWake) m_onWake();
    });
}

WakePipe::~WakePipe() {
    delete m_pNotifier;
    if (m_nReadFd >= 0) close(m_nReadFd);
    if (m_nWriteFd >= 0) close(m_nWriteFd);
}

void WakePipe::Wake(int writeFd) {
    const char byte = 1;
    // A full pipe (EAGAIN) already holds a pending wake.
    [[maybe_unused]] const ssize_t written = write(writeFd, &byte, 1);
}

void WakePipe::Drain() {
    char buffer[64];
    while (read(m_nReadFd, buffer, sizeof(buffer)) > 0) {
    }
}
