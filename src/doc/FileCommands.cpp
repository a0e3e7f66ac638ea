// The file commands on the document the view shows: Save, Save As, Delete, the save question,
// the confirmation toggles and the JPEG quality box.
#include "doc/FileCommands.h"

#include <cerrno>
#include <cstring>
#include <limits>
#include <optional>
#include <variant>

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include "commands/CommandIds.h"
#include "platform/FileProblemText.h"
#include "doc/KeptBoxes.h"
#include "doc/PictureDocument.h"
#include "image/formats/RasterImageHEIF.h"
#include "image/RasterFormatTable.h"
#include "platform/FileChecks.h"
#include "platform/FileDialogService.h"
#include "platform/MessageService.h"
#include "commands/SettingsKeys.h"
#include "platform/SettingsStore.h"
#include "platform/WaitCursor.h"

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

// The format path's extension names when the program reads it but cannot write it; null
// when it can write it or the extension names no format.
const RasterFormat* UnwritableFormatOf(const QString& path) {
    const RasterFormat* format = RasterFormatByExtension(QFile::encodeName(QFileInfo(path).suffix()).constData());
    return format != nullptr && format->encode == nullptr ? format : nullptr;
}

// The name path gets when the picture goes out as a JPEG beside it.
QString JpegNameFor(const QString& path) { return QFileInfo(path).completeBaseName() + QStringLiteral(".jpg"); }

// What saving over a file drops of what it held besides the picture shown; empty when nothing.
QString ExtrasWarning(const PictureDocument& document) {
    const uint32_t extras = document.ExtrasLostBySave();
    if (extras == RASTER_HEIF_EXTRA_NONE) return {};
    QStringList lost;
    if (extras & RASTER_HEIF_EXTRA_DEEP_SAMPLES) lost << QStringLiteral("its more than 8 bits a colour");
    if (extras & RASTER_HEIF_EXTRA_DEPTH_MAP) lost << QStringLiteral("its depth map");
    if (extras & RASTER_HEIF_EXTRA_AUXILIARY) lost << QStringLiteral("its auxiliary pictures");
    if (extras & RASTER_HEIF_EXTRA_MORE_PICTURES) lost << QStringLiteral("the other pictures it holds");
    return QStringLiteral("\n\nSaving over %1 keeps only the picture shown, in 8 bits a colour: %2 will be lost.")
        .arg(document.PictureName(), lost.join(QStringLiteral(", ")));
}

}  // namespace

FileCommands::FileCommands(QObject* parent)
    : QObject(parent),
      m_askSaveChanges(SettingsStore::ReadInt(settings::kSection, settings::kAskSaveChanges, 1) != 0),
      m_jpegQuality(StoredJpegQuality()) {
    RegisterCommands();
}

FileCommands::~FileCommands() = default;

