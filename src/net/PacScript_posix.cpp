// PAC evaluation on POSIX with the embedded duktape engine. The engine as
// packaged offers no way to interrupt a running script, so each evaluation
// runs in a forked child that reports its answer through a pipe; when the
// time limit runs out the child is killed. This also keeps a crash inside the
// engine away from the program. (On Windows WinHTTP evaluates the scripts.)
#include "net/PacScript.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <duktape.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <vector>

namespace orvane {

namespace {

// The helper functions PAC scripts expect, written in the engine's own
// language on top of three native functions: dnsResolve, myIpAddress and
// __orvanePacNowMs (the injectable clock).
//
// Range helpers accept a trailing "GMT" and otherwise use local time. Their
// ranges include both ends at the granularity given (timeRange(9, 17) covers
// 9:00:00 to 17:59:59, timeRange(8, 30, 17, 0) 8:30:00 to 17:00:59) and wrap
// around when the start lies after the end (weekdayRange("FRI", "MON"),
// timeRange(22, 6), dateRange("DEC", "JAN")); a year range does not wrap.
constexpr const char kPacHelpers[] = R"JS(
function __orvaneArgs(args) {
  var a = Array.prototype.slice.call(args);
  var gmt = a.length > 0 && String(a[a.length - 1]).toUpperCase() === 'GMT';
  if (gmt) a.pop();
  return { list: a, gmt: gmt };
}
function __orvaneIp4(s) {
  var m = /^(\d{1,3})\.(\d{1,3})\.(\d{1,3})\.(\d{1,3})$/.exec(String(s));
  if (!m) return null;
  var v = 0;
  for (var i = 1; i <= 4; i++) {
    var o = parseInt(m[i], 10);
    if (o > 255) return null;
    v = v * 256 + o;
  }
  return v;
}
function isPlainHostName(host) {
  host = String(host);
  return host.indexOf('.') < 0 && host.indexOf(':') < 0;
}
function dnsDomainIs(host, domain) {
  host = String(host).toLowerCase();
  domain = String(domain).toLowerCase();
  return host.length >= domain.length && host.substring(host.length - domain.length) === domain;
}
function localHostOrDomainIs(host, hostdom) {
  host = String(host).toLowerCase();
  hostdom = String(hostdom).toLowerCase();
  return host === hostdom || (host.indexOf('.') < 0 && hostdom.indexOf(host + '.') === 0);
}
function isResolvable(host) {
  return dnsResolve(host) !== null;
}
function isInNet(host, pattern, mask) {
  var ip = __orvaneIp4(host);
  if (ip === null) {
    var resolved = dnsResolve(host);
    if (resolved === null) return false;
    ip = __orvaneIp4(resolved);
  }
  var p = __orvaneIp4(pattern), m = __orvaneIp4(mask);
  if (ip === null || p === null || m === null) return false;
  return ((ip & m) >>> 0) === ((p & m) >>> 0);
}
function dnsDomainLevels(host) {
  return String(host).split('.').length - 1;
}
function shExpMatch(str, shexp) {
  var re = String(shexp).replace(/[.+^${}()|\[\]\\]/g, '\\$&').replace(/\*/g, '.*').replace(/\?/g, '.');
  return new RegExp('^' + re + '$').test(String(str));
}
function alert() {}
var __orvaneDays = ['SUN', 'MON', 'TUE', 'WED', 'THU', 'FRI', 'SAT'];
var __orvaneMonths = ['JAN', 'FEB', 'MAR', 'APR', 'MAY', 'JUN', 'JUL', 'AUG', 'SEP', 'OCT', 'NOV', 'DEC'];
function __orvaneInRange(value, start, end, wraps) {
  if (start <= end) return value >= start && value <= end;
  return wraps && (value >= start || value <= end);
}
function weekdayRange() {
  var a = __orvaneArgs(arguments);
  if (a.list.length < 1 || a.list.length > 2) return false;
  var d1 = __orvaneDays.indexOf(String(a.list[0]).toUpperCase());
  var d2 = a.list.length === 2 ? __orvaneDays.indexOf(String(a.list[1]).toUpperCase()) : d1;
  if (d1 < 0 || d2 < 0) return false;
  var now = new Date(__orvanePacNowMs());
  return __orvaneInRange(a.gmt ? now.getUTCDay() : now.getDay(), d1, d2, true);
}
function timeRange() {
  var a = __orvaneArgs(arguments), n = a.list.length, v = [];
  for (var i = 0; i < n; i++) {
    v.push(parseInt(a.list[i], 10));
    if (isNaN(v[i])) return false;
  }
  var now = new Date(__orvanePacNowMs());
  var h = a.gmt ? now.getUTCHours() : now.getHours();
  var m = a.gmt ? now.getUTCMinutes() : now.getMinutes();
  var s = a.gmt ? now.getUTCSeconds() : now.getSeconds();
  if (n === 1) return h === v[0];
  if (n === 2) return __orvaneInRange(h, v[0], v[1], true);
  if (n === 4) return __orvaneInRange(h * 60 + m, v[0] * 60 + v[1], v[2] * 60 + v[3], true);
  if (n === 6)
    return __orvaneInRange(h * 3600 + m * 60 + s, v[0] * 3600 + v[1] * 60 + v[2], v[3] * 3600 + v[4] * 60 + v[5], true);
  return false;
}
function __orvaneDatePart(list) {
  var r = { d: null, m: null, y: null, shape: '' };
  for (var i = 0; i < list.length; i++) {
    var month = __orvaneMonths.indexOf(String(list[i]).toUpperCase());
    if (month >= 0) { r.m = month + 1; r.shape += 'm'; continue; }
    if (!/^\d+$/.test(String(list[i]))) return null;
    var n = parseInt(list[i], 10);
    if (n >= 1 && n <= 31) { r.d = n; r.shape += 'd'; } else if (n > 31) { r.y = n; r.shape += 'y'; } else return null;
  }
  var shapes = ['d', 'm', 'y', 'dm', 'my', 'dmy'];
  return shapes.indexOf(r.shape) >= 0 ? r : null;
}
function dateRange() {
  var a = __orvaneArgs(arguments), n = a.list.length;
  if (n !== 1 && n !== 2 && n !== 4 && n !== 6) return false;
  var start = __orvaneDatePart(n === 1 ? a.list : a.list.slice(0, n / 2));
  var end = __orvaneDatePart(n === 1 ? a.list : a.list.slice(n / 2));
  if (start === null || end === null || start.shape !== end.shape) return false;
  var now = new Date(__orvanePacNowMs());
  var today = {
    d: a.gmt ? now.getUTCDate() : now.getDate(),
    m: (a.gmt ? now.getUTCMonth() : now.getMonth()) + 1,
    y: a.gmt ? now.getUTCFullYear() : now.getFullYear()
  };
  function key(part) {
    return (start.y !== null ? part.y : 0) * 10000 + (start.m !== null ? part.m : 0) * 100 +
           (start.d !== null ? part.d : 0);
  }
  return __orvaneInRange(key(today), key(start), key(end), start.y === null);
}
)JS";

// Heap bookkeeping: every block carries its size in a header so that the
// engine's heap as a whole can be capped.
constexpr std::size_t kBlockHeader = alignof(std::max_align_t);

struct THeapState {
  std::size_t used = 0;
  std::size_t limit = 0;
  const TPacEnvironment* env = nullptr;
  bool exitOnFatal = false;
};

void* HeapAlloc(void* udata, duk_size_t size) {
  auto* state = static_cast<THeapState*>(udata);
  if (size > state->limit - state->used) return nullptr;
  auto* block = static_cast<unsigned char*>(std::malloc(size + kBlockHeader));
  if (block == nullptr) return nullptr;
  std::memcpy(block, &size, sizeof size);
  state->used += size;
  return block + kBlockHeader;
}

std::size_t BlockSize(void* ptr) {
  std::size_t size = 0;
  std::memcpy(&size, static_cast<unsigned char*>(ptr) - kBlockHeader, sizeof size);
  return size;
}

void HeapFree(void* udata, void* ptr) {
  if (ptr == nullptr) return;
  auto* state = static_cast<THeapState*>(udata);
  state->used -= BlockSize(ptr);
  std::free(static_cast<unsigned char*>(ptr) - kBlockHeader);
}

void* HeapRealloc(void* udata, void* ptr, duk_size_t size) {
  if (ptr == nullptr) return HeapAlloc(udata, size);
  if (size == 0) {
    HeapFree(udata, ptr);
    return nullptr;
  }
  auto* state = static_cast<THeapState*>(udata);
  const std::size_t old = BlockSize(ptr);
  if (size > old && size - old > state->limit - state->used) return nullptr;
  auto* block = static_cast<unsigned char*>(
      std::realloc(static_cast<unsigned char*>(ptr) - kBlockHeader, size + kBlockHeader));
  if (block == nullptr) return nullptr;
  std::memcpy(block, &size, sizeof size);
  state->used = state->used - old + size;
  return block + kBlockHeader;
}

// The engine calls this on errors it cannot recover from (it must not
// return). Inside the disposable child the process simply ends.
void HeapFatal(void* udata, const char*) {
  if (static_cast<THeapState*>(udata)->exitOnFatal) _exit(3);
  std::abort();
}

const TPacEnvironment& EnvOf(duk_context* ctx) {
  duk_memory_functions funcs;
  duk_get_memory_functions(ctx, &funcs);
  return *static_cast<THeapState*>(funcs.udata)->env;
}

bool IsIPv4Literal(const std::string& text) {
  int parts = 0;
  std::size_t i = 0;
  while (i <= text.size()) {
    std::size_t digits = 0;
    int value = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) != 0 && digits < 4) {
      value = value * 10 + (text[i] - '0');
      ++i;
      ++digits;
    }
    if (digits == 0 || digits > 3 || value > 255) return false;
    ++parts;
    if (i == text.size()) break;
    if (text[i] != '.') return false;
    ++i;
  }
  return parts == 4;
}

