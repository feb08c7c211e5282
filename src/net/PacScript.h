// Proxy auto-configuration (PAC) scripts: evaluating FindProxyForURL and
// turning its answer into the auto-proxy result the HTTP GET understands.
//
// A PAC script is JavaScript from the network. It runs in an embedded
// engine with the customary helper functions (isInNet, shExpMatch, ...),
// under a memory cap and, on POSIX, in a separate sandboxed evaluator program
// that is killed when the time limit runs out. Everything the helpers learn about
// the machine (name resolution, the own address, the clock) comes from a
// TPacEnvironment, so tests can run scripts without touching the network.
// POSIX only: on Windows WinHTTP evaluates the scripts.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "net/ProxyDiscovery.h"

namespace orvane {

struct TPacEnvironment {
  // IPv4 address of host as dotted quad; nullopt when it does not resolve.
  // Only called for names: IPv4 literals are answered without it.
  std::function<std::optional<std::string>(const std::string& host)> ResolveIPv4;
  // The address myIpAddress() reports.
  std::function<std::string()> MyIpAddress;
  // Milliseconds since 1970-01-01 UTC, the "now" of weekdayRange, dateRange
  // and timeRange.
  std::function<std::int64_t()> NowMs;
};

// The machine's own: getaddrinfo, the default-route interface's address
// (127.0.0.1 when there is none), the system clock.
TPacEnvironment SystemPacEnvironment();

struct TPacLimits {
  std::chrono::milliseconds TimeLimit{5000};
  std::size_t MemoryLimit = std::size_t{64} << 20;
};

struct TPacOutcome {
  std::optional<std::string> Result;  // what FindProxyForURL returned
  std::string Error;                  // why there is no result
};

// Runs script and calls FindProxyForURL(url, host) in the evaluator program.
// Script errors, a result that is not a string, running out of memory or
// time, and a missing evaluator all give no Result. Members of env that are
// empty fall back to SystemPacEnvironment() inside the evaluator; the others
// are called in this process when the script needs them.
TPacOutcome EvaluatePacScript(const std::string& script, const std::string& url, const std::string& host,
                              const TPacEnvironment& env, const TPacLimits& limits = {});

// A script engine: runs script and calls FindProxyForURL(url, host) in the
// calling process, without a time limit, its heap capped at memoryLimit; a
// fatal engine error ends the process when exitOnFatal is set. The evaluator
// program passes its engine (paceval/PacEngine.h) to RunPacEvaluator, so
// that the program, which only starts evaluators, carries none.
// The evaluator's exit code after a fatal engine error.
inline constexpr int kPacExitFatalEngineError = 3;

using TPacEngine = TPacOutcome (*)(const std::string& script, const std::string& url, const std::string& host,
                                   const TPacEnvironment& env, std::size_t memoryLimit, bool exitOnFatal);

// The evaluator program: kPacEvaluatorName in the folder of the running
// executable (/proc/self/exe). The build puts it beside the program and
// beside the test programs.
inline constexpr char kPacEvaluatorName[] = "orvane-pac-eval";
std::string PacEvaluatorPath();

// Confines the evaluator's process after it has read its request and before
// the script runs: memoryLimit is the engine's heap cap, channels the
// sockets it goes on reading and writing. Returns why it failed, empty on
// success.
using TPacConfine = std::function<std::string(std::size_t memoryLimit, const std::vector<int>& channels)>;

// The evaluator program's work: reads one evaluation request from the socket
// fd, confines itself, runs the script with engine (asking back over fd for the
// environment calls the caller supplied, and a resolver process of its own,
// split off before the confinement, for name lookups and the own address)
// and writes the outcome. A script never runs when confine fails. Returns
// the program's exit code; the program then ends with _exit, as a confined
// process cannot run exit handlers.
int RunPacEvaluator(int fd, const TPacConfine& confine, TPacEngine engine);

// Maps a FindProxyForURL answer ("PROXY a:1; HTTPS b:2; DIRECT") to the
// auto-proxy result. Entries are read in order: PROXY/HTTP entries give
// "host:port", HTTPS entries "https://host:port" (and then every entry gets
// its scheme, "http://a:1;https://b:2", so the first one always parses);
// SOCKS entries and unknown keywords are skipped; a DIRECT entry ends the
// list. DIRECT before any proxy gives kProxyAccessTypeNoProxy. Nothing usable
// gives nullopt (which means: go direct), and so does a proxy entry before the
// end of the list that is malformed or names no plausible address
// (IsPlausibleProxyAddress): the answer then counts as a failed script.
std::optional<TAutoProxyResult> PacResultToAutoProxy(const std::string& result);

// The host part of url as FindProxyForURL expects it (lower case, IPv6
// without brackets); empty when url has none.
std::string PacHostOfUrl(const std::string& url);

}  // namespace orvane
