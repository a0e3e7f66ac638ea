#include "browser/FolderChanges.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "browser/FolderListing.h"

namespace thumbs {

namespace {

using FileIdentity = std::pair<uint64_t, uint64_t>;   // device, inode

// The files whose names vanished, by identity: where a new name finds one of them, it was renamed.
QHash<FileIdentity, QString> VanishedFiles(const FolderStamps& before, const FolderStamps& now) {
    QHash<FileIdentity, QString> vanished;
    for (auto old = before.cbegin(); old != before.cend(); ++old) {
        if (!now.contains(old.key())) vanished.insert({old.value().device, old.value().inode}, old.key());
    }
    return vanished;
}

}  // namespace

FolderStamps StampFiles(const QString& folder, const QStringList& names) {
    FolderStamps stamps;
    stamps.reserve(names.size());
    for (const QString& name : names) {
        FileStamp stamp;
        if (ReadFileStamp(JoinFolderAndName(folder, name), stamp)) stamps.insert(name, stamp);
    }
    return stamps;
}

FolderChanges CompareStamps(const FolderStamps& before, const FolderStamps& now) {
    FolderChanges changes;
    QHash<FileIdentity, QString> vanished = VanishedFiles(before, now);
    for (auto entry = now.cbegin(); entry != now.cend(); ++entry) {
        const auto old = before.constFind(entry.key());
        if (old != before.cend()) {
            if (!(old.value() == entry.value())) changes.changed << entry.key();
            continue;
        }
        const auto former = vanished.find({entry.value().device, entry.value().inode});
        if (former != vanished.end() && before.value(former.value()) == entry.value()) {
            changes.renamed.emplace_back(former.value(), entry.key());
            vanished.erase(former);
        } else {
            changes.changed << entry.key();
        }
    }
    for (const QString& name : std::as_const(vanished)) changes.removed << name;
    std::sort(changes.changed.begin(), changes.changed.end(), NaturalLess);
    std::sort(changes.removed.begin(), changes.removed.end(), NaturalLess);
    return changes;
}

}  // namespace thumbs