duk_ret_t NativeDnsResolve(duk_context* ctx) {
  const std::string host = duk_safe_to_string(ctx, 0);
  std::optional<std::string> address;
  if (IsIPv4Literal(host)) {
    address = host;
  } else if (!host.empty()) {
    address = EnvOf(ctx).ResolveIPv4(host);
  }
  if (address) {
    duk_push_lstring(ctx, address->data(), address->size());
  } else {
    duk_push_null(ctx);
  }
  return 1;
}

duk_ret_t NativeMyIpAddress(duk_context* ctx) {
  const std::string address = EnvOf(ctx).MyIpAddress();
  duk_push_lstring(ctx, address.data(), address.size());
  return 1;
}

duk_ret_t NativeNowMs(duk_context* ctx) {
  duk_push_number(ctx, static_cast<duk_double_t>(EnvOf(ctx).NowMs()));
  return 1;
}

std::string TopError(duk_context* ctx) { return duk_safe_to_string(ctx, -1); }

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

TPacOutcome RunPacScriptInThisProcess(const std::string& script, const std::string& url,
                                      const std::string& host, const TPacEnvironment& env,
                                      std::size_t memoryLimit, bool exitOnFatal) {
  THeapState state;
  state.limit = memoryLimit;
  state.env = &env;
  state.exitOnFatal = exitOnFatal;
  duk_context* ctx = duk_create_heap(HeapAlloc, HeapRealloc, HeapFree, &state, HeapFatal);
  if (ctx == nullptr) return {std::nullopt, "cannot create the script engine"};

  TPacOutcome outcome;
  const struct {
    const char* name;
    duk_c_function fn;
    duk_idx_t args;
  } natives[] = {{"dnsResolve", NativeDnsResolve, 1},
                 {"myIpAddress", NativeMyIpAddress, 0},
                 {"__orvanePacNowMs", NativeNowMs, 0}};
  for (const auto& native : natives) {
    duk_push_c_function(ctx, native.fn, native.args);
    duk_put_global_string(ctx, native.name);
  }

  if (duk_peval_lstring(ctx, kPacHelpers, sizeof kPacHelpers - 1) != 0) {
    outcome.Error = "helper library: " + TopError(ctx);
  } else {
    duk_pop(ctx);
    duk_push_string(ctx, "proxy script");
    if (duk_pcompile_lstring_filename(ctx, 0, script.data(), script.size()) != 0 || duk_pcall(ctx, 0) != 0) {
      outcome.Error = "script: " + TopError(ctx);
    } else {
      duk_pop(ctx);
      if (!duk_get_global_string(ctx, "FindProxyForURL") || !duk_is_function(ctx, -1)) {
        outcome.Error = "the script defines no function FindProxyForURL";
      } else {
        duk_push_lstring(ctx, url.data(), url.size());
        duk_push_lstring(ctx, host.data(), host.size());
        if (duk_pcall(ctx, 2) != 0) {
          outcome.Error = "FindProxyForURL: " + TopError(ctx);
        } else if (!duk_is_string(ctx, -1)) {
          outcome.Error = "FindProxyForURL returned no string";
        } else {
          duk_size_t length = 0;
          const char* text = duk_get_lstring(ctx, -1, &length);
          outcome.Result = std::string(text, length);
        }
      }
    }
  }
  duk_destroy_heap(ctx);
  return outcome;
}

