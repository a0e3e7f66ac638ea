// The box a photo keeps: restored when the photo opens, kept again as the user changes it.
#include <QFileInfo>

#include "commands/CommandIds.h"
#include "doc/CutOperation.h"
#include "doc/KeptBox.h"
#include "doc/KeptBoxes.h"
#include "doc/PictureDocument.h"
#include "doc/StraightenGeometry.h"

namespace {

// A kept choice outside the program's range is left as the box has it.
void TakeKeptChoices(const KeptCrop& crop, cropbox::CropBoxModel& box) {
    if (crop.shape >= cropbox::kShapeRectangle && crop.shape <= cropbox::kShapeOval) box.m_shape = crop.shape;
    if (crop.preset == cmd::ID_PRESET_FREE || cropbox::FindPreset(crop.preset) != nullptr) box.m_presetId = crop.preset;
    if (crop.border >= cmd::ID_BORDER_NONE && crop.border <= cmd::ID_BORDER_LAST) box.m_borderId = crop.border;
}

}  // namespace

void PictureDocument::RestoreKeptBox(int orientation) {
    m_orientation = orientation;
    m_kept.reset();
    m_boxNote.clear();
    if (m_path.isEmpty() || !HasPicture()) return;
    KeptBoxes::Found found = KeptBoxes::Instance().Read(m_path);
    if (!found.problem.isEmpty()) {
        m_boxNote = found.problem;
        return;
    }
    if (!found.crop) return;
    const cropbox::Size stored = keptbox::StoredSize(PictureSize(), orientation);
    if (!keptbox::PlacedOn(*found.crop, stored)) {
        // The file was edited elsewhere: its box would cut the wrong part.
        m_boxNote = QStringLiteral("The photo has changed since its box was placed (the box was placed on %1 x %2)")
                        .arg(found.crop->placedWidth)
                        .arg(found.crop->placedHeight);
        return;
    }
    m_kept = found.crop;
    if (m_kept->ownFields) {
        TakeKeptChoices(*m_kept, m_box);
    } else {
        // Another tool's rectangle has no print size: it is a Free box.
        m_box.m_presetId = cmd::ID_PRESET_FREE;
    }
    // The turn the box was placed with (crs:CropAngle has the control's sign).
    m_straighten = straighten::ControlDegrees(m_kept->angle);
    const cropbox::Rect rect = keptbox::UprightRect(*m_kept, m_orientation, PictureSize());
    m_box.m_rotated = rect.Height() > rect.Width();
    m_box.m_showCropBox = true;
}

bool PictureDocument::LayKeptBox() {
    if (!m_kept || IsModified() || !PicturesValid()) return false;
    const cropbox::Rect inPicture = keptbox::UprightRect(*m_kept, m_orientation, PictureSize());
    const cropbox::Rect box = MapPictureToBox(PictureSize(), CurrentCutRequest(), inPicture);
    if (box.IsEmpty()) return false;
    m_box.m_crop = box;
    return true;
}

bool PictureDocument::BoxKeepable() const {
    return !m_path.isEmpty() && PicturesValid() && !IsModified() && !m_box.m_crop.IsEmpty();
}

void PictureDocument::KeepBox(bool settled) {
    if (!BoxKeepable()) return;
    if (!settled) {
        m_keepTimer.start();
        return;
    }
    m_keepTimer.stop();
    const cropbox::Rect rect = BoxInPicture();
    if (rect.IsEmpty()) return;
    KeptCrop crop = m_kept.value_or(KeptCrop{});
    keptbox::SetUprightRect(crop, rect, m_orientation, PictureSize());
    crop.ownFields = true;
    crop.shape = m_box.m_shape;
    crop.preset = m_box.m_presetId;
    crop.border = m_box.m_borderId;
    crop.angle = m_straighten;
    m_kept = crop;
    m_boxNote = KeptBoxes::Instance().Keep(m_path, crop);
}

void PictureDocument::FlushKeptBox() {
    if (m_keepTimer.isActive()) KeepBox(true);
}

void PictureDocument::KeepSavedBox(const QString& path) {
    m_keepTimer.stop();
    const bool overItself = path == m_path;
    m_kept.reset();
    if (overItself) m_boxNote = KeptBoxes::Instance().Forget(path);
}

void PictureDocument::ReloadKeptBox() {
    if (m_path.isEmpty() || !HasPicture() || IsModified()) return;
    m_keepTimer.stop();
    RestoreKeptBox(m_orientation);
    LayOut();
    emit laidOut(true);
}
