// Whether the user has asked the system for a high-contrast look.
#pragma once

namespace orvane {

// Windows: the high-contrast setting (SPI_GETHIGHCONTRAST). Linux: a GTK
// theme named HighContrast or HighContrastInverse, GTK's own high-contrast
// themes (GTK has no switch of its own; GTK_THEME overrides the desktop's
// choice as it does for GTK itself). False when it cannot be told.
bool SystemHighContrast();

}  // namespace orvane
