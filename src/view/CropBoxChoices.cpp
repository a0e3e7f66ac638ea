#include "view/CropBoxChoices.h"

#include "commands/CommandIds.h"
#include "commands/SettingsKeys.h"
#include "platform/SettingsStore.h"

namespace cropbox {
namespace {

// The stored value when it lies in first..last, else fallback.
int StoredInRange(const char* key, int first, int last, int fallback) {
    const int stored = SettingsStore::ReadInt(settings::kSection, key, fallback);
    return stored >= first && stored <= last ? stored : fallback;
}

}  // namespace

void RestoreChoices(CropBoxModel& box) {
    box.m_nShape = StoredInRange(settings::kCropShape, kShapeRectangle, kShapeOval, box.m_nShape);
    box.m_nPresetId = uint32_t(
        StoredInRange(settings::kCropPreset, int(cmd::ID_PRESET_FIRST), int(cmd::ID_PRESET_LAST), int(box.m_nPresetId)));
    box.m_nBorderId = uint32_t(
        StoredInRange(settings::kCropBorder, int(cmd::ID_BORDER_NONE), int(cmd::ID_BORDER_LAST), int(box.m_nBorderId)));
    box.m_bRotated = StoredInRange(settings::kCropRotated, 0, 1, box.m_bRotated ? 1 : 0) == 1;
}

void StoreChoices(const CropBoxModel& box) {
    SettingsStore::WriteInt(settings::kSection, settings::kCropShape, box.m_nShape);
    SettingsStore::WriteInt(settings::kSection, settings::kCropPreset, int(box.m_nPresetId));
    SettingsStore::WriteInt(settings::kSection, settings::kCropBorder, int(box.m_nBorderId));
    SettingsStore::WriteInt(settings::kSection, settings::kCropRotated, box.m_bRotated ? 1 : 0);
}

}  // namespace cropbox
