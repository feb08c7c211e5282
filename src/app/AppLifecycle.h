// Start-up and shutdown of the program's units, in one place.
//
// Start-up, before the main window exists:
//   1. the toolkit comes up and the help dialog gets its wx view, so that
//      the logging help page can be shown before the window;
//   2. the logging unit starts (settings file and command line, Logger,
//      start message, logging help page).
// Then the main window and the message loop. Shutdown, once the window has
// closed, runs in reverse: the network unit (TLS library, manual proxy
// texts), the folder caches, the logging unit (end message, Logger
// destroyed), and last the help dialog.
#pragma once

#include "logging/LogTimer.h"

namespace orvane {

// Step 2 above; timers binds the logger's timers to the message loop.
void StartProgramUnits(TLogTimerFactory timers);

// The shutdown above. Safe to call when start-up did not complete.
void StopProgramUnits();

}  // namespace orvane
