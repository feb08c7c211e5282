#include "app/AppLifecycle.h"

#include <utility>

#include "cmdline/HelpForm.h"
#include "logging/Logging.h"
#include "net/OvixHttpGet.h"
#include "system/SysUtils.h"

namespace orvane {

// The logging unit reads its settings file and the command line, writes the
// start message and then shows the logging help page when it was asked for.
void StartProgramUnits(TLogTimerFactory timers) { StartLogging(std::move(timers)); }

void StopProgramUnits() {
  ShutdownOvixHttpGet();
  ReleaseFolderCaches();
  StopLogging();
  // The help dialog goes while the toolkit still runs.
  ReleaseHelpForm();
}

}  // namespace orvane
