// The duktape engine of the PAC evaluator program (see TPacEngine).
#pragma once

#include <cstddef>
#include <string>

#include "net/PacScript.h"

namespace orvane {

// Runs script and calls FindProxyForURL(url, host) in this process, with
// the customary PAC helper functions, the engine's heap capped at
// memoryLimit; a fatal engine error ends the process when exitOnFatal is set
// (otherwise it aborts).
TPacOutcome RunPacScriptInThisProcess(const std::string& script, const std::string& url,
                                      const std::string& host, const TPacEnvironment& env,
                                      std::size_t memoryLimit, bool exitOnFatal);

}  // namespace orvane
