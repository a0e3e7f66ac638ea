#include "image/FileBeside.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

// Symbolic links followed before giving up (a loop of links).
constexpr int kMaxLinkHops = 40;
// Names tried for the temporary file before giving up.
constexpr int kTempNameAttempts = 100;

}  // namespace

// Folder part of path ("." when it has none).
std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}


// The file a save really replaces: symbolic links are followed, even a dangling one, so that
// the link survives and its target receives the picture.
std::string ResolveSaveTarget(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat st {};
        if (lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        char link[PATH_MAX];
        const ssize_t n = readlink(current.c_str(), link, sizeof(link) - 1);
        if (n <= 0) return current;
        link[n] = '\0';
        current = link[0] == '/' ? std::string(link) : FolderOf(current) + "/" + link;
    }
    return current;
}

// Creates a new empty file beside target and returns its descriptor (-1 on failure). Mode
// 0666 lets the umask and the folder's default ACL decide, as for any newly written file;
// the name starts with a dot so that folder listings do not show it as a picture.
int CreateFileBeside(const std::string& target, std::string& created) {
    static std::atomic<uint32_t> counter{0};
    const std::string folder = FolderOf(target);
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        struct timespec now {};
        clock_gettime(CLOCK_REALTIME, &now);
        char name[96];
        std::snprintf(name, sizeof(name), "/.snipwell-save-%ld-%u-%ld", long(getpid()),
                      unsigned(counter.fetch_add(1)), long(now.tv_nsec));
        created = folder + name;
        const int fd = open(created.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Gives the new file the permission bits (and, where allowed, the group) of the file it
// replaces. A new file keeps the permissions it was created with.
bool KeepTargetPermissions(int fd, const std::string& target) {
    struct stat st {};
    if (stat(target.c_str(), &st) != 0) return true;
    if (fchown(fd, uid_t(-1), st.st_gid) != 0) {
        // Not a member of the file's group: the picture is still saved, with our group.
    }
    return fchmod(fd, st.st_mode & 07777) == 0;
}

// Makes the rename itself durable; a failure here does not undo a completed save.
void SyncFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}


bool WriteFileBeside(const std::string& path, const void* data, size_t size, std::string* error) {
    const auto fail = [error](int code) {
        if (error) *error = std::strerror(code);
        return false;
    };
    const std::string target = ResolveSaveTarget(path);
    std::string temp;
    const int fd = CreateFileBeside(target, temp);
    if (fd < 0) return fail(errno);
    const auto* bytes = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += size_t(n);
    }
    const int writeError = done == size ? 0 : (errno != 0 ? errno : EIO);
    const bool ok = writeError == 0 && KeepTargetPermissions(fd, target) && fsync(fd) == 0;
    const int syncError = ok ? 0 : (writeError != 0 ? writeError : errno);
    close(fd);
    if (!ok || std::rename(temp.c_str(), target.c_str()) != 0) {
        const int code = ok ? errno : syncError;
        unlink(temp.c_str());
        return fail(code);
    }
    SyncFolder(FolderOf(target));
    return true;
}
