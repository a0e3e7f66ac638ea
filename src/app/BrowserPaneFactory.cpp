#include "BrowserPaneFactory.h"

#include "PicPickerView.h"

QWidget* CreateBrowserPane(CSnipwellDoc* document, QWidget* parent) {
    auto* pane = new PicPickerView(document, parent, PicPickerView::FolderStart::Later);
    pane->setObjectName(QStringLiteral("browserPane"));
    return pane;
}

void StartBrowserPane(QWidget* pane) {
    if (auto* picker = qobject_cast<PicPickerView*>(pane)) picker->ShowFolders();
}
