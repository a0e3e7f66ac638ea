#include "platform/SettingsStore.h"

#include <QDir>
#include <QSettings>

#include <memory>

namespace {

QString g_folder;  // tests: an INI file in this folder instead of the per-user store

std::unique_ptr<QSettings> OpenStore() {
    if (!g_folder.isEmpty()) {
        return std::make_unique<QSettings>(QDir(g_folder).filePath("Norvane Snipwell.ini"), QSettings::IniFormat);
    }
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, SettingsStore::kOrganization,
                                       SettingsStore::kApplication);
}

QString KeyPath(const QString& section, const QString& key) {
    return section + QLatin1Char('/') + key;
}

// Every write is flushed to disk when the store closes; a value that is already stored would
// only cost that flush (the program stores its remembered folder and look at every start).
void WriteValue(const QString& path, const QVariant& value) {
    std::unique_ptr<QSettings> store = OpenStore();
    const QVariant stored = store->value(path);
    if (stored.isValid() && stored.toString() == value.toString()) return;
    store->setValue(path, value);
}

}  // namespace

void SettingsStore::UseFolder(const QString& folder) {
    g_folder = folder;
}

int SettingsStore::ReadInt(const QString& section, const QString& key, int defaultValue) {
    const QVariant value = OpenStore()->value(KeyPath(section, key));
    if (!value.isValid()) return defaultValue;
    bool ok = false;
    const int number = value.toString().trimmed().toInt(&ok);
    return ok ? number : defaultValue;
}

void SettingsStore::WriteInt(const QString& section, const QString& key, int value) {
    WriteValue(KeyPath(section, key), value);
}

QString SettingsStore::ReadString(const QString& section, const QString& key, const QString& defaultValue) {
    const QVariant value = OpenStore()->value(KeyPath(section, key));
    return value.isValid() ? value.toString() : defaultValue;
}

void SettingsStore::WriteString(const QString& section, const QString& key, const QString& value) {
    WriteValue(KeyPath(section, key), value);
}

int SettingsStore::ReadWorkspaceInt(const QString& key, int defaultValue) {
    return ReadInt(kWorkspaceSection, key, defaultValue);
}

void SettingsStore::WriteWorkspaceInt(const QString& key, int value) {
    WriteInt(kWorkspaceSection, key, value);
}
