// The main window: the ribbon at the top, the status bar with its three panes at the bottom,
// and between them a 1 x 2 splitter holding the picture browser (360 pixels wide at first)
// and the picture view. It keeps the visual style and handles the style commands, the
// accelerator keys and F6 / Shift+F6 between the two panes. Its title is the program's name,
// preceded by the shown picture's name (and a mark while it has unsaved changes).
#pragma once

#include <QMainWindow>

#include <cstdint>

#include "commands/CommandRouter.h"

class FileCommands;
class PictureView;
class MainRibbonBar;
class QSplitter;
class SnipwellStatusBar;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kBrowserPaneWidth = 360;
    static constexpr int kInitialWidth = 1280;
    static constexpr int kInitialHeight = 800;

    // Reads the visual style from "ApplicationLook" (216 when missing).
    explicit MainWindow(FileCommands* document, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The frame's creation steps: client area (splitter and panes), title, visual style,
    // ribbon, status bar and its panes, accelerators. False when a required part fails.
    bool Create();

    // What waits until the frame is on screen: the browser reads its folders.
    void FinishStartup();
    // Runs FinishStartup on the event loop's turn after the frame's first paint (or after a
    // short while when no paint comes, as for a window started minimised).
    void FinishStartupOncePainted();
    bool StartupPending() const { return m_startupPending; }

    // The visual style command (215..218).
    void OnApplicationLook(uint32_t id);
    uint32_t ApplicationLook() const { return m_appLook; }

    const CommandHandlers& Handlers() const { return m_handlers; }

    MainRibbonBar* Ribbon() const { return m_ribbon; }
    SnipwellStatusBar* StatusBar() const { return m_statusBar; }
    QSplitter* Splitter() const { return m_splitter; }
    QWidget* Browser() const { return m_browserPane; }
    PictureView* View() const { return m_view; }

    // F6 and Shift+F6: the focus moves to the next or previous pane.
    void ActivateNextPane(bool forward);

    // Lists a folder, or a picture's folder with the picture selected and shown, as if the user
    // had chosen it in the browser; a path that cannot be opened is named in a message with the
    // reason, and false comes back.
    bool OpenPath(const QString& path);

    // The first window's size: the wanted size, each side cut to what the screen has room for.
    // At a fractional scale the available size in device-independent pixels is rounded, and
    // may stand for one device pixel more than the screen has; the fitted size never does.
    static QSize FittedSize(QSize wanted, QSize available, qreal scale = 1.0);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    // A file or folder dropped on the window opens as OpenPath does (the first of several).
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    bool CreateClient();
    void CreateAccelerators();
    void ApplyLook();
    void RegisterCommands();
    // Export Order: the print order's dialog over the browser's folder and selection.
    void ExportOrder();
    // Print Sheets and Contact Sheet: the sheets' dialog over the same photos.
    void PrintSheets(bool contact);
    void OnFocusChanged(QWidget* old, QWidget* now);

    // "*NAME - Norvane Snipwell" while a picture is shown, the modified mark first.
    void UpdateTitle();

    FileCommands* m_document;
    MainRibbonBar* m_ribbon = nullptr;
    SnipwellStatusBar* m_statusBar = nullptr;
    QSplitter* m_splitter = nullptr;
    QWidget* m_browserPane = nullptr;
    PictureView* m_view = nullptr;
    uint32_t m_appLook;
    bool m_startupPending = false;
    CommandHandlers m_handlers;
    CommandHandlers m_browserHandlers;  // the browser pane as the active view: it handles nothing itself
};