std::optional<TAutoProxyResult> PacResultToAutoProxy(const std::string& result) {
  struct TEntry {
    std::string scheme;
    std::string address;
  };
  std::vector<TEntry> proxies;
  bool direct = false;

  std::stringstream entries(result);
  std::string entry;
  while (!direct && std::getline(entries, entry, ';')) {
    std::istringstream words(entry);
    std::string keyword;
    std::string address;
    std::string extra;
    if (!(words >> keyword)) continue;
    keyword = Lower(keyword);
    if (keyword == "direct") {
      direct = true;
      continue;
    }
    // "PROXY host:port" and nothing more; SOCKS proxies cannot carry the
    // HTTP request as it is made, so they are passed over.
    if (!(words >> address) || (words >> extra) || address.find('/') != std::string::npos) continue;
    if (keyword == "proxy" || keyword == "http") {
      proxies.push_back({"http", address});
    } else if (keyword == "https") {
      proxies.push_back({"https", address});
    }
  }

  TAutoProxyResult auto_proxy;
  if (proxies.empty()) {
    if (!direct) return std::nullopt;
    auto_proxy.AccessType = kProxyAccessTypeNoProxy;
    return auto_proxy;
  }
  const bool with_schemes =
      std::any_of(proxies.begin(), proxies.end(), [](const TEntry& e) { return e.scheme != "http"; });
  auto_proxy.AccessType = kProxyAccessTypeNamedProxy;
  for (const TEntry& proxy : proxies) {
    if (!auto_proxy.Proxy.empty()) auto_proxy.Proxy += ';';
    if (with_schemes) auto_proxy.Proxy += proxy.scheme + "://";
    auto_proxy.Proxy += proxy.address;
  }
  return auto_proxy;
}

