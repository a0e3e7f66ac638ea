// The words an export ends with, the same in the dialog and in snipwell-cli: one line a photo
// (its file, print size and dpi, or why it was not written), then the prints too soft for a
// sharp print, the counts, and why writing stopped.
#pragma once

#include <string>

#include "order/OrderExport.h"

namespace order {

// "IMG_0001.jpg -> /prints/IMG_0001-6x4.jpg: 6.0 x 4.0 in (152 x 102 mm) at 300 dpi"
std::string PhotoLine(const PhotoOutcome& photo);
// Every photo's line, then "Under 150 dpi: ...", the counts and the stop's reason, one a line.
std::string SummaryText(const ExportOutcome& outcome);

}  // namespace order
