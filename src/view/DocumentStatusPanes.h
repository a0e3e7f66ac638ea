// The three status panes that describe the document the view shows: its file (with a flag for
// a damaged picture or dropped metadata), the picture's size and the crop box's size.
#pragma once

#include "commands/CommandRouter.h"

class PictureView;

void RegisterStatusPanes(PictureView& view, CommandHandlers& handlers);
