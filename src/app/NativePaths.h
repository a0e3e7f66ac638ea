// Paths between Qt's strings and the file system's bytes, as the order's code takes them.
#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

inline std::string NativePath(const QString& path) { return QFile::encodeName(path).toStdString(); }
inline QString FromNative(const std::string& path) { return QFile::decodeName(path.c_str()); }

inline std::vector<std::string> NativePaths(const QStringList& paths) {
    std::vector<std::string> native;
    for (const QString& path : paths) native.push_back(NativePath(path));
    return native;
}
