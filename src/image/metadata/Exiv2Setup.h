// exiv2 is prepared once per process before its first use: its XMP toolkit is started and
// its warnings, which would go to the terminal, are muted.
#pragma once

void EnsureExiv2Ready();
