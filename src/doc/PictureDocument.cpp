// The document's files and state: opening a picture, writing it out, the light values, the
// layout of the crop box over the view area and the saved mark.
#include "doc/PictureDocument.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include "commands/CommandIds.h"
#include "commands/SettingsKeys.h"
#include "doc/CropBoxChoices.h"
#include "doc/CutOperation.h"
#include "platform/FileProblemText.h"
#include "image/WorkingPicture.h"
#include "image/formats/RasterImageHEIF.h"
#include "image/metadata/MetadataCheck.h"
#include "platform/FileChecks.h"
#include "platform/SettingsStore.h"

PictureDocument::PictureDocument(QObject* parent) : QObject(parent) {
    m_box.m_autoHide = SettingsStore::ReadInt(settings::kSection, settings::kAutoHideCropbox, 0) > 0;
    cropbox::RestoreChoices(m_box);
}

PictureDocument::~PictureDocument() = default;

// ---- files ----------------------------------------------------------------------------------------

void PictureDocument::Clear() {
    m_box.m_crop = {};
    m_contrast = 0;
    m_brightness = 0;
    m_history.Clear();
    m_savedPosition = m_history.Position();
    m_working.Destroy();
    m_viewSize = {};
    m_path.clear();
    m_damage.clear();
    m_metadata.reset();
    m_metadataDropped = false;
    m_extrasLostBySave = 0;
}

namespace {

// A HEIF or AVIF file may hold more than the one 8-bit picture the program edits.
uint32_t ExtrasBesidesThePicture(const QString& path, uint32_t type) {
    if (type != RASTER_FORMAT_HEIF && type != RASTER_FORMAT_AVIF) return RASTER_HEIF_EXTRA_NONE;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return RASTER_HEIF_EXTRA_NONE;
    const QByteArray bytes = file.readAll();
    return RasterImageHEIF::ExtrasLostOnSave(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
}

}  // namespace

FileOutcome PictureDocument::Load(const QString& path) {
    Clear();
    if (path.isEmpty()) {
        emit laidOut(true);
        return {true, {}};
    }
    const QByteArray native = QFile::encodeName(path);
    // Photos are stored as the camera was held; the JPEG load turns them the way they were
    // shot. A turn that fails for lack of memory leaves the picture as stored.
    RasterLoadOptions options;
    options.upright = RasterUpright::Turn;
    auto metadata = std::make_shared<PictureMetadata>();
    options.metadata = metadata.get();
    const bool regular = filechecks::IsRegularFile(path);
    const bool loaded = regular &&
                        m_working.Load(native.constData(), RasterImage::TypeFromExtension(native.constData()), options) &&
                        m_working.IsValid();
    // A damaged file that still loaded says what was wrong; the picture is shown as decoded.
    const QByteArray damage = loaded ? QByteArray(m_working.LoadWarningText()) : QByteArray();
    // A picture that cannot be brought to 24 bits would break every later command: it is
    // treated like an unreadable file.
    if (!loaded || !MakeWorkingPicture(m_working)) {
        const QString problem = !regular  ? OpenFailureText(path, QFileInfo::exists(path) ? "it is not a file" : "there is no such file")
                                : !loaded ? OpenFailureText(path, m_working.LastErrorText())
                                          : OpenFailureText(path, "there is not enough memory to prepare it for editing");
        m_working.Destroy();
        emit laidOut(true);
        return {false, problem};
    }
    if (m_box.m_autoHide) m_box.m_showCropBox = true;
    m_path = path;
    m_damage = QString::fromUtf8(damage);
    // A block that cannot be read is left out: the picture opens and saves without it.
    m_metadataDropped = DropUnreadableMetadata(*metadata);
    m_metadata = std::move(metadata);
    m_extrasLostBySave = ExtrasBesidesThePicture(path, m_working.GetType());
    m_box.MatchOrientation(int(m_working.GetWidth()), int(m_working.GetHeight()));
    LayOut();
    emit laidOut(true);
    return {true, {}};
}

FileOutcome PictureDocument::Save(const QString& path, int jpegQuality) {
    if (!m_working.IsValid()) return {false, QStringLiteral("The current image is invalid.")};
    const QByteArray native = QFile::encodeName(path);
    const uint32_t type = RasterImage::TypeFromExtension(native.constData());
    if (type == RASTER_FORMAT_UNKNOWN) {
        return {false, SaveFailureText(path, "its extension names no picture format this program writes")};
    }
    // The light values are only previewed: they go into the written copy, never into the
    // working picture.
    RasterImage copy;
    bool ok = MakeLitCopy(copy);
    // The blocks travel in a copy: one that cannot be written is left out of this file only.
    PictureMetadata metadata = Metadata();
    if (ok) {
        copy.SetJpegQuality(uint8_t(jpegQuality));
        ok = copy.Save(native.constData(), type, &metadata);
    }
    if (!ok) return {false, SaveFailureText(path, copy.IsValid() ? copy.LastErrorText() : "there is not enough memory")};
    m_path = path;
    m_savedPosition = m_history.Position();
    m_extrasLostBySave = 0;
    if (metadata.dropped) m_metadataDropped = true;
    return {true, {}};
}

const PictureMetadata& PictureDocument::Metadata() const {
    static const PictureMetadata none;
    return m_metadata ? *m_metadata : none;
}

bool PictureDocument::IsModified() const { return m_working.IsValid() && m_history.Position() != m_savedPosition; }

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
    if (!m_working.IsValid()) return;
    const cropbox::Size size =
        cropbox::FitViewSize(m_area.width, m_area.height, int(m_working.GetWidth()), int(m_working.GetHeight()));
    // An area too small for a fit shows nothing until it grows again.
    if (size.width <= 0 || size.height <= 0) return;
    m_viewSize = size;
    PlaceCropBox();
}

bool PictureDocument::PicturesValid() const {
    return m_working.IsValid() && m_viewSize.width > 0 && m_viewSize.height > 0;
}

void PictureDocument::PlaceCropBox() {
    if (!PicturesValid()) {
        m_box.m_crop = {};
        return;
    }
    m_box.PlaceCropBox(m_area, m_viewSize, {int(m_working.GetWidth()), int(m_working.GetHeight())});
}

cropbox::Rect PictureDocument::BoxInPicture() const {
    if (!PicturesValid() || m_box.m_crop.IsEmpty()) return {};
    return MapBoxToPicture(m_working, CurrentCutRequest());
}

CutRequest PictureDocument::CurrentCutRequest() const {
    return CutRequest{m_area.width,  m_area.height, m_viewSize.width,        m_viewSize.height,
                      m_box.m_crop, m_box.m_shape, m_box.BorderFraction()};
}
