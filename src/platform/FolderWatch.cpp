#include "platform/FolderWatch.h"

#include <QFile>
#include <QSocketNotifier>

#include <sys/inotify.h>
#include <unistd.h>

#include <array>

namespace {

// Content written and closed, not every write: a copy in progress is reported when it ends
// (and when it starts, by its creation).
constexpr uint32_t kWatchedEvents = IN_CREATE | IN_DELETE | IN_CLOSE_WRITE | IN_MOVED_FROM | IN_MOVED_TO |
                                    IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;
// Room for many events per read; the events themselves are only counted.
constexpr size_t kEventBufferBytes = 64 * 1024;

}  // namespace

FolderWatch::FolderWatch(QObject* parent) : QObject(parent) {
    m_nFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_nFd < 0) return;
    m_pNotifier = new QSocketNotifier(m_nFd, QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, &FolderWatch::ReadEvents);
}

FolderWatch::~FolderWatch() {
    delete m_pNotifier;
    if (m_nFd >= 0) close(m_nFd);
}

bool FolderWatch::Watch(const QString& folder) {
    Stop();
    if (m_nFd < 0 || folder.isEmpty()) return false;
    m_nWatch = inotify_add_watch(m_nFd, QFile::encodeName(folder).constData(), kWatchedEvents | IN_ONLYDIR);
    return m_nWatch >= 0;
}

void FolderWatch::Stop() {
    if (m_nWatch >= 0) inotify_rm_watch(m_nFd, m_nWatch);
    m_nWatch = -1;
    // Events of the old folder still queued are read away unreported.
    std::array<char, kEventBufferBytes> buffer{};
    while (m_nFd >= 0 && read(m_nFd, buffer.data(), buffer.size()) > 0) {
    }
}

void FolderWatch::ReadEvents() {
    alignas(inotify_event) std::array<char, kEventBufferBytes> buffer{};
    bool any = false;
    for (;;) {
        const ssize_t got = read(m_nFd, buffer.data(), buffer.size());
        if (got <= 0) break;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
            // IN_IGNORED follows the removal of a watch; an overflow means "look at everything".
            if (event->wd == m_nWatch || (event->mask & IN_Q_OVERFLOW)) any = true;
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
    if (any && m_nWatch >= 0) emit changed();
}
