#include "platform/FileDialogService.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace {
FileDialogService::Chooser g_chooser;
}  // namespace

void FileDialogService::SetChooser(Chooser chooser) {
    g_chooser = std::move(chooser);
}

QString FileDialogService::QtFilter(const QString& filter) {
    // "Description|*.a;*.b|Other|*.c||" -> "Description (*.a *.b);;Other (*.c)"
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) break;
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        entries << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
    }
    return entries.join(QStringLiteral(";;"));
}

QString FileDialogService::Choose(const FileDialogRequest& request, QWidget* parent) {
    if (g_chooser) return g_chooser(request);
    QFileDialog dialog(parent ? parent : QApplication::activeWindow());
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!request.folder.isEmpty()) dialog.setDirectory(request.folder);
    if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);
    if (!request.filter.isEmpty()) dialog.setNameFilter(QtFilter(request.filter));
    if (!request.defaultExtension.isEmpty()) dialog.setDefaultSuffix(request.defaultExtension);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().first();
}
