// Saving a JPEG photo without a loss: the document follows its steps in a lossless plan, and
// Save moves the file's DCT blocks when the plan allows it.
#include <QFile>

#include "doc/CutOperation.h"
#include "doc/PictureDocument.h"
#include "image/RasterFormatIds.h"

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

void PictureDocument::FollowCutInLosslessPlan(const CutRequest& request) {
    const cropbox::Rect rect = MapBoxToPicture(PictureSize(), request);
    const cropbox::Size size = PictureSize();
    // A shape, a border, a turn or white beyond the picture are pixels the blocks do not hold.
    const bool plain = request.shape == cropbox::kShapeRectangle && !(request.borderFraction > 0) &&
                       request.straightenDegrees == 0.0 && rect.left >= 0 && rect.top >= 0 &&
                       rect.right <= size.width && rect.bottom <= size.height && !rect.IsEmpty();
    if (!plain) {
        m_lossless.Spoil();
        return;
    }
    m_lossless.Cut(RasterRect{rect.left, rect.top, rect.right, rect.bottom});
}

bool PictureDocument::NextJpegSaveLossless() const {
    return !m_path.isEmpty() && m_contrast == 0 && m_brightness == 0 &&
           m_lossless.GetState() == LosslessPlan::State::Lossless;
}

QString PictureDocument::NextJpegSaveNote() const {
    if (m_lossless.GetState() == LosslessPlan::State::NotJpeg || !IsModified()) return {};
    if (NextJpegSaveLossless()) return QStringLiteral("saved as JPEG without loss");
    if (m_contrast != 0 || m_brightness != 0) return QStringLiteral("saved as JPEG by encoding again (light values)");
    if (m_lossless.GetState() == LosslessPlan::State::NeedsTrim) {
        return QStringLiteral("saved as JPEG by encoding again (a turn leaves partial blocks)");
    }
    return QStringLiteral("saved as JPEG by encoding again");
}

bool PictureDocument::WriteLossless(const QString& source, const LosslessPlan& plan, const RasterImage& picture,
                                    const QString& path, PictureMetadata& metadata) {
    LosslessJpegRequest request = plan.Request(false);
    // The print size a cut set; the file's own otherwise.
    request.xDpi = int32_t(picture.GetXDpi());
    request.yDpi = int32_t(picture.GetYDpi());
    const LosslessJpegResult result =
        SaveLosslessJpeg(QFile::encodeName(source).toStdString(), request, QFile::encodeName(path).toStdString());
    if (result.Written() && result.metadataDropped) metadata.dropped = true;
    return result.Written();
}
