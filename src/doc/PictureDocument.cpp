// The document's files and state: opening a picture, writing it out, the light values, the
// layout of the crop box over the view area and the saved mark.
#include "doc/PictureDocument.h"

#include <QFile>

#include <algorithm>
#include <string>

#include "commands/CommandIds.h"
#include "commands/SettingsKeys.h"
#include "doc/CropBoxChoices.h"
#include "doc/CutOperation.h"
#include "doc/KeptBoxes.h"
#include "platform/FileProblemText.h"
#include "platform/SettingsStore.h"

PictureDocument::PictureDocument(QObject* parent) : QObject(parent) {
    m_box.m_autoHide = SettingsStore::ReadInt(settings::kSection, settings::kAutoHideCropbox, 0) > 0;
    cropbox::RestoreChoices(m_box);
    m_snapToBlocks = SettingsStore::ReadInt(settings::kSection, settings::kSnapToJpegBlocks, 1) != 0;
    // The wheel and the arrow keys move the box a pixel a step: it is kept once they rest.
    constexpr int kKeepAfterMs = 700;
    m_keepTimer.setSingleShot(true);
    m_keepTimer.setInterval(kKeepAfterMs);
    connect(&m_keepTimer, &QTimer::timeout, this, [this] { KeepBox(true); });
}

PictureDocument::~PictureDocument() { FlushKeptBox(); }

// ---- files ----------------------------------------------------------------------------------------

void PictureDocument::Clear() {
    m_box.m_crop = {};
    m_straighten = 0.0;
    m_contrast = 0;
    m_brightness = 0;
    m_history.Clear();
    m_savedPosition = m_history.Position();
    m_working.Destroy();
    m_preview.Destroy();
    m_standInSize = {};
    m_viewSize = {};
    m_path.clear();
    m_damage.clear();
    m_metadata.reset();
    m_metadataDropped = false;
    m_extrasLostBySave = 0;
    m_keepTimer.stop();
    m_lossless = LosslessPlan();
    m_kept.reset();
    m_orientation = 1;
    m_boxNote.clear();
}


FileOutcome PictureDocument::Load(const QString& path) {
    StopLoading();
    FinishJob();
    FlushKeptBox();
    Clear();
    if (path.isEmpty()) {
        emit laidOut(true);
        return {true, {}};
    }
    PicturePreview preview;
    const auto full = [this](OpenedPicture& opened) { TakeFullDecode(opened); };
    if (m_loader.OpenInBackground(path, m_previewBound, m_backgroundPixels, preview, full)) {
        m_preview.TakeOver(preview.picture);
        m_standInSize = preview.fullSize;
        OpenedPicture none;
        none.orientation = preview.orientation;
        TakeOpened(path, none);
        m_busyText = QStringLiteral("Opening %1\u2026").arg(PictureName());
        emit busyChanged(true);
        return {true, {}};
    }
    OpenedPicture opened;
    if (!PictureLoader::OpenFull(path, opened)) {
        emit laidOut(true);
        return {false, opened.error};
    }
    TakeOpened(path, opened);
    return {true, {}};
}

FileOutcome PictureDocument::LoadOpened(const QString& path, OpenedPicture& opened) {
    StopLoading();
    FinishJob();
    FlushKeptBox();
    Clear();
    TakeOpened(path, opened);
    return {true, {}};
}

void PictureDocument::StopLoading() {
    // Another picture replaces this one: a full decode still running is of no use any more.
    if (!m_loader.IsLoading()) return;
    m_loader.Stop();
    m_busyText.clear();
    emit busyChanged(false);
}

void PictureDocument::TakeOpened(const QString& path, OpenedPicture& opened) {
    if (opened.ok) m_working.TakeOver(opened.picture);
    if (m_box.m_autoHide) m_box.m_showCropBox = true;
    m_path = path;
    m_damage = opened.damage;
    m_metadataDropped = opened.metadataDropped;
    m_metadata = opened.metadata;
    m_extrasLostBySave = opened.ok ? opened.extrasLostOnSave : 0;
    const cropbox::Size size = PictureSize();
    m_box.MatchOrientation(size.width, size.height);
    RestoreKeptBox(opened.orientation);
    m_lossless = path.isEmpty() ? LosslessPlan() : LosslessPlan::FromJpegFile(QFile::encodeName(path).toStdString());
    LayOut();
    emit laidOut(true);
}