std::string PacHostOfUrl(const std::string& url) {
  CURLU* handle = curl_url();
  if (handle == nullptr) return {};
  std::string host;
  char* part = nullptr;
  if (curl_url_set(handle, CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK &&
      curl_url_get(handle, CURLUPART_HOST, &part, 0) == CURLUE_OK) {
    host = part;
    curl_free(part);
  }
  curl_url_cleanup(handle);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  return Lower(host);
}

namespace {

// Answers larger than this are not proxy lists.
constexpr std::size_t kMaxAnswer = 1 << 20;

std::optional<std::string> ResolveIPv4WithGetaddrinfo(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return std::nullopt;
  char text[INET_ADDRSTRLEN] = {};
  const auto* address = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  const bool ok = inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) != nullptr;
  freeaddrinfo(found);
  if (!ok) return std::nullopt;
  return std::string(text);
}

// The interface of the IPv4 default route, from the kernel's routing table.
std::string DefaultRouteInterface() {
  std::ifstream routes("/proc/net/route");
  std::string line;
  std::getline(routes, line);  // column titles
  while (std::getline(routes, line)) {
    std::istringstream fields(line);
    std::string name;
    std::string destination;
    std::string gateway;
    std::string flags;
    if (fields >> name >> destination >> gateway >> flags && destination == "00000000") return name;
  }
  return {};
}

// The address of the default-route interface, else of the first interface
// that is up and not loopback, else 127.0.0.1. No packet is sent.
std::string MyIpAddressFromInterfaces() {
  const std::string preferred = DefaultRouteInterface();
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return "127.0.0.1";
  std::string first;
  std::string chosen;
  for (ifaddrs* it = list; it != nullptr && chosen.empty(); it = it->ifa_next) {
    if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_INET) continue;
    if ((it->ifa_flags & IFF_UP) == 0 || (it->ifa_flags & IFF_LOOPBACK) != 0) continue;
    char text[INET_ADDRSTRLEN] = {};
    const auto* address = reinterpret_cast<const sockaddr_in*>(it->ifa_addr);
    if (inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) == nullptr) continue;
    if (!preferred.empty() && preferred == it->ifa_name) chosen = text;
    if (first.empty()) first = text;
  }
  freeifaddrs(list);
  if (!chosen.empty()) return chosen;
  return first.empty() ? "127.0.0.1" : first;
}

