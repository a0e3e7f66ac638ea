// The single document: holds no picture of its own; it links the picture view and the picture
// browser, carries the two confirmation options, and handles Save, Save As, Delete, the
// confirmation toggles and the JPEG quality box.
#pragma once

#include <QObject>
#include <QString>

class QWidget;

#include "commands/CommandRouter.h"

// What the document needs of the picture view (implemented by PictureView).
class PictureViewLink {
public:
    virtual ~PictureViewLink() = default;
    // The working picture and its view copy both hold pixels.
    virtual bool PicturesValid() const = 0;
    // Path of the picture shown, or empty.
    virtual const QString& Path() const = 0;
    // Writes the working picture to path; shows its own failure messages.
    virtual bool SavePicture(const QString& path) = 0;
    // Opens a picture file; an empty path clears the view.
    virtual void LoadPicture(const QString& path) = 0;
    // The window the document's questions and messages belong to.
    virtual QWidget* DialogParent() = 0;
    // The working picture has changes that are not in its file.
    virtual bool IsModified() const = 0;
    // The name the picture is saved under, for the save question.
    virtual QString PictureName() const = 0;
    // Makes the view the active view of its frame, with the keyboard focus.
    virtual void ActivateView() = 0;
};

// What the document needs of the picture browser pane (implemented by BrowserPane).
class PictureBrowserLink {
public:
    virtual ~PictureBrowserLink() = default;
    // Full path of the selected thumbnail, or empty.
    virtual QString GetSelectedPath() const = 0;
    // Drops the item whose path equals path (ignoring case) and selects the next one.
    virtual void RemoveFile(const QString& path) = 0;
    // The picture file at path was just written (Save, Save As): its thumbnail shows the new
    // content, or it appears when it is new in the listed folder.
    virtual void FileWritten(const QString& path) = 0;
};

class PictureDocument : public QObject {
    Q_OBJECT
public:
    explicit PictureDocument(QObject* parent = nullptr);
    ~PictureDocument() override;

    PictureViewLink* m_view = nullptr;
    PictureBrowserLink* m_picker = nullptr;
    bool m_confirmOverwrite = true;
    bool m_confirmDelete = true;

    const CommandHandlers& Handlers() const { return m_handlers; }

    // New on the single document: nothing to reset (no picture, no modified flag); the picture
    // view becomes the active view again.
    void OnNewDocument();

    // Commands, also reachable through the router.
    void OnFileSave();
    void OnFileSaveAs();
    void OnDelete();
    // A quality box text (empty or not a number: 75) or a number (outside 0..100: 75).
    void OnJpegQuality(const CommandValue& value);
    int JpegQuality() const { return m_jpegQuality; }

    // Before the picture is left (another one opened, a paste, the program closed): a changed
    // picture is offered for saving. False when the user cancels or the save fails: the
    // picture must stay.
    bool SaveModified();
    bool m_askSaveChanges;   // the question is asked at all; kept in the settings store

    // The file usability test on the view's path.
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
    bool PicturesValid() const;
    QWidget* DialogParent() const;

    CommandHandlers m_handlers;
    int m_jpegQuality;   // what Save writes JPEG files with; kept in the settings store
};
