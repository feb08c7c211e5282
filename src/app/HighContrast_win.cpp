#include "app/HighContrast.h"

#include <windows.h>

namespace orvane {

bool SystemHighContrast() {
  HIGHCONTRASTW hc{};
  hc.cbSize = sizeof(hc);
  return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(hc), &hc, 0) && (hc.dwFlags & HCF_HIGHCONTRASTON);
}

}  // namespace orvane
