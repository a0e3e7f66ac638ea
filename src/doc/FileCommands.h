// The file commands: Save, Save As, Delete, the save question, the two confirmation options
// and the JPEG quality box. They act on the document the picture view shows, reach the view
// and the picture browser through the small interfaces below, and ask their questions in
// message boxes.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QWidget;
class PictureDocument;

#include "commands/CommandRouter.h"

// What the file commands need of the picture view (implemented by PictureView).
class PictureViewLink {
public:
    virtual ~PictureViewLink() = default;
    // The document the view shows.
    virtual PictureDocument* ShownDocument() = 0;
    // Opens a picture file into the shown document; an empty path clears it.
    virtual void LoadPicture(const QString& path) = 0;
    // The window the questions and messages belong to.
    virtual QWidget* DialogParent() = 0;
    // Makes the view the active view of its frame, with the keyboard focus.
    virtual void ActivateView() = 0;
};

// What the file commands need of the picture browser pane (implemented by BrowserPane).
class PictureBrowserLink {
public:
    virtual ~PictureBrowserLink() = default;
    // Full path of the current thumbnail (the framed one), which is always the picture the
    // view shows when that is listed; empty when none is current.
    virtual QString CurrentPath() const = 0;
    // Drops the item whose path equals path and selects the next one.
    virtual void RemoveFile(const QString& path) = 0;
    // The shown picture was just written to path (Save, Save As): its thumbnail shows the new
    // content, or it appears when it is new in the listed folder, and it is the current one.
    virtual void FileWritten(const QString& path) = 0;
    // The view now shows the picture at path (empty: none): its thumbnail becomes the current
    // one without opening it again.
    virtual void PictureShown(const QString& path) = 0;
    // The listed picture step places after path (before it when step is negative); empty past
    // either end of the list or when path is not listed.
    virtual QString NeighbourPath(const QString& path, int step) const = 0;
    // The selected thumbnails' paths in list order: one or several, apart from the current one.
    virtual QStringList SelectedPaths() const = 0;
};

class FileCommands : public QObject {
    Q_OBJECT
public:
    explicit FileCommands(QObject* parent = nullptr);
    ~FileCommands() override;

    PictureViewLink* m_view = nullptr;
    PictureBrowserLink* m_picker = nullptr;
    bool m_confirmOverwrite = true;
    bool m_confirmDelete = true;

    const CommandHandlers& Handlers() const { return m_handlers; }

    // New: nothing to reset (the picture stays open); the picture view becomes the active
    // view again.
    void OnNewDocument();

    // Commands, also reachable through the router.
    void OnFileSave();
    void OnFileSaveAs();
    void OnDelete();
    // Delete with several thumbnails selected: one question for all of them.
    void DeleteSeveral(const QStringList& paths);
    // A quality box text (empty or not a number: 75) or a number (outside 0..100: 75).
    void OnJpegQuality(const CommandValue& value);
    int JpegQuality() const { return m_jpegQuality; }

    // Before the picture is left (another one opened, a paste, the program closed): a changed
    // picture is offered for saving. False when the user cancels or the save fails: the
    // picture must stay.
    bool SaveModified();
    bool m_askSaveChanges;   // the question is asked at all; kept in the settings store

    // The file usability test on the shown document's path.
    bool FileUsable() const;
    // A path is usable when it is not empty and names an existing regular file (no directory)
    // that is not read-only: the user may write it and it has a write permission bit.
    static bool FileUsable(const QString& path);
    // The "JPEG Quality" box text rule: trimmed decimal; empty, no number or outside 0..100
    // gives 75.
    static int ParseJpegQuality(const QString& text);
    // The stored "JPEG Quality", 75 when missing or outside 0..100.
    static int StoredJpegQuality();

private:
    void RegisterCommands();
    // The document the view shows, or null without a view.
    PictureDocument* Shown() const;
    bool PicturesValid() const;
    QWidget* DialogParent() const;
    // Writes the shown document to path; shows the failure messages.
    bool SaveShown(const QString& path);
    // Save As with fileName offered in the dialog.
    void SaveAsNamed(const QString& fileName);
    // A picture whose format the program reads but cannot write: says so, and offers Save As
    // with the JPEG name filled in.
    void OfferJpegSaveAs(const QString& path, const char* formatName);

    CommandHandlers m_handlers;
    int m_jpegQuality;   // what Save writes JPEG files with; kept in the settings store
};
