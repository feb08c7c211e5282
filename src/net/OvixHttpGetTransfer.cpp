// The transfer and its limits: libcurl's callbacks read the answers as they
// arrive (status lines, the headers that matter, the body into the sink),
// and the loop around libcurl's multi interface keeps the limits (header
// size and time, body size, stalls and trickles) and the cancel flag. These
// limits are what stands between the program and a hostile or broken server,
// so they read together, apart from the set-up and the wording.
#include "net/OvixHttpGetInternal.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <limits>
#include <memory>

namespace orvane::httpget {

namespace {

// How long the transfer loop waits for the sockets before it looks at the
// cancel flag, the time-outs and the progress again.
constexpr int kPollMs = 50;

// An authentication scheme name as the HTTP grammar allows it (a token), of
// a sensible length: anything else from the proxy is not repeated to the
// user.
bool IsSchemeName(std::string_view name) {
  constexpr std::string_view kTokenMarks = "!#$%&'*+-.^_`|~";
  return !name.empty() && name.size() <= 32 && std::all_of(name.begin(), name.end(), [&](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || kTokenMarks.find(c) != std::string_view::npos;
  });
}

// The first word of a header value: the scheme of a challenge or of a
// credential.
std::string_view FirstWord(std::string_view value) {
  value = Trimmed(value);
  return value.substr(0, std::min(value.find_first_of(" \t"), value.size()));
}

// Adds the schemes one Proxy-Authenticate value names. A value may hold
// several challenges separated by commas; each starts with its scheme,
// followed by a token or by name=value parameters, whose quoted strings may
// hold commas themselves.
void AddProxySchemes(std::string_view value, std::vector<std::string>& schemes) {
  constexpr size_t kMaxSchemes = 8;
  bool quoted = false;
  size_t start = 0;
  for (size_t i = 0; i <= value.size(); ++i) {
    if (i < value.size() && quoted && value[i] == '\\') {
      ++i;
      continue;
    }
    if (i < value.size() && value[i] == '"') quoted = !quoted;
    if (i < value.size() && (quoted || value[i] != ',')) continue;
    const std::string_view scheme = FirstWord(value.substr(start, i - start));
    start = i + 1;
    // A parameter of the challenge before ("realm=...") is no scheme.
    if (!IsSchemeName(scheme) || schemes.size() >= kMaxSchemes) continue;
    if (std::none_of(schemes.begin(), schemes.end(),
                     [&](const std::string& known) { return SameScheme(known, scheme); })) {
      schemes.emplace_back(scheme);
    }
  }
}

struct MultiDeleter {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct EasyDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

}  // namespace

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t length = size * count;
  t->lastByte = Clock::now();
  t->received += length;
  t->headerBytes += length;
  if (t->headerBytes > t->settings.MaxHeaderSize) {
    t->stop = EarlyStop::HeadersTooLarge;
    return 0;
  }
  std::string_view line = Trimmed(std::string_view(data, length));
  const bool statusLine = line.starts_with("HTTP/");
  // Headers follow a status line also where no request was announced: the
  // sign-in rounds of a proxy tunnel are part of setting up the connection.
  if (statusLine) t->inHeaders = true;
  if (t->inHeaders && !t->headerClock) t->headerClock = t->lastByte;
  if (statusLine) {
    // A new answer (after a redirect, an authentication round or a proxy's
    // CONNECT reply).
    t->statusLine = line;
    t->status = 0;
    if (const size_t blank = line.find(' '); blank != std::string_view::npos) {
      std::string_view code = line.substr(blank + 1, 3);
      std::from_chars(code.data(), code.data() + code.size(), t->status);
    }
    t->announced.reset();
    t->contentType.clear();
    t->proxySchemes.clear();
    t->headersDone = false;
    t->toSink = false;
    t->bodyBytes = 0;
  } else if (t->headersDone) {
    // Trailers of a chunked body: they change nothing that was decided.
  } else if (StartsWithNoCase(line, "content-length:")) {
    const std::string_view value = Trimmed(line.substr(std::strlen("content-length:")));
    std::uint64_t announced = 0;
    auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), announced);
    if (ec == std::errc::result_out_of_range || (ec == std::errc() && end == value.data() + value.size())) {
      if (ec != std::errc() || announced > t->settings.MaxBodySize) {
        t->announced = ec == std::errc() ? announced : std::numeric_limits<std::uint64_t>::max();
        t->stop = EarlyStop::AnnouncedTooLarge;
        return 0;
      }
      t->announced = announced;
    }
  } else if (StartsWithNoCase(line, "content-type:")) {
    t->contentType = Trimmed(line.substr(std::strlen("content-type:")));
  } else if (StartsWithNoCase(line, "proxy-authenticate:")) {
    AddProxySchemes(line.substr(std::strlen("proxy-authenticate:")), t->proxySchemes);
  } else if (line.empty()) {
    t->headersDone = true;
    // An interim answer (100 Continue) is followed by the real one at once:
    // its headers' time keeps running.
    if (t->status >= 200) {
      t->inHeaders = false;
      t->headerClock.reset();
    }
    if (t->status < 200 || t->status > 299) return length;
    try {
      t->sink.Begin(static_cast<std::int32_t>(t->status), t->announced);
      t->toSink = true;
    } catch (...) {
      t->sinkError = std::current_exception();
      return 0;
    }
  }
  return length;
}

