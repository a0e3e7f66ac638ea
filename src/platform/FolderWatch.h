// Tells when the files of one folder change: created, deleted, renamed, written and closed, or
// their attributes touched (inotify). Several events that arrive together are reported once;
// the listener compares the folder with what it knew to learn what changed.
#pragma once

#include <QObject>
#include <QString>

class QSocketNotifier;

class FolderWatch : public QObject {
    Q_OBJECT
public:
    explicit FolderWatch(QObject* parent = nullptr);
    ~FolderWatch() override;
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // Watches folder instead of the one watched before; an empty path or a folder that cannot
    // be watched (false) leaves nothing watched.
    bool Watch(const QString& folder);
    void Stop();
    bool IsWatching() const { return m_watchDescriptor >= 0; }

signals:
    // Something in the watched folder changed (or the folder itself went away).
    void changed();

private:
    void ReadEvents();

    int m_fd = -1;
    int m_watchDescriptor = -1;
    QSocketNotifier* m_notifier = nullptr;
};
