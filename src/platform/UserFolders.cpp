#include "platform/UserFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace userfolders {

QString PicturesOrHome() {
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return !pictures.isEmpty() && QFileInfo(pictures).isDir() ? pictures : QDir::homePath();
}

}  // namespace userfolders
