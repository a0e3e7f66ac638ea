// The document's file commands: Save, Save As, Delete, the confirmation toggles and the JPEG
// quality box. The picture itself lives in the view; the document only routes.
#include "doc/PictureDocument.h"

#include <limits>
#include <optional>
#include <variant>

#include "commands/CommandIds.h"
#include "image/RasterFormatTable.h"
#include "platform/FileChecks.h"
#include "platform/FileDialogService.h"
#include "platform/MessageService.h"
#include "commands/SettingsKeys.h"
#include "platform/SettingsStore.h"

namespace {

constexpr const char* kSaveAsDefaultExtension = "jpg";
constexpr QChar kPathSeparator = u'/';

bool InJpegQualityRange(long long value) {
    return value >= settings::kJpegQualityMin && value <= settings::kJpegQualityMax;
}

// Leading decimal number with an optional sign, as the classic C conversion reads it: the
// digits stop at the first other character. Empty when the text has no leading digits.
// Saturates instead of overflowing (anything that large is out of range anyway).
std::optional<long long> LeadingInteger(const QString& text) {
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    if (i >= text.size() || text[i] < u'0' || text[i] > u'9') return std::nullopt;
    long long value = 0;
    constexpr long long kCap = std::numeric_limits<int>::max();
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > kCap) value = kCap;
    }
    return negative ? -value : value;
}

// The folder part of a path (before its last separator), or empty when the separator is its
// first character or missing.
QString FolderPart(const QString& path) {
    const qsizetype slash = path.lastIndexOf(kPathSeparator);
    return slash > 0 ? path.left(slash) : QString();
}

}  // namespace

PictureDocument::PictureDocument(QObject* parent)
    : QObject(parent),
      m_askSaveChanges(SettingsStore::ReadInt(settings::kSection, settings::kAskSaveChanges, 1) != 0),
      m_jpegQuality(StoredJpegQuality()) {
    RegisterCommands();
}

PictureDocument::~PictureDocument() = default;

void PictureDocument::RegisterCommands() {
    m_handlers.On(cmd::ID_FILE_OPEN, [] {});  // pictures are opened through the browser only
    m_handlers.On(
        cmd::ID_FILE_SAVE, [this] { OnFileSave(); },
        [this](CommandUpdate& u) { u.enabled = PicturesValid() && FileUsable(); });
    m_handlers.On(
        cmd::ID_FILE_SAVE_AS, [this] { OnFileSaveAs(); }, [this](CommandUpdate& u) { u.enabled = PicturesValid(); });
    m_handlers.On(
        cmd::ID_DELETE, [this] { OnDelete(); }, [this](CommandUpdate& u) { u.enabled = FileUsable(); });
    m_handlers.On(
        cmd::ID_CONFIRM_OVERWRITE, [this] { m_confirmOverwrite = !m_confirmOverwrite; },
        [this](CommandUpdate& u) { u.checked = m_confirmOverwrite; });
    m_handlers.On(
        cmd::ID_ASK_SAVE_CHANGES,
        [this] {
            m_askSaveChanges = !m_askSaveChanges;
            SettingsStore::WriteInt(settings::kSection, settings::kAskSaveChanges, m_askSaveChanges ? 1 : 0);
        },
        [this](CommandUpdate& u) { u.checked = m_askSaveChanges; });
    m_handlers.On(
        cmd::ID_CONFIRM_DELETE, [this] { m_confirmDelete = !m_confirmDelete; },
        [this](CommandUpdate& u) { u.checked = m_confirmDelete; });
    m_handlers.OnValue(
        cmd::ID_JPEG_QUALITY, [this](const CommandValue& value) { OnJpegQuality(value); },
        [this](CommandUpdate& u) { u.value = m_jpegQuality; });
}

void PictureDocument::OnNewDocument() {
    if (m_view) m_view->ActivateView();
}

bool PictureDocument::PicturesValid() const { return m_view && m_view->PicturesValid(); }

QWidget* PictureDocument::DialogParent() const { return m_view ? m_view->DialogParent() : nullptr; }

bool PictureDocument::FileUsable() const { return m_view && FileUsable(m_view->Path()); }

