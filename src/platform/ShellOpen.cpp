#include "platform/ShellOpen.h"

#include <QDesktopServices>
#include <QUrl>

namespace {
std::function<bool(const QString&)> g_opener;
}  // namespace

void ShellOpen::SetOpener(std::function<bool(const QString&)> opener) {
    g_opener = std::move(opener);
}

bool ShellOpen::OpenUrl(const QString& url) {
    if (g_opener) return g_opener(url);
    return QDesktopServices::openUrl(QUrl(url));
}
