#include "doc/CropBoxChoices.h"

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
    box.m_shape = StoredInRange(settings::kCropShape, kShapeRectangle, kShapeOval, box.m_shape);
    box.m_presetId = uint32_t(
        StoredInRange(settings::kCropPreset, int(cmd::ID_PRESET_FIRST), int(cmd::ID_PRESET_LAST), int(box.m_presetId)));
    box.m_borderId = uint32_t(
        StoredInRange(settings::kCropBorder, int(cmd::ID_BORDER_NONE), int(cmd::ID_BORDER_LAST), int(box.m_borderId)));
    box.m_rotated = StoredInRange(settings::kCropRotated, 0, 1, box.m_rotated ? 1 : 0) == 1;
}

void StoreChoices(const CropBoxModel& box) {
    SettingsStore::WriteInt(settings::kSection, settings::kCropShape, box.m_shape);
    SettingsStore::WriteInt(settings::kSection, settings::kCropPreset, int(box.m_presetId));
    SettingsStore::WriteInt(settings::kSection, settings::kCropBorder, int(box.m_borderId));
    SettingsStore::WriteInt(settings::kSection, settings::kCropRotated, box.m_rotated ? 1 : 0);
}

}  // namespace cropbox
