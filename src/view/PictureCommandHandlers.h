// The ribbon's picture and crop box commands, routed to the document the view shows: the box's
// shape, preset, border, rotation and visibility, Cut, the turns and tones, the light sliders,
// Undo and Redo.
#pragma once

#include "commands/CommandRouter.h"

class PictureView;

void RegisterPictureCommands(PictureView& view, CommandHandlers& handlers);
