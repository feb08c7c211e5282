#include "app/AppLifecycle.h"

#include <utility>

#include "logging/Logging.h"
#include "net/OvixHttpGet.h"
#include "system/SysUtils.h"

namespace orvane {

void StartProgramUnits(TLogTimerFactory timers) { StartLogging(std::move(timers)); }

void StopProgramUnits() {
  ShutdownOvixHttpGet();
  ReleaseFolderCaches();
  StopLogging();
}

}  // namespace orvane
