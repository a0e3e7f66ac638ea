// Creates the picture browser pane of the main frame's left column.
#pragma once

class FileCommands;
class PictureView;
class QString;
class QWidget;

// The browser pane for the document, as a child of parent; null when it cannot be created.
// Its folders are not read yet: StartBrowserPane does that once the window is on screen.
QWidget* CreateBrowserPane(FileCommands* document, QWidget* parent);

// Opens the pictures the user chooses in the pane's thumbnail list in view, once the document
// has offered a changed picture for saving.
void ConnectBrowserPane(QWidget* pane, PictureView* view, FileCommands* document);

// Fills a pane made by CreateBrowserPane: the folder tree and the remembered folder's pictures.
void StartBrowserPane(QWidget* pane);

// Opens a file or folder in a pane made by CreateBrowserPane as if the user had chosen it;
// false when the pane cannot show it.
bool OpenInBrowserPane(QWidget* pane, const QString& path);

// The folder the browser lists; empty when none.
QString BrowserPaneFolder(QWidget* pane);
