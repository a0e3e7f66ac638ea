#include "BrowserPaneFactory.h"

#include <QWidget>

QWidget* CreateBrowserPane(CSnipwellDoc* document, QWidget* parent) {
    (void)document;
    // Until the folder tree and thumbnail list are in, the column holds an empty pane that
    // can take the focus (F6 moves between it and the picture view).
    auto* pane = new QWidget(parent);
    pane->setObjectName(QStringLiteral("browserPane"));
    pane->setFocusPolicy(Qt::StrongFocus);
    return pane;
}