void FileCommands::RegisterCommands() {
    m_handlers.On(cmd::ID_FILE_OPEN, [] {});  // pictures are opened through the browser only
    m_handlers.On(
        cmd::ID_FILE_SAVE, [this] { OnFileSave(); },
        [this](CommandUpdate& u) { u.enabled = PicturesValid() && FileUsable(); });
    m_handlers.On(
        cmd::ID_FILE_SAVE_AS, [this] { OnFileSaveAs(); }, [this](CommandUpdate& u) { u.enabled = PicturesValid(); });
    m_handlers.On(
        cmd::ID_DELETE, [this] { OnDelete(); },
        [this](CommandUpdate& u) { u.enabled = FileUsable() || (m_picker && m_picker->SelectedPaths().size() > 1); });
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

void FileCommands::OnNewDocument() {
    if (m_view) m_view->ActivateView();
}

PictureDocument* FileCommands::Shown() const { return m_view ? m_view->ShownDocument() : nullptr; }

// Nothing is saved or deleted while a long operation runs on the picture.
bool FileCommands::PicturesValid() const {
    return Shown() != nullptr && Shown()->PicturesValid() && !Shown()->IsBusy();
}

QWidget* FileCommands::DialogParent() const { return m_view ? m_view->DialogParent() : nullptr; }

bool FileCommands::FileUsable() const {
    return Shown() != nullptr && !Shown()->IsBusy() && FileUsable(Shown()->Path());
}

bool FileCommands::FileUsable(const QString& path) { return filechecks::IsWritableRegularFile(path); }

int FileCommands::ParseJpegQuality(const QString& text) {
    // Text that is no number counts as empty: a quality of 0 would ruin every saved JPEG.
    const std::optional<long long> value = LeadingInteger(text.trimmed());
    return value && InJpegQualityRange(*value) ? int(*value) : settings::kJpegQualityDefault;
}

int FileCommands::StoredJpegQuality() {
    const int stored = SettingsStore::ReadInt(settings::kSection, settings::kJpegQuality, settings::kJpegQualityDefault);
    return InJpegQualityRange(stored) ? stored : settings::kJpegQualityDefault;
}

void FileCommands::OnFileSave() {
    if (!PicturesValid() || !FileUsable()) return;
    const QString path = Shown()->Path();
    if (const RasterFormat* format = UnwritableFormatOf(path)) {
        OfferJpegSaveAs(path, format->name);
        return;
    }
    const QString selected = m_picker ? m_picker->CurrentPath() : QString();
    // Ask only when the picture written over is the browser's current photo; file names
    // that differ only in letter case name different files. What the file holds besides the
    // picture and would lose is said even when the question is turned off.
    const QString extras = ExtrasWarning(*Shown());
    const bool ask = (m_confirmOverwrite && selected == path) || !extras.isEmpty();
    if (ask && !MessageService::AskYesNo("This will overwrite " + path + "." + extras + "\n\nContinue?", DialogParent())) {
        return;
    }
    if (SaveShown(path) && m_picker) m_picker->FileWritten(path);
}

bool FileCommands::SaveShown(const QString& path) {
    // A turned JPEG whose sides are not whole blocks keeps every remaining pixel only when its
    // partial edge blocks are left out: the user decides.
    bool trim = false;
    if (const QString question = Shown()->TrimQuestion(path); !question.isEmpty()) {
        switch (MessageService::AskTwoWays(question, QStringLiteral("&Trim"), QStringLiteral("&Encode Again"), DialogParent())) {
        case MessageAnswer::Yes:
            trim = true;
            break;
        case MessageAnswer::No:
            break;
        default:
            return false;
        }
    }
    WaitCursor wait;
    const FileOutcome outcome = Shown()->Save(path, StoredJpegQuality(), trim);
    wait.Release();
    if (!outcome.ok) MessageService::ShowMessage(outcome.error, DialogParent());
    return outcome.ok;
}

void FileCommands::OfferJpegSaveAs(const QString& path, const char* formatName) {
    const QString jpegName = JpegNameFor(path);
    const QString question = QStringLiteral("Could not save %1: this program reads %2 pictures but cannot write them."
                                            "\n\nSave the picture as %3 instead?")
                                 .arg(FileNameOf(path), QString::fromLatin1(formatName), jpegName);
    if (MessageService::AskYesNo(question, DialogParent())) SaveAsNamed(jpegName);
}

void FileCommands::OnFileSaveAs() {
    if (!PicturesValid()) return;
    const QString current = Shown()->Path();
    const qsizetype slash = current.lastIndexOf(kPathSeparator);
    SaveAsNamed(slash > 0 ? current.mid(slash + 1) : QString());
}

void FileCommands::SaveAsNamed(const QString& fileName) {
    if (!PicturesValid()) return;
    const QString current = Shown()->Path();

    FileDialogRequest request;
    request.save = true;
    request.folder = SettingsStore::ReadString(settings::kSection, settings::kSaveAsFileDir);
    if (request.folder.isEmpty()) request.folder = FolderPart(current);
    request.fileName = fileName;
    request.filter = QString::fromStdString(RasterSaveFilter());
    request.defaultExtension = kSaveAsDefaultExtension;

    const QString chosen = FileDialogService::Choose(request, DialogParent());
    if (chosen.isEmpty() || !SaveShown(chosen)) return;
    if (m_picker) m_picker->FileWritten(Shown()->Path());
    // The extension of the chosen path, not the filter entry, decided the format.
    const QString folder = FolderPart(Shown()->Path());
    if (!folder.isEmpty()) SettingsStore::WriteString(settings::kSection, settings::kSaveAsFileDir, folder);
}

bool FileCommands::SaveModified() {
    PictureDocument* document = Shown();
    // The picture is left only once the operation running on it has ended.
    if (document != nullptr) document->FinishJob();
    if (!m_askSaveChanges || document == nullptr || !document->IsModified()) return true;
    // Yes saves over the file when it can be written, and loses what the file held besides.
    const QString extras = FileUsable() && UnwritableFormatOf(document->Path()) == nullptr ? ExtrasWarning(*document) : QString();
    switch (MessageService::AskSaveDiscardCancel("Save changes to " + document->PictureName() + "?" + extras, DialogParent())) {
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
        return !document->IsModified();
    default:
        return false;
    }
}

void FileCommands::OnDelete() {
    const QStringList selected = m_picker ? m_picker->SelectedPaths() : QStringList();
    if (selected.size() > 1) {
        DeleteSeveral(selected);
        return;
    }
    if (!FileUsable()) return;
    const QString path = Shown()->Path();
    if (m_confirmDelete && !MessageService::AskYesNo("This will delete " + path + "\n\nContinue?", DialogParent())) {
        return;
    }
    // Permanent: there is no recycle bin to move the file to.
    if (!filechecks::RemoveFile(path)) {
        MessageService::ShowMessage(QStringLiteral("Could not delete %1: %2.").arg(FileNameOf(path), ReasonFromCoreError(std::strerror(errno))),
                                    DialogParent());
        return;
    }
    KeptBoxes::Instance().Discard(path);
    m_view->LoadPicture(QString());
    if (!path.isEmpty() && m_picker) m_picker->RemoveFile(path);
}

void FileCommands::DeleteSeveral(const QStringList& paths) {
    constexpr int kNamesListed = 10;
    QStringList names;
    for (const QString& path : paths.mid(0, kNamesListed)) names.append(FileNameOf(path));
    if (paths.size() > kNamesListed) names.append(QStringLiteral("and %1 more").arg(paths.size() - kNamesListed));
    const QString question =
        QStringLiteral("This will delete %1 pictures:\n%2\n\nContinue?").arg(paths.size()).arg(names.join(QLatin1Char('\n')));
    if (m_confirmDelete && !MessageService::AskYesNo(question, DialogParent())) return;
    QStringList failures;
    const QString shown = Shown() ? Shown()->Path() : QString();
    for (const QString& path : paths) {
        if (!filechecks::RemoveFile(path)) {
            failures.append(QStringLiteral("%1: %2").arg(FileNameOf(path), ReasonFromCoreError(std::strerror(errno))));
            continue;
        }
        KeptBoxes::Instance().Discard(path);
        if (path == shown && m_view) m_view->LoadPicture(QString());
        if (m_picker) m_picker->RemoveFile(path);
    }
    if (!failures.isEmpty()) {
        MessageService::ShowMessage(QStringLiteral("Could not delete %1 of the pictures:\n%2")
                                        .arg(failures.size())
                                        .arg(failures.join(QLatin1Char('\n'))),
                                    DialogParent());
    }
}

void FileCommands::OnJpegQuality(const CommandValue& value) {
    if (const QString* text = std::get_if<QString>(&value)) {
        m_jpegQuality = ParseJpegQuality(*text);
    } else {
        const int number = std::get<int>(value);
        m_jpegQuality = InJpegQualityRange(number) ? number : settings::kJpegQualityDefault;
    }
    SettingsStore::WriteInt(settings::kSection, settings::kJpegQuality, m_jpegQuality);
}
