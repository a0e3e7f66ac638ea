#include "browser/SubfolderListing.h"

#include <QFile>

#include <dirent.h>
#include <sys/stat.h>

#include <cstring>
#include <memory>
#include <string>

namespace thumbs {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using Dir = std::unique_ptr<DIR, DirCloser>;

bool IsHiddenOrDots(const char* name) { return name[0] == '.'; }

// Whether an entry of the folder at path is a folder; links and file systems that do not tell
// the type in the entry are asked with stat.
bool IsFolder(const std::string& path, const dirent* entry) {
    if (entry->d_type == DT_DIR) return true;
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) return false;
    struct stat status {};
    return stat((path + '/' + entry->d_name).c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// Calls found(name) for each subfolder of path that is not hidden until it returns false.
template <typename Found>
void ForEachSubfolder(const std::string& path, Found found) {
    const Dir dir(opendir(path.c_str()));
    if (!dir) return;
    while (const dirent* entry = readdir(dir.get())) {
        if (IsHiddenOrDots(entry->d_name) || !IsFolder(path, entry)) continue;
        if (!found(entry->d_name)) return;
    }
}

std::string Below(const std::string& folder, const char* name) {
    return folder == "/" ? '/' + std::string(name) : folder + '/' + name;
}

bool HasSubfolderAt(const std::string& path) {
    bool any = false;
    ForEachSubfolder(path, [&any](const char*) {
        any = true;
        return false;
    });
    return any;
}

}  // namespace

std::vector<SubfolderEntry> ReadSubfolders(const QString& folder) {
    const std::string path = QFile::encodeName(folder).toStdString();
    std::vector<SubfolderEntry> entries;
    ForEachSubfolder(path, [&](const char* name) {
        entries.push_back({QFile::decodeName(name), HasSubfolderAt(Below(path, name))});
        return true;
    });
    return entries;
}

}  // namespace thumbs
