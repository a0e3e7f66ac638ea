// The user's own folders, as the desktop names them.
#pragma once

#include <QString>

namespace userfolders {

// The user's pictures folder when it exists, else the home folder.
QString PicturesOrHome();

}  // namespace userfolders
