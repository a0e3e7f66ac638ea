// Saving a JPEG photo without a loss: the document follows its steps in a lossless plan, and
// Save moves the file's DCT blocks when the plan allows it.
#include <QFile>
#include <QStringList>

#include "commands/SettingsKeys.h"
#include "doc/CutOperation.h"
#include "doc/PictureDocument.h"
#include "image/RasterFormatIds.h"
#include "platform/SettingsStore.h"

void PictureDocument::FollowInLosslessPlan(std::optional<PictureHistory::Change> change) {
    if (!change) {
        m_lossless.Spoil();
        return;
    }
    switch (*change) {
    case PictureHistory::Change::RotateLeft:
        m_lossless.TurnLeft();
        break;
    case PictureHistory::Change::RotateRight:
        m_lossless.TurnRight();
        break;
    case PictureHistory::Change::Mirror:
        m_lossless.Mirror();
        break;
    case PictureHistory::Change::Flip:
        m_lossless.Flip();
        break;
    default:
        m_lossless.Spoil();
        break;
    }
}

namespace {

// Whether a cut by request takes whole pixels of the picture and nothing else: a shape, a
// border, a turn or white beyond the picture are pixels the blocks do not hold.
bool CutIsPlain(cropbox::Size size, const CutRequest& request, const cropbox::Rect& rect) {
    return request.shape == cropbox::kShapeRectangle && !(request.borderFraction > 0) &&
           request.straightenDegrees == 0.0 && !rect.IsEmpty() && rect.left >= 0 && rect.top >= 0 &&
           rect.right <= size.width && rect.bottom <= size.height;
}

}  // namespace

void PictureDocument::FollowCutInLosslessPlan(const CutRequest& request) {
    const cropbox::Size size = PictureSize();
    const cropbox::Rect rect = MapBoxToPicture(size, request);
    if (!CutIsPlain(size, request, rect)) {
        m_lossless.Spoil();
        return;
    }
    m_lossless.Cut(RasterRect{rect.left, rect.top, rect.right, rect.bottom});
}

std::optional<cropbox::Rect> PictureDocument::SnappedBox(const CutRequest& request) const {
    const LosslessPlan::State state = m_lossless.GetState();
    if (!m_snapToBlocks || state == LosslessPlan::State::NotJpeg || state == LosslessPlan::State::Spoiled) return {};
    // Only a plain rectangle inside the picture cuts into whole blocks.
    const cropbox::Size size = PictureSize();
    const cropbox::Rect rect = MapBoxToPicture(size, request);
    if (!CutIsPlain(size, request, rect)) return {};
    // A free box keeps its far edges. A box of a print size moves, whole, so that its corner
    // meets the grid and its ratio stays; where that would take it past the far edge, it goes
    // to the grid place before, and a box too wide for either keeps its far edge instead.
    const RasterRect corner = m_lossless.SnapBoxCorner(RasterRect{rect.left, rect.top, rect.right, rect.bottom});
    if (m_box.CropBoxRatio() == 0.0) return cropbox::Rect{corner.left, corner.top, corner.right, corner.bottom};
    const PixelSize step = m_lossless.GridInPicture().step;
    const auto shift = [](int begin, int end, int snapped, int limit, int gridStep) {
        int by = snapped - begin;
        if (end + by > limit) by -= gridStep;
        return begin + by >= 0 && end + by <= limit ? std::optional<int>(by) : std::nullopt;
    };
    const std::optional<int> across = shift(rect.left, rect.right, corner.left, size.width, int(step.width));
    const std::optional<int> down = shift(rect.top, rect.bottom, corner.top, size.height, int(step.height));
    cropbox::Rect snapped{corner.left, corner.top, rect.right, rect.bottom};
    if (across) snapped = {rect.left + *across, snapped.top, rect.right + *across, snapped.bottom};
    if (down) snapped = {snapped.left, rect.top + *down, snapped.right, rect.bottom + *down};
    return snapped;
}

void PictureDocument::SetSnapToBlocks(bool snap) {
    m_snapToBlocks = snap;
    SettingsStore::WriteInt(settings::kSection, settings::kSnapToJpegBlocks, snap ? 1 : 0);
}

