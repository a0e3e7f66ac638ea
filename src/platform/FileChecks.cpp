#include "platform/FileChecks.h"

#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

namespace filechecks {
namespace {

bool StatRegularFile(const QByteArray& native, struct stat& st) {
    return stat(native.constData(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

bool IsRegularFile(const QString& path) {
    struct stat st {};
    return !path.isEmpty() && StatRegularFile(QFile::encodeName(path), st);
}

bool IsWritableRegularFile(const QString& path) {
    if (path.isEmpty()) return false;
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (!StatRegularFile(native, st)) return false;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
    return access(native.constData(), W_OK) == 0;
}

bool RemoveFile(const QString& path) { return unlink(QFile::encodeName(path).constData()) == 0; }

}  // namespace filechecks
