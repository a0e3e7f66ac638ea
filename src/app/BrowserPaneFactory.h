// Creates the picture browser pane of the main frame's left column.
#pragma once

class CSnipwellDoc;
class QWidget;

// The browser pane for the document, as a child of parent; null when it cannot be created.
QWidget* CreateBrowserPane(CSnipwellDoc* document, QWidget* parent);
