// What became of a folder's pictures between two looks at it: the stamps of its picture files
// then and now, compared name by name. A name that vanished while a new one appeared with the
// same file behind it (same device and inode, same length and time) was renamed; a name whose
// file differs was rewritten; a new name whose file is new was added.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

#include "platform/FileStamp.h"

namespace thumbs {

// File name -> stamp, for the picture files of one folder.
using FolderStamps = QHash<QString, FileStamp>;

struct FolderChanges {
    QStringList removed;                                 // gone, not renamed
    std::vector<std::pair<QString, QString>> renamed;    // old name, new name; content unchanged
    QStringList changed;                                 // added or rewritten, in natural order

    bool IsEmpty() const { return removed.isEmpty() && renamed.empty() && changed.isEmpty(); }
};

// The stamps of the given files of folder; files that cannot be read are left out.
FolderStamps StampFiles(const QString& folder, const QStringList& names);

FolderChanges CompareStamps(const FolderStamps& before, const FolderStamps& now);

}  // namespace thumbs
