// What a folder holds for the folder tree: its subfolders, hidden ones left out, and for each
// whether it has subfolders of its own (which decides its expand arrow). Read with the system's
// directory calls alone, so that it can run on a thread of its own: a slow or hung volume (a
// network share whose server went away, a camera card) then holds up nobody.
#pragma once

#include <QString>

#include <vector>

namespace thumbs {

struct SubfolderEntry {
    QString name;
    bool hasSubfolders = false;
};

// The subfolders of folder (links to folders included) in no particular order; empty when
// there are none or the folder cannot be read.
std::vector<SubfolderEntry> ReadSubfolders(const QString& folder);

}  // namespace thumbs
