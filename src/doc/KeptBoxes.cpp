#include "doc/KeptBoxes.h"

#include <QFile>
#include <QFileInfo>

#include <string>

#include "commands/SettingsKeys.h"
#include "platform/SettingsStore.h"

namespace {

std::string Native(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString NameOf(const QString& path) { return QFileInfo(path).fileName(); }

}  // namespace

KeptBoxes::KeptBoxes() {
    m_sidecarsOn = SettingsStore::ReadInt(settings::kSection, settings::kKeepBoxesInSidecars, 1) != 0;
}

KeptBoxes& KeptBoxes::Instance() {
    static KeptBoxes store;
    return store;
}

KeptBoxes::Found KeptBoxes::Read(const QString& photo) const {
    {
        std::lock_guard lock(m_mutex);
        const auto kept = m_session.constFind(photo);
        if (kept != m_session.constEnd()) return {*kept, {}};
    }
    Found found;
    std::string error;
    found.crop = ReadSidecarCrop(Native(photo), &error);
    if (!found.crop && !error.empty()) {
        found.problem = QStringLiteral("The box kept beside %1 cannot be read (%2)")
                            .arg(NameOf(photo), QString::fromStdString(error));
    }
    return found;
}

bool KeptBoxes::Has(const QString& photo) const {
    {
        std::lock_guard lock(m_mutex);
        if (m_session.contains(photo)) return true;
    }
    const QString sidecar = QString::fromStdString(SidecarPathOf(Native(photo)));
    const QString otherTools = QFileInfo(photo).path() + QLatin1Char('/') + QFileInfo(photo).completeBaseName() +
                               QStringLiteral(".xmp");
    if (!QFileInfo::exists(sidecar) && !QFileInfo::exists(otherTools)) return false;
    return Read(photo).crop.has_value();
}

QString KeptBoxes::Keep(const QString& photo, const KeptCrop& crop) {
    QString note;
    bool inSidecar = false;
    if (SidecarsOn()) {
        std::string error;
        inSidecar = WriteSidecarCrop(Native(photo), crop, &error);
        if (!inSidecar) {
            note = QStringLiteral("Boxes are kept for this session only: %1 (%2)")
                       .arg(QFileInfo(photo).path(), QString::fromStdString(error));
        }
    }
    {
        std::lock_guard lock(m_mutex);
        if (inSidecar) {
            m_session.remove(photo);
        } else {
            m_session.insert(photo, crop);
        }
    }
    emit changed(photo);
    return note;
}

QString KeptBoxes::Forget(const QString& photo) {
    bool wasKept = false;
    {
        std::lock_guard lock(m_mutex);
        wasKept = m_session.remove(photo) > 0;
    }
    QString note;
    std::string error;
    const std::string sidecar = SidecarPathOf(Native(photo));
    if (QFileInfo::exists(QString::fromStdString(sidecar))) {
        wasKept = true;
        if (!RemoveSidecarCrop(Native(photo), &error)) {
            note = QStringLiteral("The box could not be taken out of %1 (%2)")
                       .arg(NameOf(QString::fromStdString(sidecar)), QString::fromStdString(error));
        }
    }
    if (wasKept) emit changed(photo);
    return note;
}

void KeptBoxes::Discard(const QString& photo) {
    {
        std::lock_guard lock(m_mutex);
        m_session.remove(photo);
    }
    QFile::remove(QString::fromStdString(SidecarPathOf(Native(photo))));
    emit changed(photo);
}

bool KeptBoxes::SidecarsOn() const {
    std::lock_guard lock(m_mutex);
    return m_sidecarsOn;
}

void KeptBoxes::SetSidecarsOn(bool on) {
    {
        std::lock_guard lock(m_mutex);
        m_sidecarsOn = on;
    }
    SettingsStore::WriteInt(settings::kSection, settings::kKeepBoxesInSidecars, on ? 1 : 0);
}
