// What tells that a file changed or only moved: its identity on the disk, its length and the
// time of its last write to the nanosecond.
#pragma once

#include <QString>

#include <cstdint>

struct FileStamp {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t modifiedNs = 0;

    bool SameFile(const FileStamp& other) const { return device == other.device && inode == other.inode; }
    bool operator==(const FileStamp&) const = default;
};

// The stamp of the file at path (links followed); false when it cannot be read.
bool ReadFileStamp(const QString& path, FileStamp& stamp);