void PictureDocument::TakeFullDecode(OpenedPicture& opened) {
    m_preview.Destroy();
    m_standInSize = {};
    m_busyText.clear();
    if (opened.ok) {
        // The crop box was laid over the preview in the full picture's size: it stays.
        m_working.TakeOver(opened.picture);
        m_damage = opened.damage;
        m_metadataDropped = opened.metadataDropped;
        m_metadata = opened.metadata;
        emit laidOut(true);
    } else {
        Clear();
        emit laidOut(true);
        emit loadFailed(opened.error);
    }
    emit busyChanged(false);
}

FileOutcome PictureDocument::Save(const QString& path, int jpegQuality, bool trimForLossless) {
    FinishJob();
    FlushKeptBox();
    if (!m_working.IsValid()) return {false, QStringLiteral("The current image is invalid.")};
    const QByteArray native = QFile::encodeName(path);
    const uint32_t type = RasterImage::TypeFromExtension(native.constData());
    if (type == RASTER_FORMAT_UNKNOWN) {
        return {false, SaveFailureText(path, "its extension names no picture format this program writes")};
    }
    // The blocks travel in a copy: one that cannot be written is left out of this file only.
    struct SaveJob {
        RasterImage picture;
        RasterImage trimmed;  // the picture as a trimmed lossless save wrote it
        PictureMetadata metadata;
        bool ok = false;
        std::string error;
    };
    auto job = std::make_shared<SaveJob>();
    job->metadata = Metadata();
    LendWorkingPicture(job->picture);
    const int contrast = m_contrast;
    const int brightness = m_brightness;
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    // A JPEG photo only cut and turned is written by moving its file's blocks: not a pixel lost.
    // An unchanged picture saved over its own file is encoded again: that is what such a Save
    // asks for (another JPEG quality).
    const bool changed = IsModified() || path != m_path;
    const bool trimmed = trimForLossless && type == RASTER_FORMAT_JPG && changed && LosslessAfterTrim();
    const bool lossless = trimmed || (type == RASTER_FORMAT_JPG && NextJpegSaveLossless() && changed);
    const QString source = m_path;
    const LosslessPlan plan = m_lossless;
    RunJob(
        QStringLiteral("Saving %1\u2026").arg(name),
        [job, native, type, jpegQuality, contrast, brightness, lossless, trimmed, source, plan, path] {
            // A trimmed file lacks a few edge pixels: the picture is cut to match, so that the
            // window shows what the file holds.
            if (lossless && (!trimmed || job->picture.Crop(plan.WrittenPart(), &job->trimmed)) &&
                WriteLossless(source, plan, trimmed, job->picture, path, job->metadata)) {
                job->ok = true;
                return;
            }
            job->trimmed.Destroy();
            job->ok = WriteLitPicture(job->picture, contrast, brightness, native.constData(), type, jpegQuality,
                                      job->metadata);
            if (!job->ok) job->error = job->picture.LastErrorText();
        },
        [this, job, path] {
            ReturnWorkingPicture(job->picture);
            if (!job->ok) return;
            // The trim is a step of its own: Undo brings the trimmed edge back, as a change
            // that is not saved.
            const bool trimmedAway = job->trimmed.IsValid();
            if (trimmedAway) ReplaceWorkingPicture(job->trimmed, CaptureState());
            KeepSavedBox(path);
            m_history.FileRewritten(path);
            m_path = path;
            // From now on the file written is the one whose blocks a later save moves.
            m_lossless = LosslessPlan::FromJpegFile(QFile::encodeName(path).toStdString());
            m_savedPosition = m_history.Position();
            m_extrasLostBySave = 0;
            if (job->metadata.dropped) m_metadataDropped = true;
            if (trimmedAway) {
                LayOut();
                emit laidOut(true);
            }
        });
    const bool ok = job->ok;
    if (!ok) return {false, SaveFailureText(path, job->error.c_str())};
    return {true, {}};
}

