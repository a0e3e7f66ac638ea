// Writing a file without ever destroying the one it replaces: the new content goes into a
// file beside it, which is renamed over it once complete and on the disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Folder part of path ("." when it has none).
std::string FolderOf(const std::string& path);
// The file a save really replaces: symbolic links are followed, even a dangling one, so that
// the link survives and its target receives the new content.
std::string ResolveSaveTarget(const std::string& path);
// Creates a new empty file beside target and returns its descriptor (-1 on failure, errno
// set); created receives its name.
int CreateFileBeside(const std::string& target, std::string& created);
// Gives the new file the permission bits (and, where allowed, the group) of the file it
// replaces.
bool KeepTargetPermissions(int fd, const std::string& target);
// Makes a rename in folder durable.
void SyncFolder(const std::string& folder);
// Replaces (or makes) the file at path with size bytes of data, beside it and renamed over
// it; on failure the old file is untouched and error holds the system's reason.
bool WriteFileBeside(const std::string& path, const void* data, size_t size, std::string* error = nullptr);
