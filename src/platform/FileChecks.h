// File checks and removal on the local file system, for the document and the view.
#pragma once

#include <QString>

namespace filechecks {

// The path names an existing regular file (no directory, pipe or device). Only such files
// are read: opening a named pipe would block until some other program writes to it.
bool IsRegularFile(const QString& path);

// An existing regular file that the user may write and that has a write permission bit: a
// file without any write bit is read-only even for a user (root) whom the system lets write.
bool IsWritableRegularFile(const QString& path);

// Removes the file for good (there is no recycle bin to move it to). False when it stays.
bool RemoveFile(const QString& path);

}  // namespace filechecks