bool PictureDocument::FileUsable(const QString& path) { return filechecks::IsWritableRegularFile(path); }

int PictureDocument::ParseJpegQuality(const QString& text) {
    // Text that is no number counts as empty: a quality of 0 would ruin every saved JPEG.
    const std::optional<long long> value = LeadingInteger(text.trimmed());
    return value && InJpegQualityRange(*value) ? int(*value) : settings::kJpegQualityDefault;
}

int PictureDocument::StoredJpegQuality() {
    const int stored = SettingsStore::ReadInt(settings::kSection, settings::kJpegQuality, settings::kJpegQualityDefault);
    return InJpegQualityRange(stored) ? stored : settings::kJpegQualityDefault;
}

void PictureDocument::OnFileSave() {
    if (!PicturesValid() || !FileUsable()) return;
    const QString path = m_view->Path();
    const QString selected = m_picker ? m_picker->GetSelectedPath() : QString();
    // Ask only when the picture written over is the one the browser has selected.
    if (m_confirmOverwrite && selected.compare(path, Qt::CaseInsensitive) == 0 &&
        !MessageService::AskYesNo("This will overwrite " + selected + ".\n\nContinue?", DialogParent())) {
        return;
    }
    if (m_view->SavePicture(path) && m_picker) m_picker->FileWritten(path);
}

void PictureDocument::OnFileSaveAs() {
    if (!PicturesValid()) return;
    const QString current = m_view->Path();
    const qsizetype slash = current.lastIndexOf(kPathSeparator);

    FileDialogRequest request;
    request.save = true;
    request.folder = SettingsStore::ReadString(settings::kSection, settings::kSaveAsFileDir);
    if (request.folder.isEmpty()) request.folder = FolderPart(current);
    request.fileName = slash > 0 ? current.mid(slash + 1) : QString();
    request.filter = QString::fromStdString(RasterSaveFilter());
    request.defaultExtension = kSaveAsDefaultExtension;

    const QString chosen = FileDialogService::Choose(request, DialogParent());
    if (chosen.isEmpty() || !m_view->SavePicture(chosen)) return;
    if (m_picker) m_picker->FileWritten(m_view->Path());
    // The extension of the chosen path, not the filter entry, decided the format.
    const QString folder = FolderPart(m_view->Path());
    if (!folder.isEmpty()) SettingsStore::WriteString(settings::kSection, settings::kSaveAsFileDir, folder);
}

bool PictureDocument::SaveModified() {
    if (!m_askSaveChanges || !m_view || !m_view->IsModified()) return true;
    switch (MessageService::AskSaveDiscardCancel("Save changes to " + m_view->PictureName() + "?", DialogParent())) {
    case MessageAnswer::No:
        return true;
    case MessageAnswer::Yes:
        // As Save (its own question included); a picture without a writable file goes
        // through Save As. Whatever does not end in a saved picture keeps it.
        if (FileUsable()) {
            OnFileSave();
        } else {
            OnFileSaveAs();
        }
        return !m_view->IsModified();
    default:
        return false;
    }
}

void PictureDocument::OnDelete() {
    if (!FileUsable()) return;
    const QString path = m_view->Path();
    if (m_confirmDelete && !MessageService::AskYesNo("This will delete " + path + "\n\nContinue?", DialogParent())) {
        return;
    }
    // Permanent: there is no recycle bin to move the file to.
    if (!filechecks::RemoveFile(path)) {
        MessageService::ShowMessage("Failed.", DialogParent());
        return;
    }
    m_view->LoadPicture(QString());
    if (!path.isEmpty() && m_picker) m_picker->RemoveFile(path);
}

void PictureDocument::OnJpegQuality(const CommandValue& value) {
    if (const QString* text = std::get_if<QString>(&value)) {
        m_jpegQuality = ParseJpegQuality(*text);
    } else {
        const int number = std::get<int>(value);
        m_jpegQuality = InJpegQualityRange(number) ? number : settings::kJpegQualityDefault;
    }
    SettingsStore::WriteInt(settings::kSection, settings::kJpegQuality, m_jpegQuality);
}
