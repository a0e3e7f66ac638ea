// snipwell-cli's "cut" on the program's real picture view, in a headless Qt application with
// message boxes turned into error text and the settings kept in a temporary folder.
#include "ViewCut.h"

#include <cctype>
#include <cstdio>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include "doc/PictureDocument.h"
#include "view/PictureView.h"
#include "commands/CommandIds.h"
#include "doc/CropBoxModel.h"
#include "platform/MessageService.h"
#include "image/RasterImage.h"
#include "platform/SettingsStore.h"
#include "StrictNumber.h"

namespace rastertool {

const char* const kViewCutSynopsis = "cut CLIENT_W CLIENT_H SHAPE PRESET BORDER ROTATED [L T R B]";
const char* const kViewCutHelp =
    "open IN in the program's view at that client size and Cut there (first operation only)";

namespace {

// Larger clients than this cannot be painted by Qt's raster engine.
constexpr int kLargestClientSide = 32767;

// One required number of the cut arguments, in [low, high].
std::string ReadNumber(const std::vector<std::string>& words, size_t& next, const char* name, int64_t low,
                       int64_t high, int64_t& value) {
    const std::string range = std::to_string(low) + ".." + std::to_string(high);
    if (next >= words.size()) return std::string("cut: missing ") + name + " (" + range + ")";
    const auto parsed = ParseInteger(words[next], low, high);
    if (!parsed) return std::string("cut: ") + name + " must be a number " + range + ", not '" + words[next] + "'";
    value = *parsed;
    ++next;
    return {};
}

// The box, when given, must lie inside the client and be large enough for the view to cut it.
std::string CheckBox(const ClientBox& box, const ViewCutArgs& args) {
    if (box.left < 0 || box.top < 0 || box.right > args.clientWidth || box.bottom > args.clientHeight) {
        return "cut: the box " + std::to_string(box.left) + "," + std::to_string(box.top) + "," +
               std::to_string(box.right) + "," + std::to_string(box.bottom) + " lies outside the " +
               std::to_string(args.clientWidth) + " x " + std::to_string(args.clientHeight) + " client";
    }
    const int span = PictureDocument::kMinimumCutSpan;
    if (box.right - box.left < span || box.bottom - box.top < span) {
        return "cut: the box must be at least " + std::to_string(span) + " x " + std::to_string(span) +
               " client pixels (right and bottom are exclusive)";
    }
    return {};
}

std::string ReadBox(const std::vector<std::string>& words, size_t& next, ViewCutArgs& args) {
    int64_t edges[4] = {};
    const char* names[4] = {"L", "T", "R", "B"};
    for (int i = 0; i < 4; ++i) {
        if (auto error = ReadNumber(words, next, names[i], 0, kLargestClientSide, edges[i]); !error.empty()) {
            return error;
        }
    }
    const ClientBox box{int(edges[0]), int(edges[1]), int(edges[2]), int(edges[3])};
    if (auto error = CheckBox(box, args); !error.empty()) return error;
    args.box = box;
    return {};
}

// Qt's own notes (a missing runtime folder, font fallbacks) are not the tool's business: its
// standard error carries one line saying why it failed. Only Qt's critical messages pass.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "snipwell-cli: Qt: %s\n", qPrintable(text));
}

bool StartsWithNumber(const std::string& word) {
    return !word.empty() && (std::isdigit(static_cast<unsigned char>(word[0])) || word[0] == '-');
}

// Keeps the program's per-user state out of the run: settings in a folder of its own, message
// boxes collected instead of shown. Undone at the end of the scope.
class HeadlessSession {
public:
    HeadlessSession() {
        SettingsStore::UseFolder(m_settings.path());
        MessageService::SetAnswerer([this](const QString& text, bool question) {
            QString line = text;
            line.replace(u'\n', u' ');
            m_messages << line.simplified();
            return question ? MessageAnswer::No : MessageAnswer::Ok;
        });
    }
    ~HeadlessSession() {
        MessageService::SetAnswerer({});
        SettingsStore::UseFolder(QString());
    }
    HeadlessSession(const HeadlessSession&) = delete;
    HeadlessSession& operator=(const HeadlessSession&) = delete;

