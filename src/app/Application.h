// The application object: starts the program's services in a fixed order, loads the interface
// image atlas, checks the anti-aliased drawing layer, creates the single document with its
// main frame and view, shows the frame, and shuts down in order. A failed step shows its
// message and start-up reports failure, after which the process ends.
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

#include "commands/CommandRouter.h"
#include "app/GDIPlus.h"
#include "app/IconAtlas.h"

class MainWindow;
class FileCommands;

class Application : public QObject {
    Q_OBJECT
public:
    // The fixed texts of the failed start-up steps.
    static constexpr const char* kOleFailedText =
        "OLE initialization failed.  Make sure that the OLE libraries are the correct version.";
    static constexpr const char* kAtlasFailedText = "Resource Image Lib failed.";
    static constexpr const char* kGdiPlusFailedText = "GDI Plus failed.";
    static constexpr const char* kNoDocumentText = "Failed to create empty document.";

    // Replacements for the steps that can fail, for tests; empty members run the real step.
    struct StartupHooks {
        std::function<bool(RasterImage& atlas)> loadAtlas;
        GDIPlus::Probe drawingProbe;
    };

    explicit Application(StartupHooks hooks = {}, QObject* parent = nullptr);
    ~Application() override;

    // The start-up steps in order; false when one failed (its message has been shown).
    bool Start();
    // The exit step: releases the drawing layer guard.
    void Shutdown();

    const CommandHandlers& Handlers() const { return m_handlers; }
    CommandRouter& Router() { return m_router; }
    const RasterImage& Atlas() const { return m_atlas; }
    const GDIPlus* GraphicsGuard() const { return m_drawingGuard.get(); }
    FileCommands* Document() const { return m_document.get(); }
    MainWindow* Window() const { return m_mainWindow.get(); }

private:
    bool LoadAtlas();
    bool StartDrawingLayer();
    void SelectSettingsStore();
    bool OpenNewDocument();
    void RegisterCommands();
    void OnAppAbout();

    StartupHooks m_hooks;
    CommandRouter m_router;
    CommandHandlers m_handlers;
    std::unique_ptr<GDIPlus> m_drawingGuard;  // null until the drawing layer step
    IconAtlas m_atlas;
    std::unique_ptr<FileCommands> m_document;
    std::unique_ptr<MainWindow> m_mainWindow;
};
