#include "platform/InotifyHub.h"

#include <QFile>
#include <QSocketNotifier>

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>

namespace {

// Everything any watcher wants to hear about; each watcher picks what it cares for. Content is
// reported when written and closed, not at every write: a copy in progress is reported when it
// ends (and when it starts, by its creation).
constexpr uint32_t kWatchedEvents = IN_CREATE | IN_DELETE | IN_CLOSE_WRITE | IN_MOVED_FROM | IN_MOVED_TO |
                                    IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;
constexpr size_t kEventBufferBytes = 64 * 1024;

std::atomic<int> openHubs{0};

}  // namespace

std::shared_ptr<InotifyHub> InotifyHub::Shared() {
    // One per thread: its socket notifier lives on the thread that reads it.
    thread_local std::weak_ptr<InotifyHub> current;
    std::shared_ptr<InotifyHub> hub = current.lock();
    if (!hub) {
        hub = std::make_shared<InotifyHub>();
        current = hub;
    }
    return hub;
}

int InotifyHub::OpenCount() { return openHubs.load(); }

InotifyHub::InotifyHub() {
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0) return;
    ++openHubs;
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &InotifyHub::ReadEvents);
}

InotifyHub::~InotifyHub() {
    delete m_notifier;
    if (m_fd < 0) return;
    close(m_fd);
    --openHubs;
}

int InotifyHub::Subscribe(const QString& folder, Subscriber* subscriber) {
    if (m_fd < 0 || folder.isEmpty()) return -1;
    // A folder watched already gives its descriptor again.
    const int watchDescriptor =
        inotify_add_watch(m_fd, QFile::encodeName(folder).constData(), kWatchedEvents | IN_ONLYDIR);
    if (watchDescriptor >= 0) m_subscribers[watchDescriptor].push_back(subscriber);
    return watchDescriptor;
}

void InotifyHub::Unsubscribe(int watchDescriptor, Subscriber* subscriber) {
    const auto found = m_subscribers.find(watchDescriptor);
    if (found == m_subscribers.end()) return;   // its folder went away, and its watch with it
    std::vector<Subscriber*>& list = found->second;
    const auto at = std::find(list.begin(), list.end(), subscriber);
    if (at != list.end()) list.erase(at);
    if (!list.empty()) return;
    m_subscribers.erase(found);
    inotify_rm_watch(m_fd, watchDescriptor);
}

void InotifyHub::ReadEvents() {
    alignas(inotify_event) std::array<char, kEventBufferBytes> buffer{};
    // The events of one read are gathered per watch first, so a burst is told once per kind.
    std::map<int, uint32_t> seen;
    bool overflow = false;
    for (;;) {
        const ssize_t got = read(m_fd, buffer.data(), buffer.size());
        if (got <= 0) break;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
            if (event->mask & IN_Q_OVERFLOW) overflow = true;
            else seen[event->wd] |= event->mask;
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
    if (overflow) {
        for (const auto& [watchDescriptor, subscribers] : m_subscribers) seen[watchDescriptor] |= IN_Q_OVERFLOW;
    }
    for (const auto& [watchDescriptor, mask] : seen) Dispatch(watchDescriptor, mask);
}

void InotifyHub::Dispatch(int watchDescriptor, uint32_t mask) {
    const auto found = m_subscribers.find(watchDescriptor);
    if (found == m_subscribers.end()) return;
    // A copy: a subscriber may let go of its watch, or of another, while it is told; only those
    // still subscribed are told.
    const std::vector<Subscriber*> subscribers = found->second;
    for (Subscriber* subscriber : subscribers) {
        const auto still = m_subscribers.find(watchDescriptor);
        if (still == m_subscribers.end()) break;
        if (std::find(still->second.begin(), still->second.end(), subscriber) != still->second.end()) {
            subscriber->OnFolderEvent(mask);
        }
    }
    // The system removed the watch itself (its folder is gone): nobody lets go of it any more.
    if (mask & IN_IGNORED) m_subscribers.erase(watchDescriptor);
}