// libcurl's verbose output, of which only the request headers are read:
// whether a request to the proxy carried a sign-in, and of which scheme.
int OnDebug(CURL*, curl_infotype type, char* data, size_t size, void* user) {
  if (type != CURLINFO_HEADER_OUT) return 0;
  auto* t = static_cast<Transfer*>(user);
  t->sentProxySignIn.clear();
  std::string_view head(data, size);
  while (!head.empty()) {
    const size_t end = std::min(head.find('\n'), head.size());
    const std::string_view line = head.substr(0, end);
    head.remove_prefix(std::min(end + 1, head.size()));
    if (!StartsWithNoCase(line, "proxy-authorization:")) continue;
    const std::string_view scheme = FirstWord(line.substr(std::strlen("proxy-authorization:")));
    t->sentProxySignIn = IsSchemeName(scheme) ? std::string(scheme) : "unknown";
  }
  return 0;
}

// libcurl is about to send a request: the first, or one after a redirect
// or a sign-in round. The connection and any proxy tunnel are made.
int OnRequest(void* user, char*, char*, int, int) {
  auto* t = static_cast<Transfer*>(user);
  t->inHeaders = true;
  t->headerClock.reset();
  return CURL_PREREQFUNC_OK;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t length = size * count;
  t->lastByte = Clock::now();
  t->received += length;
  t->bodyBytes += length;
  if (t->bodyBytes > t->settings.MaxBodySize) {
    t->stop = EarlyStop::GrewTooLarge;
    return 0;
  }
  if (!t->toSink) return length;  // redirects and error pages are not kept
  try {
    t->sink.Write(data, length);
  } catch (...) {
    t->sinkError = std::current_exception();
    return 0;
  }
  return length;
}

