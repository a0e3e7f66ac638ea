#include "platform/Places.h"

#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QStorageInfo>

#include <fcntl.h>
#include <unistd.h>

#include <array>

namespace places {

namespace {

constexpr const char* kMountTable = "/proc/self/mountinfo";
// Where desktops mount the volumes a user plugs in, and where users mount their own.
const std::array<QString, 3> kVolumeFolders = {QStringLiteral("/media/"), QStringLiteral("/run/media/"),
                                               QStringLiteral("/mnt/")};

bool IsUserVolume(const QString& root) {
    for (const QString& folder : kVolumeFolders) {
        if (root.startsWith(folder) && root.size() > folder.size()) return true;
    }
    return false;
}

void AddFolderPlace(QList<Place>& list, const QString& name, const QString& path, const QString& icon) {
    if (path.isEmpty() || !QFileInfo(path).isDir()) return;
    const QString clean = QDir::cleanPath(path);
    if (clean == QLatin1String("/")) return;   // File System shows it
    for (const Place& place : list) {
        if (place.path == clean) return;   // Pictures or Desktop set to the home folder itself
    }
    list.append(Place{name, clean, icon});
}

}  // namespace

QList<Place> CurrentPlaces() {
    QList<Place> list;
    AddFolderPlace(list, QStringLiteral("Home"), QDir::homePath(), QStringLiteral("user-home"));
    AddFolderPlace(list, QStringLiteral("Pictures"), QStandardPaths::writableLocation(QStandardPaths::PicturesLocation),
                   QStringLiteral("folder-pictures"));
    AddFolderPlace(list, QStringLiteral("Desktop"), QStandardPaths::writableLocation(QStandardPaths::DesktopLocation),
                   QStringLiteral("user-desktop"));
    list.append(VolumePlaces(MountedVolumes()));
    list.append(Place{QStringLiteral("File System"), QStringLiteral("/"), QStringLiteral("drive-harddisk")});
    return list;
}

QList<Place> VolumePlaces(const QList<Mount>& mounts) {
    QList<Place> list;
    for (const Mount& mount : mounts) {
        const QString root = QDir::cleanPath(mount.root);
        if (!IsUserVolume(root + QLatin1Char('/'))) continue;
        const QString name = mount.label.isEmpty() ? QFileInfo(root).fileName() : mount.label;
        list.append(Place{name, root,
                          mount.removable ? QStringLiteral("drive-removable-media") : QStringLiteral("drive-harddisk")});
    }
    return list;
}

QList<Mount> MountedVolumes() {
    QList<Mount> mounts;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid()) continue;
        const QString root = volume.rootPath();
        // Plugged-in volumes are mounted by the desktop under /media or /run/media.
        const bool removable = !root.startsWith(QStringLiteral("/mnt/"));
        mounts.append(Mount{root, volume.name(), removable});
    }
    return mounts;
}

MountWatch::MountWatch(QObject* parent) : QObject(parent) {
    // The kernel marks the table with an exceptional condition whenever it changes.
    m_fd = open(kMountTable, O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) return;
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Exception, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &MountWatch::OnTableChanged);
}

MountWatch::~MountWatch() {
    delete m_notifier;
    if (m_fd >= 0) close(m_fd);
}

void MountWatch::OnTableChanged() {
    // Reading the table to its end clears the mark until the next change.
    std::array<char, 4096> buffer{};
    lseek(m_fd, 0, SEEK_SET);
    while (read(m_fd, buffer.data(), buffer.size()) > 0) {
    }
    emit changed();
}

}  // namespace places
