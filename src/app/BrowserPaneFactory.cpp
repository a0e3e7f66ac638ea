#include "app/BrowserPaneFactory.h"

#include "browser/BrowserPane.h"
#include "browser/ThumbnailList.h"
#include "doc/FileCommands.h"
#include "view/PictureView.h"

QWidget* CreateBrowserPane(FileCommands* document, QWidget* parent) {
    auto* pane = new BrowserPane(document, parent, BrowserPane::FolderStart::Later);
    pane->setObjectName(QStringLiteral("browserPane"));
    return pane;
}

void ConnectBrowserPane(QWidget* pane, PictureView* view, FileCommands* document) {
    if (auto* picker = qobject_cast<BrowserPane*>(pane)) {
        QObject::connect(picker, &BrowserPane::pictureChosen, view, [picker, view, document](const QString& path) {
            if (document == nullptr || document->SaveModified()) view->LoadPicture(path);
            // Whatever the answer, the list frames what the view shows: a cancelled choice
            // goes back to the picture kept, and a clicked cell opens again next time.
            picker->PictureShown(view->Path());
        });
    }
}

void StartBrowserPane(QWidget* pane) {
    if (auto* picker = qobject_cast<BrowserPane*>(pane)) picker->ShowFolders();
}

QString BrowserPaneFolder(QWidget* pane) {
    auto* picker = qobject_cast<BrowserPane*>(pane);
    return picker != nullptr ? picker->List()->CurrentFolder() : QString();
}

bool OpenInBrowserPane(QWidget* pane, const QString& path) {
    auto* picker = qobject_cast<BrowserPane*>(pane);
    return picker != nullptr && picker->OpenPath(path);
}
