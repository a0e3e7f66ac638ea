#include "platform/FileDialogService.h"

#include <QApplication>
#include <QFileDialog>

namespace {
FileDialogService::Chooser g_chooser;
}  // namespace

void FileDialogService::SetChooser(Chooser chooser) {
    g_chooser = std::move(chooser);
}

void FileDialogService::Prepare(QFileDialog& dialog, const FileDialogRequest& request) {
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!request.folder.isEmpty()) dialog.setDirectory(request.folder);
    if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);
    // Qt's dialog matches the patterns in any letter case, so a camera's "IMG_0001.JPG" is
    // offered under "*.jpg".
    if (!request.filter.isEmpty()) dialog.setNameFilter(request.filter);
    if (!request.defaultExtension.isEmpty()) dialog.setDefaultSuffix(request.defaultExtension);
}

QString FileDialogService::Choose(const FileDialogRequest& request, QWidget* parent) {
    if (g_chooser) return g_chooser(request);
    QFileDialog dialog(parent ? parent : QApplication::activeWindow());
    Prepare(dialog, request);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().first();
}
