// The application object: loads the interface image atlas, names the program (settings
// store, version), creates the single document with its main frame and view, and shows the
// frame, opening the file or folder the program was started with. A failed step shows its
// message and start-up reports failure, after which the process ends.
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

#include <QImage>

#include "commands/CommandRouter.h"

class MainWindow;
class FileCommands;

class Application : public QObject {
    Q_OBJECT
public:
    // The fixed texts of the failed start-up steps.
    static constexpr const char* kAtlasFailedText =
        "Could not start: the program's interface pictures could not be read (the installation may be damaged).";
    static constexpr const char* kNoDocumentText = "Could not start: there is not enough memory for an empty picture.";

    // Replacements for the steps that can fail, for tests; empty members run the real step.
    struct StartupHooks {
        std::function<bool(QImage& atlas)> loadAtlas;
    };

    explicit Application(StartupHooks hooks = {}, QObject* parent = nullptr);
    ~Application() override;

    // The start-up steps in order; false when one failed (its message has been shown). A
    // non-empty startPath (a picture or a folder) is opened in the shown frame; one that cannot
    // be is named in a message and the start goes on.
    bool Start(const QString& startPath = QString());

    const CommandHandlers& Handlers() const { return m_handlers; }
    CommandRouter& Router() { return m_router; }
    const QImage& Atlas() const { return m_atlas; }
    FileCommands* Files() const { return m_document.get(); }
    MainWindow* Window() const { return m_mainWindow.get(); }

private:
    bool LoadAtlas();
    void NameTheProgram();
    // The largest picture the image core may make, from this machine's memory.
    void LimitPictureMemory();
    bool OpenNewDocument();
    void RegisterCommands();
    void OnAppAbout();

    StartupHooks m_hooks;
    CommandRouter m_router;
    CommandHandlers m_handlers;
    QImage m_atlas;
    std::unique_ptr<FileCommands> m_document;
    std::unique_ptr<MainWindow> m_mainWindow;
};
