// Tells when one folder changes. By default any of its files: created, deleted, renamed,
// written and closed, or their attributes touched; a watch of subfolders only hears of folders
// created, deleted or renamed in it. Either way it hears when the folder itself goes away.
// Several events that arrive together are reported once; the listener compares the folder with
// what it knew to learn what changed. All watches share the thread's one inotify instance.
#pragma once

#include <QObject>
#include <QString>

#include <memory>

#include "platform/InotifyHub.h"

class FolderWatch : public QObject, private InotifyHub::Subscriber {
    Q_OBJECT
public:
    enum class Scope { Files, Subfolders };

    explicit FolderWatch(QObject* parent = nullptr, Scope scope = Scope::Files);
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
    void OnFolderEvent(uint32_t mask) override;

    Scope m_scope;
    std::shared_ptr<InotifyHub> m_hub;
    int m_watchDescriptor = -1;
};