bool PictureDocument::WriteLitPicture(RasterImage& picture, int contrast, int brightness, const char* path,
                                      uint32_t type, int jpegQuality, PictureMetadata& metadata) {
    // The light values are only previewed: they go into the written copy, never into the
    // working picture, which is written as it is when they are neutral.
    // A failure's reason is left in picture.
    RasterImage lit;
    const bool neutral = contrast == 0 && brightness == 0;
    if (!neutral && (!lit.Copy(picture) || !lit.AdjustLight(brightness, contrast))) {
        picture.SetLastError("there is not enough memory");
        return false;
    }
    RasterImage& written = neutral ? picture : lit;
    written.SetJpegQuality(uint8_t(jpegQuality));
    const bool ok = written.Save(path, type, &metadata);
    if (!ok && !neutral) picture.SetLastError(lit.LastErrorText());
    return ok;
}

const PictureMetadata& PictureDocument::Metadata() const {
    static const PictureMetadata none;
    return m_metadata ? *m_metadata : none;
}

bool PictureDocument::IsModified() const { return HasPicture() && m_history.Position() != m_savedPosition; }

cropbox::Size PictureDocument::PictureSize() const {
    if (m_standInSize.width > 0) return m_standInSize;
    return m_working.IsValid() ? cropbox::Size{int(m_working.GetWidth()), int(m_working.GetHeight())} : cropbox::Size{};
}

QString PictureDocument::PictureName() const {
    const qsizetype slash = m_path.lastIndexOf(QLatin1Char('/'));
    return m_path.isEmpty() ? QStringLiteral("Untitled") : m_path.mid(slash + 1);
}

// ---- light values ---------------------------------------------------------------------------------

int PictureDocument::LightValueOfPosition(int position) {
    constexpr int kLightSliderMax = 2 * kLightSliderNeutral;
    return std::clamp(position, 0, kLightSliderMax) - kLightSliderNeutral;
}

void PictureDocument::SetLightSlider(uint32_t id, int position) {
    (id == cmd::ID_CONTRAST ? m_contrast : m_brightness) = LightValueOfPosition(position);
    RunPictureCommand(id);
}

void PictureDocument::ApplyLightValues(RasterImage& picture, int contrast, int brightness) {
    if (contrast != 0 || brightness != 0) picture.AdjustLight(brightness, contrast);
}

bool PictureDocument::MakeLitCopy(RasterImage& copy) const {
    if (!m_working.IsValid()) return false;
    if (!copy.Copy(m_working)) return false;
    return (m_contrast == 0 && m_brightness == 0) || copy.AdjustLight(m_brightness, m_contrast);
}

// ---- crop box layout ------------------------------------------------------------------------------

void PictureDocument::SetViewArea(cropbox::Size area) {
    m_area = area;
    LayOut();
}

void PictureDocument::LayOut() {
    m_box.m_crop = {};
    m_viewSize = {};
    const cropbox::Size picture = PictureSize();
    if (picture.width <= 0) return;
    const cropbox::Size size = cropbox::FitViewSize(m_area.width, m_area.height, picture.width, picture.height);
    // An area too small for a fit shows nothing until it grows again.
    if (size.width <= 0 || size.height <= 0) return;
    m_viewSize = size;
    if (!LayKeptBox()) PlaceCropBox();
}

bool PictureDocument::PicturesValid() const {
    return HasPicture() && m_viewSize.width > 0 && m_viewSize.height > 0;
}

void PictureDocument::PlaceCropBox() {
    if (!PicturesValid()) {
        m_box.m_crop = {};
        return;
    }
    m_box.PlaceCropBox(m_area, m_viewSize, PictureSize());
    FitBoxToStraighten();
}

cropbox::Rect PictureDocument::BoxInPicture() const {
    if (!PicturesValid() || m_box.m_crop.IsEmpty()) return {};
    return MapBoxToPicture(PictureSize(), CurrentCutRequest());
}

CutRequest PictureDocument::CurrentCutRequest() const {
    CutRequest request{m_area.width,  m_area.height, m_viewSize.width,         m_viewSize.height,
                       m_box.m_crop, m_box.m_shape, m_box.BorderFraction(), m_straighten};
    request.exact = SnappedBox(request);
    return request;
}
