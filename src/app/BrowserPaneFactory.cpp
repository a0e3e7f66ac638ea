#include "app/BrowserPaneFactory.h"

#include "browser/PicPickerView.h"
#include "doc/CSnipwellDoc.h"
#include "view/CSnipwellView.h"

QWidget* CreateBrowserPane(CSnipwellDoc* document, QWidget* parent) {
    auto* pane = new PicPickerView(document, parent, PicPickerView::FolderStart::Later);
    pane->setObjectName(QStringLiteral("browserPane"));
    return pane;
}

void ConnectBrowserPane(QWidget* pane, CSnipwellView* view, CSnipwellDoc* document) {
    if (auto* picker = qobject_cast<PicPickerView*>(pane)) {
        QObject::connect(picker, &PicPickerView::pictureChosen, view, [view, document](const QString& path) {
            if (document == nullptr || document->SaveModified()) view->LoadPicture(path);
        });
    }
}

void StartBrowserPane(QWidget* pane) {
    if (auto* picker = qobject_cast<PicPickerView*>(pane)) picker->ShowFolders();
}
