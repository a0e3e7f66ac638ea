// The Print button's icon: the desktop theme's printer, or a printer drawn here when the theme
// has none (the interface atlas has no printer cell).
#pragma once

#include <QIcon>

QIcon PrinterIcon();
