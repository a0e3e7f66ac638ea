// The one inotify instance of the program's thread, shared by every FolderWatch: the system
// allows a user only a few instances (128 by default), watches are cheap. Watches are counted
// per folder, so two watchers of one folder share its watch and the last one to let go removes
// it. Events are handed to the watchers of their folder.
#pragma once

#include <QObject>
#include <QString>

#include <map>
#include <memory>
#include <vector>

class QSocketNotifier;

class InotifyHub : public QObject {
    Q_OBJECT
public:
    // Told about the events of the folders it subscribed to.
    class Subscriber {
    public:
        virtual ~Subscriber() = default;
        // mask is the event's inotify mask; IN_Q_OVERFLOW means "anything may have changed".
        virtual void OnFolderEvent(uint32_t mask) = 0;
    };

    // The hub of this thread, opened when nobody holds it yet; closed with its last holder.
    static std::shared_ptr<InotifyHub> Shared();
    // How many hubs are open now: one while anything watches.
    static int OpenCount();

    InotifyHub();
    ~InotifyHub() override;
    InotifyHub(const InotifyHub&) = delete;
    InotifyHub& operator=(const InotifyHub&) = delete;

    // Watches folder for subscriber; the watch's descriptor, or -1 when it cannot be watched.
    int Subscribe(const QString& folder, Subscriber* subscriber);
    void Unsubscribe(int watchDescriptor, Subscriber* subscriber);

private:
    void ReadEvents();
    // Each subscriber of the events read is told once per event kind it saw.
    void Dispatch(int watchDescriptor, uint32_t mask);

    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    std::map<int, std::vector<Subscriber*>> m_subscribers;
};
