#include "order/ApplyToPhotos.h"

#include <algorithm>
#include <cmath>

#include <QFile>
#include <QFileInfo>

#include "doc/KeptBox.h"
#include "doc/KeptBoxes.h"
#include "doc/PictureLoader.h"

#include "commands/CommandIds.h"

#include "image/RasterImage.h"
#include "image/formats/RasterExifOrientation.h"
#include "image/formats/RasterJpegThumbnail.h"

namespace applyboxes {

bool ReadPhotoGeometry(const QString& path, cropbox::Size& upright, int& orientation) {
    const QByteArray native = QFile::encodeName(path);
    uint32_t width = 0, height = 0;
    if (RasterImage::TypeFromExtension(native.constData()) == RASTER_FORMAT_JPG &&
        ReadJpegFrameSize(native.constData(), width, height)) {
        orientation = ExifOrientationOrUpright(ReadExifOrientationFromFile(native.constData()));
        upright = ExifOrientationSwapsSides(orientation) ? cropbox::Size{int(height), int(width)}
                                                         : cropbox::Size{int(width), int(height)};
        return width > 0 && height > 0;
    }
    OpenedPicture opened;
    if (!PictureLoader::OpenFull(path, opened)) return false;
    orientation = opened.orientation;
    upright = {int(opened.picture.GetWidth()), int(opened.picture.GetHeight())};
    return true;
}

cropbox::Rect CentredBox(cropbox::Size upright, double ratio) {
    if (upright.width <= 0 || upright.height <= 0) return {};
    if (!(ratio > 0)) return {0, 0, upright.width, upright.height};
    // Long over short: a portrait picture takes the box upright.
    const double widthOverHeight = upright.height > upright.width ? 1.0 / ratio : ratio;
    int width = upright.width;
    int height = int(std::lround(width / widthOverHeight));
    if (height > upright.height) {
        height = upright.height;
        width = std::min(upright.width, int(std::lround(height * widthOverHeight)));
    }
    const int left = (upright.width - width) / 2;
    const int top = (upright.height - height) / 2;
    return {left, top, left + width, top + height};
}

KeptCrop CentredKeptBox(cropbox::Size upright, int orientation, const cropbox::CropBoxModel& box) {
    const cropbox::PrintSizePreset* preset = cropbox::FindPreset(box.m_presetId);
    const double ratio = preset != nullptr ? preset->width / preset->height : 0.0;
    KeptCrop crop;
    keptbox::SetUprightRect(crop, CentredBox(upright, ratio), orientation, upright);
    crop.ownFields = true;
    crop.shape = box.m_shape;
    crop.preset = preset != nullptr ? box.m_presetId : cmd::ID_PRESET_FREE;
    crop.border = box.m_borderId;
    return crop;
}

Outcome ApplyToPhotos(const QStringList& photos, const cropbox::CropBoxModel& box, bool replace) {
    Outcome outcome;
    KeptBoxes& store = KeptBoxes::Instance();
    for (const QString& photo : photos) {
        const QString name = QFileInfo(photo).fileName();
        if (!replace && store.Has(photo)) {
            outcome.kept.append(name);
            continue;
        }
        cropbox::Size upright;
        int orientation = 1;
        if (!ReadPhotoGeometry(photo, upright, orientation)) {
            outcome.failed.append(QStringLiteral("%1: it cannot be read").arg(name));
            continue;
        }
        const QString note = store.Keep(photo, CentredKeptBox(upright, orientation, box));
        if (!note.isEmpty() && !outcome.notes.contains(note)) outcome.notes.append(note);
        ++outcome.applied;
    }
    return outcome;
}

}  // namespace applyboxes