// Runs the transfer through libcurl's multi interface, so that the loop gets
// control back at least every kPollMs whatever the server does: the stall
// and rate limits are checked here, exactly, and a cancel takes effect
// within one round.
std::optional<RequestFailure> Perform(const std::string& url, const ProxySettings& proxy, Transfer& transfer,
                                      const THttpGetControl& control) {
  std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
  std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
  if (!easy || !multi) throw RequestError("ECurlError", "cannot create an HTTP client");
  CURL* curl = easy.get();
  const THttpGetSettings& settings = transfer.settings;
  char detail[CURL_ERROR_SIZE] = {};
  ConfigureHandle(curl, url, proxy, settings, transfer, detail);
  if (curl_multi_add_handle(multi.get(), curl) != CURLM_OK) {
    throw RequestError("ECurlError", "cannot start the transfer");
  }

  const auto reportProgress = [&] {
    if (control.Progress) {
      control.Progress(transfer.toSink ? transfer.bodyBytes : 0,
                       transfer.toSink ? transfer.announced : std::nullopt);
    }
  };
  transfer.lastByte = Clock::now();
  Clock::time_point windowStart = transfer.lastByte;
  std::uint64_t windowBytes = 0;
  int running = 1;
  while (running > 0 && transfer.stop == EarlyStop::None) {
    if (CURLMcode mc = curl_multi_perform(multi.get(), &running); mc != CURLM_OK) {
      curl_multi_remove_handle(multi.get(), curl);
      throw RequestError("ECurlError", curl_multi_strerror(mc));
    }
    if (running == 0 || transfer.stop != EarlyStop::None || transfer.sinkError) break;
    const Clock::time_point now = Clock::now();
    if (control.Cancelled && control.Cancelled()) {
      transfer.stop = EarlyStop::Cancelled;
    } else if (transfer.headerClock && now - *transfer.headerClock >= settings.HeaderTimeout) {
      transfer.stop = EarlyStop::HeadersDidNotEnd;
    } else if (now - transfer.lastByte >= settings.StallTimeout) {
      transfer.stop = EarlyStop::Stalled;
    } else if (now - windowStart >= settings.LowSpeedTime) {
      // The average of each whole window counts, so that a short pause in an
      // otherwise fast transfer ends nothing.
      const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now - windowStart).count();
      if (transfer.received - windowBytes < settings.LowSpeedLimit * static_cast<std::uint64_t>(seconds)) {
        transfer.stop = EarlyStop::TooSlow;
      }
      windowStart = now;
      windowBytes = transfer.received;
    }
    if (transfer.stop != EarlyStop::None) break;
    try {
      reportProgress();
    } catch (...) {
      transfer.callbackError = std::current_exception();
      break;
    }
    if (CURLMcode mc = curl_multi_poll(multi.get(), nullptr, 0, kPollMs, nullptr); mc != CURLM_OK) {
      curl_multi_remove_handle(multi.get(), curl);
      throw RequestError("ECurlError", curl_multi_strerror(mc));
    }
  }

  CURLcode rc = CURLE_OK;
  bool finished = false;
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
    if (message->msg == CURLMSG_DONE && message->easy_handle == curl) {
      rc = message->data.result;
      finished = true;
    }
  }
  curl_multi_remove_handle(multi.get(), curl);

  if (transfer.sinkError) {
    RequestFailure failure;
    failure.message = DescribeException(transfer.sinkError, &failure.type);
    failure.cause = failure.message;
    return failure;
  }
  if (transfer.stop != EarlyStop::None) return EarlyStopFailure(transfer);
  if (transfer.callbackError) {
    RequestFailure failure;
    failure.message = DescribeException(transfer.callbackError, &failure.type);
    failure.cause = "The transfer was stopped: " + failure.message;
    return failure;
  }
  if (!finished)
    return RequestFailure{"ECurlError", "transfer ended unexpectedly", std::nullopt,
                          "The transfer ended unexpectedly."};
  if (rc != CURLE_OK) return ClassifyCurlFailure(curl, rc, detail, transfer, url, proxy);
  if (transfer.inHeaders) {
    // libcurl takes a connection that closes in the middle of the headers
    // for a whole answer with an empty body.
    return RequestFailure{"ECurlError", "Connection closed before the end of the answer headers",
                          std::nullopt, BrokenOffCause(curl, transfer, proxy)};
  }

  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &transfer.status);
  try {
    reportProgress();
  } catch (...) {
    // The transfer is complete; a hook failing on the last report changes
    // nothing about it.
  }
  if (transfer.status < 200 || transfer.status > 299) {
    return RequestFailure{
        "EHTTPProtocolException",
        transfer.statusLine.empty() ? "HTTP status " + std::to_string(transfer.status) : transfer.statusLine,
        static_cast<std::int32_t>(transfer.status), HttpStatusCause(transfer.status, transfer, proxy, false)};
  }
  return std::nullopt;
}

}  // namespace orvane::httpget
