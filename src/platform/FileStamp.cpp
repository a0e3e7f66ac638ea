#include "platform/FileStamp.h"

#include <QFile>

#include <sys/stat.h>

namespace {
constexpr int64_t kNanosecondsPerSecond = 1000000000;
}

bool ReadFileStamp(const QString& path, FileStamp& stamp) {
    struct stat status {};
    if (stat(QFile::encodeName(path).constData(), &status) != 0) return false;
    stamp.device = uint64_t(status.st_dev);
    stamp.inode = uint64_t(status.st_ino);
    stamp.size = int64_t(status.st_size);
    stamp.modifiedNs = int64_t(status.st_mtim.tv_sec) * kNanosecondsPerSecond + int64_t(status.st_mtim.tv_nsec);
    return true;
}
