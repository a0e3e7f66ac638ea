#include "BrowserPaneFactory.h"

#include "PicPickerView.h"

QWidget* CreateBrowserPane(CSnipwellDoc* document, QWidget* parent) {
    auto* pane = new PicPickerView(document, parent);
    pane->setObjectName(QStringLiteral("browserPane"));
    return pane;
}
