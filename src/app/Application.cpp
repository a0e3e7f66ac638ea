#include "app/Application.h"

#include <QCoreApplication>
#include <QTimer>

#include "app/AboutDialog.h"
#include "app/MainWindow.h"
#include "doc/FileCommands.h"
#include "commands/CommandIds.h"
#include "platform/MessageService.h"
#include "platform/DisplayColourProfile.h"
#include "platform/SettingsStore.h"

Application::Application(StartupHooks hooks, QObject* parent) : QObject(parent), m_hooks(std::move(hooks)) {
    // The atlas is reachable process-wide (icon cutting) from the moment the object exists.
    SetInterfaceAtlas(&m_atlas);
    RegisterCommands();
}

Application::~Application() {
    // The frame and its views go before the document they point to.
    m_mainWindow.reset();
    m_document.reset();
    m_router.SetApplication(nullptr);
    m_router.SetDocument(nullptr);
    if (InterfaceAtlas() == &m_atlas) SetInterfaceAtlas(nullptr);
}

void Application::RegisterCommands() {
    // New re-initialises the single document; with no modified flag and no picture held by
    // the document there is nothing to ask, and the document makes its view active again.
    m_handlers.On(cmd::ID_FILE_NEW, [this] {
        if (m_document) m_document->OnNewDocument();
    });
    m_handlers.On(cmd::ID_APP_ABOUT, [this] { OnAppAbout(); });
    m_handlers.On(cmd::ID_APP_EXIT, [this] {
        if (m_mainWindow) m_mainWindow->close();
    });
    m_router.SetApplication(&m_handlers);
}

void Application::OnAppAbout() {
    AboutDialog dialog(m_mainWindow.get(), &m_atlas);
    dialog.exec();
}

bool Application::Start() {
    // 1-2. Common controls and the framework: Qt's widgets need no start call.
    // 3. There are no component libraries to start on this platform, so the OLE step always
    //    succeeds; kOleFailedText stays the message of that step.
    // 4. The interface image atlas.
    if (!LoadAtlas()) {
        MessageService::ShowMessage(QString::fromLatin1(kAtlasFailedText));
        return false;
    }
    // 5. The anti-aliased drawing layer.
    if (!StartDrawingLayer()) {
        MessageService::ShowMessage(QString::fromLatin1(kGdiPlusFailedText));
        return false;
    }
    // 6-8. Embedded controls need nothing; the settings store; no list of recent files.
    SelectSettingsStore();
    // Tagged pictures are shown in the screen's colours when the desktop publishes them.
    UseDisplayColourProfile();
    // 9-10. Context menus, keyboard, shell and tooltips are Qt's own; the tooltip look comes
    //       with the visual style's sheet.
    // 11-12. The single document with its frame and view. The view's "Edit" context menu
    //        (Copy, Paste) is built by the view itself, so nothing is registered here.
    //        Command-line arguments are not looked at.
    if (!OpenNewDocument()) {
        MessageService::ShowMessage(QString::fromLatin1(kNoDocumentText));
        return false;
    }
    // 13. Show the frame normally and paint it at once, its elements already in their states.
    m_router.RunUpdatePass();
    m_mainWindow->showNormal();
    m_mainWindow->repaint();
    // The rest of the start (the browser reading its folders) follows once the window has
    // been painted on screen.
    m_mainWindow->FinishStartupOncePainted();
    return true;
}

bool Application::LoadAtlas() {
    const bool loaded = m_hooks.loadAtlas ? m_hooks.loadAtlas(m_atlas) : ::LoadAtlas(m_atlas);
    return loaded && m_atlas.IsValid();
}

bool Application::StartDrawingLayer() {
    // The guard is kept even when it failed: the exit step deletes it.
    m_drawingGuard = std::make_unique<GDIPlus>(m_hooks.drawingProbe);
    return m_drawingGuard->Status() == GDIPlus::kOk;
}

void Application::SelectSettingsStore() {
    QCoreApplication::setOrganizationName(QString::fromLatin1(SettingsStore::kOrganization));
    QCoreApplication::setApplicationName(QString::fromLatin1(SettingsStore::kApplication));
}

bool Application::OpenNewDocument() {
    m_document = std::make_unique<FileCommands>();
    m_router.SetDocument(&m_document->Handlers());
    m_mainWindow = std::make_unique<MainWindow>(m_document.get());
    if (!m_mainWindow->Create()) {
        m_mainWindow.reset();
        return false;
    }
    return true;
}

void Application::Shutdown() {
    m_drawingGuard.reset();
}
