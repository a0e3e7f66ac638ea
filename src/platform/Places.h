// The places a folder tree starts from on a Linux desktop: the user's own folders, the volumes
// the user mounted (camera cards, USB sticks) and the whole file system, each with the name
// and the icon-theme icon the desktop gives it; and a watch that says when volumes come or go.
#pragma once

#include <QList>
#include <QObject>
#include <QString>

class QSocketNotifier;

namespace places {

struct Place {
    QString name;       // as shown
    QString path;       // the folder
    QString iconName;   // freedesktop icon name
    bool operator==(const Place&) const = default;
};

struct Mount {
    QString root;    // where it is mounted
    QString label;   // the volume's label, may be empty
    bool removable = false;
};

// Home, Pictures and Desktop (those of them that exist, each once), then the user's volumes,
// then "File System" (/).
QList<Place> CurrentPlaces();

// The mounts that are the user's volumes: those mounted under /media, /run/media or /mnt,
// named by their label, else by the folder they are mounted on; in the order given.
QList<Place> VolumePlaces(const QList<Mount>& mounts);

// The mounted file systems, from the system's mount table.
QList<Mount> MountedVolumes();

// Reports a change of the system's mount table (a volume mounted or unmounted).
class MountWatch : public QObject {
    Q_OBJECT
public:
    explicit MountWatch(QObject* parent = nullptr);
    ~MountWatch() override;
    MountWatch(const MountWatch&) = delete;
    MountWatch& operator=(const MountWatch&) = delete;

signals:
    void changed();

private:
    void OnTableChanged();

    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace places
