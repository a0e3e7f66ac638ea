#include "app/BrowserPaneFactory.h"

#include "browser/PicPickerView.h"
#include "view/CSnipwellView.h"

QWidget* CreateBrowserPane(CSnipwellDoc* document, QWidget* parent) {
    auto* pane = new PicPickerView(document, parent, PicPickerView::FolderStart::Later);
    pane->setObjectName(QStringLiteral("browserPane"));
    return pane;
}

void ConnectBrowserPane(QWidget* pane, CSnipwellView* view) {
    if (auto* picker = qobject_cast<PicPickerView*>(pane)) {
        QObject::connect(picker, &PicPickerView::pictureChosen, view, &CSnipwellView::LoadPicture);
    }
}

void StartBrowserPane(QWidget* pane) {
    if (auto* picker = qobject_cast<PicPickerView*>(pane)) picker->ShowFolders();
}