cropbox::Rect PictureDocument::ShownBox() const {
    if (!PicturesValid() || m_box.m_crop.IsEmpty()) return m_box.m_crop;
    const CutRequest request = CurrentCutRequest();
    if (!request.exact) return m_box.m_crop;
    return MapPictureToBox(PictureSize(), request, *request.exact);
}

bool PictureDocument::NextJpegSaveLossless() const {
    return !m_path.isEmpty() && m_contrast == 0 && m_brightness == 0 &&
           m_lossless.GetState() == LosslessPlan::State::Lossless;
}

bool PictureDocument::LosslessAfterTrim() const {
    return !m_path.isEmpty() && m_contrast == 0 && m_brightness == 0 &&
           m_lossless.GetState() == LosslessPlan::State::NeedsTrim;
}

QString PictureDocument::TrimQuestion(const QString& path) const {
    const QByteArray native = QFile::encodeName(path);
    if (RasterImage::TypeFromExtension(native.constData()) != RASTER_FORMAT_JPG) return {};
    if (!(IsModified() || path != m_path) || !LosslessAfterTrim()) return {};
    const PixelSize trim = m_lossless.Trim();
    QStringList edges;
    if (trim.width > 0) edges << QStringLiteral("%1 column(s) at the left").arg(trim.width);
    if (trim.height > 0) edges << QStringLiteral("%1 row(s) at the top").arg(trim.height);
    return QStringLiteral("%1 can be saved as JPEG without loss only by leaving out %2: the turn brings the "
                          "partial blocks of its edge to the front.\n\nTrim those pixels, or encode the whole "
                          "picture again?")
        .arg(PictureName(), edges.join(QStringLiteral(" and ")));
}

QString PictureDocument::NextJpegSaveNote() const {
    const LosslessPlan::State state = m_lossless.GetState();
    if (state == LosslessPlan::State::NotJpeg) return {};
    if (!IsModified()) return CutSaveNote();
    if (NextJpegSaveLossless()) return QStringLiteral("saved as JPEG without loss");
    if (m_contrast != 0 || m_brightness != 0) return QStringLiteral("saved as JPEG by encoding again (light values)");
    if (state == LosslessPlan::State::NeedsTrim) {
        return QStringLiteral("saved as JPEG without loss only by trimming partial blocks at the edge");
    }
    return QStringLiteral("saved as JPEG by encoding again");
}

QString PictureDocument::CutSaveNote() const {
    // Said while a box is laid on the unchanged photo: what its cut would make of the save.
    if (!m_box.m_showCropBox || !m_box.CutEnabled(PicturesValid())) return {};
    const CutRequest request = CurrentCutRequest();
    const cropbox::Size size = PictureSize();
    // A shape, a border or a turn the user chose is no news: only the grid is.
    if (!CutIsPlain(size, request, MapBoxToPicture(size, request))) return {};
    LosslessPlan after = m_lossless;
    const cropbox::Rect rect = MapBoxToPicture(size, request);
    after.Cut(RasterRect{rect.left, rect.top, rect.right, rect.bottom});
    switch (after.GetState()) {
    case LosslessPlan::State::Lossless:
        return QStringLiteral("a cut here is saved without loss");
    case LosslessPlan::State::NeedsTrim:
        return QStringLiteral("a cut here is saved without loss only by trimming partial blocks at the edge");
    case LosslessPlan::State::OffGrid:
        return QStringLiteral("a cut here is saved by encoding again (its corner is off the JPEG block grid)");
    default:
        return QStringLiteral("a cut here is saved by encoding again");
    }
}

bool PictureDocument::WriteLossless(const QString& source, const LosslessPlan& plan, bool trim, const RasterImage& picture,
                                    const QString& path, PictureMetadata& metadata) {
    LosslessJpegRequest request = plan.Request(trim);
    // The print size a cut set; the file's own otherwise.
    request.xDpi = int32_t(picture.GetXDpi());
    request.yDpi = int32_t(picture.GetYDpi());
    const LosslessJpegResult result =
        SaveLosslessJpeg(QFile::encodeName(source).toStdString(), request, QFile::encodeName(path).toStdString());
    if (result.Written() && result.metadataDropped) metadata.dropped = true;
    return result.Written();
}
