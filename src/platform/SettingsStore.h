// The per-user settings store: named integers and strings in sections, under the maker key
// "NORVANE" and the application "Norvane Snipwell". On Linux an INI file in the XDG config
// folder (QSettings' native per-user format); on Windows the registry. Nothing is cached:
// every call opens the store.
#pragma once

#include <QString>

class SettingsStore {
public:
    static constexpr const char* kOrganization = "NORVANE";
    static constexpr const char* kApplication = "Norvane Snipwell";
    static constexpr const char* kWorkspaceSection = "Workspace";

    // Tests point the store at a folder of their own (an INI file inside it); an empty folder
    // returns to the real per-user store.
    static void UseFolder(const QString& folder);

    static int ReadInt(const QString& section, const QString& key, int defaultValue);
    static void WriteInt(const QString& section, const QString& key, int value);
    static QString ReadString(const QString& section, const QString& key, const QString& defaultValue = QString());
    static void WriteString(const QString& section, const QString& key, const QString& value);
    // The framework's "Workspace" sub-section.
    static int ReadWorkspaceInt(const QString& key, int defaultValue);
    static void WriteWorkspaceInt(const QString& key, int value);
};
