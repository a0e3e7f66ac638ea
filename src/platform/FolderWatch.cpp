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
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0) return;
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &FolderWatch::ReadEvents);
}

FolderWatch::~FolderWatch() {
    delete m_notifier;
    if (m_fd >= 0) close(m_fd);
}

bool FolderWatch::Watch(const QString& folder) {
    Stop();
    if (m_fd < 0 || folder.isEmpty()) return false;
    m_watchDescriptor = inotify_add_watch(m_fd, QFile::encodeName(folder).constData(), kWatchedEvents | IN_ONLYDIR);
    return m_watchDescriptor >= 0;
}

void FolderWatch::Stop() {
    if (m_watchDescriptor >= 0) inotify_rm_watch(m_fd, m_watchDescriptor);
    m_watchDescriptor = -1;
    // Events of the old folder still queued are read away unreported.
    std::array<char, kEventBufferBytes> buffer{};
    while (m_fd >= 0 && read(m_fd, buffer.data(), buffer.size()) > 0) {
    }
}

void FolderWatch::ReadEvents() {
    alignas(inotify_event) std::array<char, kEventBufferBytes> buffer{};
    bool any = false;
    for (;;) {
        const ssize_t got = read(m_fd, buffer.data(), buffer.size());
        if (got <= 0) break;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
            // IN_IGNORED follows the removal of a watch; an overflow means "look at everything".
            if (event->wd == m_watchDescriptor || (event->mask & IN_Q_OVERFLOW)) any = true;
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
    if (any && m_watchDescriptor >= 0) emit changed();
}
