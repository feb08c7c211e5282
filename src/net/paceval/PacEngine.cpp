// The script engine behind the PAC evaluator program: duktape with the
// customary PAC helper functions, its heap capped. Only orvane-pac-eval links
// it; the program itself starts that evaluator and carries no engine.
#include "net/paceval/PacEngine.h"

#include <duktape.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

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
// return). Inside the evaluator program the process simply ends.
void HeapFatal(void* udata, const char*) {
  if (static_cast<THeapState*>(udata)->exitOnFatal) _exit(kPacExitFatalEngineError);
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

}  // namespace orvane
