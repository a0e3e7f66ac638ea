// The file-open and file-save dialogs. Tests install a scripted chooser so that no real modal
// dialog opens; without one, QFileDialog is used.
#pragma once

#include <QString>

#include <functional>

class QFileDialog;
class QWidget;

struct FileDialogRequest {
    bool save = false;            // save dialog (asks before overwriting) or open dialog
    QString folder;               // initial folder (may be empty)
    QString fileName;             // initial file name (may be empty)
    QString filter;               // name filters, "Description (*.a *.b);;Other (*.c)"
    QString defaultExtension;     // added when the chosen name has none (save dialogs)
    bool mustExist = false;       // open dialogs: the file must exist
};

class FileDialogService {
public:
    // The chosen path, or empty when the user cancels.
    using Chooser = std::function<QString(const FileDialogRequest& request)>;

    static QString Choose(const FileDialogRequest& request, QWidget* parent = nullptr);
    // Sets up dialog as request asks: mode, folder, name, filters, default suffix.
    static void Prepare(QFileDialog& dialog, const FileDialogRequest& request);

    static void SetChooser(Chooser chooser);
};
