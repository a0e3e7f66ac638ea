#include "cutter/StarterCutters.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

// Where the source tree keeps them: given by the build, or found from this file's own path.
QString SourceTreeCutterFolder() {
#ifdef SNIPWELL_CUTTERS_SOURCE_DIR
    return QStringLiteral(SNIPWELL_CUTTERS_SOURCE_DIR);
#else
    return QFileInfo(QStringLiteral(__FILE__)).absolutePath() + QStringLiteral("/../../res/cutters");
#endif
}

QString ExistingFolder(const QString& path) {
    const QFileInfo info(path);
    return info.isDir() ? QDir::cleanPath(info.absoluteFilePath()) : QString();
}

}  // namespace

QString StarterCutterFolder() {
    if (QCoreApplication::instance()) {
        const QString installed =
            ExistingFolder(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/snipwell/cutters"));
        if (!installed.isEmpty()) return installed;
    }
    return ExistingFolder(SourceTreeCutterFolder());
}
