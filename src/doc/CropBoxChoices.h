// The crop box choices the user keeps across runs: shape, print-size preset, border and the
// box's rotation, in the "Settings" section of the settings store.
#pragma once

#include "doc/CropBoxModel.h"

namespace cropbox {

// Takes the stored choices into box; a choice absent or out of range keeps box's own value.
void RestoreChoices(CropBoxModel& box);
// Stores box's four choices.
void StoreChoices(const CropBoxModel& box);

}  // namespace cropbox
