#include "app/AppLifecycle.h"

#include <utility>

#include "logging/Logging.h"
#include "net/OvixHttpGet.h"
#include "net/OvixOpenSSL.h"
#include "system/SysUtils.h"

namespace orvane {

void StartProgramUnits(TLogTimerFactory timers) { StartLogging(std::move(timers)); }

void StopProgramUnits() {
  if (OpenSSLPrepared()) CleanupOpenSSL();
  ClearOvixHttpProxy();
  ReleaseFolderCaches();
  StopLogging();
}

}  // namespace orvane