    bool IsValid() const { return m_settings.isValid(); }
    // The messages the view showed, joined; empty when it showed none.
    std::string Messages() const { return m_messages.join(QStringLiteral("; ")).toStdString(); }

private:
    QTemporaryDir m_settings;
    QStringList m_messages;
};

// The crop box settings as the ribbon commands would leave them before the picture is opened.
void SetUpBox(cropbox::CropBoxModel& box, const ViewCutArgs& args) {
    box.m_shape = args.shape;
    box.m_presetId = args.presetId;
    box.m_borderId = args.borderId;
    box.m_rotated = args.rotated;
}

std::string CutInView(const std::string& path, const ViewCutArgs& args, RasterImage& result, PictureMetadata* metadata) {
    HeadlessSession session;
    if (!session.IsValid()) return "cut: no temporary folder for the settings";
    PictureView view(nullptr);
    PictureDocument& document = *view.Document();
    SetUpBox(document.Box(), args);
    // A hidden widget takes its new size at once; the layout below reads it.
    view.resize(args.clientWidth, args.clientHeight);
    if (view.width() != args.clientWidth || view.height() != args.clientHeight) {
        return "cut: the view cannot be laid out at " + std::to_string(args.clientWidth) + " x " +
               std::to_string(args.clientHeight);
    }

    view.LoadPicture(QFile::decodeName(path.c_str()));
    if (const std::string shown = session.Messages(); !shown.empty()) return path + ": " + shown;
    if (!view.PicturesValid()) return "cut: the client is too small to show the picture";
    if (args.box) {
        const ClientBox& b = *args.box;
        document.Box().m_crop = cropbox::Rect{b.left, b.top, b.right, b.bottom};
    }
    const cropbox::Rect box = document.Box().m_crop;
    const bool cut = document.CutToCropBox();
    if (const std::string shown = session.Messages(); !shown.empty()) return "cut: " + shown;
    if (!cut) {
        return "cut: the view did not cut the box " + std::to_string(box.left) + "," + std::to_string(box.top) +
               "," + std::to_string(box.right) + "," + std::to_string(box.bottom) +
               " (smaller than " + std::to_string(PictureDocument::kMinimumCutSpan) +
               " client pixels, or not enough memory)";
    }
    if (!result.Copy(document.WorkPicture())) return "cut: not enough memory for the result";
    if (metadata) *metadata = document.Metadata();
    return {};
}

}  // namespace

std::string ParseViewCutArgs(const std::vector<std::string>& words, size_t& next, ViewCutArgs& args) {
    int64_t width = 0, height = 0, shape = 0, preset = 0, border = 0, rotated = 0;
    struct Field {
        const char* name;
        int64_t low;
        int64_t high;
        int64_t* value;
    };
    const Field fields[] = {
        {"CLIENT_W", 1, kLargestClientSide, &width},
        {"CLIENT_H", 1, kLargestClientSide, &height},
        {"SHAPE", cropbox::kShapeRectangle, cropbox::kShapeOval, &shape},
        {"PRESET_ID", cmd::ID_PRESET_FIRST, cmd::ID_PRESET_LAST, &preset},
        {"BORDER_ID", cmd::ID_BORDER_NONE, cmd::ID_BORDER_LAST, &border},
        {"ROTATED", 0, 1, &rotated},
    };
    for (const Field& field : fields) {
        if (auto error = ReadNumber(words, next, field.name, field.low, field.high, *field.value); !error.empty()) {
            return error;
        }
    }
    args.clientWidth = int(width);
    args.clientHeight = int(height);
    args.shape = int(shape);
    args.presetId = uint32_t(preset);
    args.borderId = uint32_t(border);
    args.rotated = rotated != 0;
    args.box.reset();
    if (next < words.size() && StartsWithNumber(words[next])) return ReadBox(words, next, args);
    return {};
}

void QuietQtNotes() { qInstallMessageHandler(QuietQtMessages); }

std::string RunViewCut(const std::string& path, const ViewCutArgs& args, RasterImage& result, PictureMetadata* metadata) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const QtMessageHandler previous = qInstallMessageHandler(QuietQtMessages);
    static char programName[] = "snipwell-cli";
    char* arguments[] = {programName, nullptr};
    int count = 1;
    std::string error;
    {
        QApplication application(count, arguments);
        error = CutInView(path, args, result, metadata);
    }
    qInstallMessageHandler(previous);
    return error;
}

}  // namespace rastertool