std::int64_t SystemNowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

TPacEnvironment Completed(const TPacEnvironment& env) {
  TPacEnvironment complete = env;
  if (!complete.ResolveIPv4) complete.ResolveIPv4 = ResolveIPv4WithGetaddrinfo;
  if (!complete.MyIpAddress) complete.MyIpAddress = MyIpAddressFromInterfaces;
  if (!complete.NowMs) complete.NowMs = SystemNowMs;
  return complete;
}

bool WriteAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// The child's report: one kind byte ('R' result, 'E' error), the payload
// length as 20 decimal digits, then the payload. A report that is cut short
// means the child died.
std::string EncodeReport(const TPacOutcome& outcome) {
  const char kind = outcome.Result ? 'R' : 'E';
  std::string payload = outcome.Result ? *outcome.Result : outcome.Error;
  if (payload.size() > kMaxAnswer) {
    return EncodeReport({std::nullopt, "FindProxyForURL returned an oversized answer"});
  }
  char length[32];
  std::snprintf(length, sizeof length, "%020zu", payload.size());
  return std::string(1, kind) + length + payload;
}

TPacOutcome DecodeReport(const std::string& report) {
  constexpr std::size_t kHead = 21;
  if (report.size() < kHead || (report[0] != 'R' && report[0] != 'E')) {
    return {std::nullopt, "the evaluation ended abnormally"};
  }
  std::size_t length = 0;
  const char* digits = report.data() + 1;
  const std::from_chars_result parsed = std::from_chars(digits, digits + kHead - 1, length);
  if (parsed.ec != std::errc() || parsed.ptr != digits + kHead - 1 || length != report.size() - kHead) {
    return {std::nullopt, "the evaluation ended abnormally"};
  }
  std::string payload = report.substr(kHead);
  if (report[0] == 'R') return {std::move(payload), {}};
  return {std::nullopt, std::move(payload)};
}

void Reap(pid_t child) {
  while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

TPacEnvironment SystemPacEnvironment() { return Completed({}); }

TPacOutcome EvaluatePacScript(const std::string& script, const std::string& url, const std::string& host,
                              const TPacEnvironment& env, const TPacLimits& limits) {
  const TPacEnvironment complete = Completed(env);
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return {std::nullopt, std::string("pipe: ") + std::strerror(errno)};

  const pid_t child = fork();
  if (child < 0) {
    const int error = errno;
    close(fds[0]);
    close(fds[1]);
    return {std::nullopt, std::string("fork: ") + std::strerror(error)};
  }
  if (child == 0) {
    close(fds[0]);
    tzset();  // the script's local time follows the current TZ
    const TPacOutcome outcome =
        RunPacScriptInThisProcess(script, url, host, complete, limits.MemoryLimit, /*exitOnFatal=*/true);
    _exit(WriteAll(fds[1], EncodeReport(outcome)) ? 0 : 1);
  }
  close(fds[1]);

  const auto deadline = std::chrono::steady_clock::now() + limits.TimeLimit;
  std::string report;
  bool timed_out = false;
  char buffer[4096];
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timed_out = true;
      break;
    }
    pollfd watch{fds[0], POLLIN, 0};
    const int ready = poll(&watch, 1, static_cast<int>(std::min<std::int64_t>(left.count(), 60000)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) break;
    if (ready == 0) continue;
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    report.append(buffer, static_cast<std::size_t>(n));
    if (report.size() > kMaxAnswer + 64) break;
  }
  close(fds[0]);
  // Whatever ended the wait (a complete report, the time limit, an oversized
  // or failed read), the child is not needed any more: one that is still
  // running would otherwise keep the reap below waiting for ever.
  kill(child, SIGKILL);
  Reap(child);
  if (timed_out) {
    return {std::nullopt, "the script ran longer than " + std::to_string(limits.TimeLimit.count()) + " ms"};
  }
  return DecodeReport(report);
}

}  // namespace orvane
