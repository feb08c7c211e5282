// The HTTP GET's entry points and the state they share across requests: the
// manual proxy, the request settings, the discovery hooks and the requests
// still running, which shutdown waits for. A request itself is set up, run
// and worded in units of their own (OvixHttpGetInternal.h); this one decides
// between the manual proxy and discovery, traces the choice, runs the steps
// in order and fills in the record.
#include "net/OvixHttpGet.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <utility>

#include "net/OvixDbg.h"
#include "net/OvixHttpGetInternal.h"
#include "net/OvixOpenSSL.h"
#include "system/Utf8.h"

namespace orvane {

std::string OvixHttpProxy;
std::string OvixHttpProxyPort;
std::string OvixHttpProxyUser;
std::string OvixHttpProxyPassword;

void ClearOvixHttpProxy() {
  OvixHttpProxy.clear();
  OvixHttpProxyPort.clear();
  OvixHttpProxyUser.clear();
  OvixHttpProxyPassword.clear();
}

namespace {

// The proxy, transfer and failure records and the steps of a request.
using namespace httpget;

// A body kept in memory is reserved up to this size from its Content-Length,
// which saves copies while it grows; a header alone never makes the program
// take more than this.
constexpr std::uint64_t kMaxReserve = std::uint64_t{4} << 20;

THttpGetSettings& Settings() {
  static THttpGetSettings settings;
  return settings;
}

// Requests running on any thread. Shutdown waits a little for them: a
// download given up during proxy discovery finishes on its helper thread,
// and process exit must not tear down what it still uses. Never freed, so
// that a request ending during exit finds it.
struct InFlight {
  std::mutex mutex;
  std::condition_variable ended;
  int count = 0;
};
InFlight& Requests() {
  static InFlight* requests = new InFlight;
  return *requests;
}

class InFlightRequest {
 public:
  InFlightRequest() {
    const std::lock_guard lock(Requests().mutex);
    ++Requests().count;
  }
  ~InFlightRequest() {
    const std::lock_guard lock(Requests().mutex);
    --Requests().count;
    Requests().ended.notify_all();
  }
  InFlightRequest(const InFlightRequest&) = delete;
  InFlightRequest& operator=(const InFlightRequest&) = delete;
};

TProxyDiscovery& Discovery() {
  static TProxyDiscovery discovery;
  return discovery;
}

std::string MaskPassword(const std::string& password) { return password.empty() ? "" : "********"; }

std::string SignInWords(ProxySignIn signIn) {
  switch (signIn) {
    case ProxySignIn::Logon:
      return "Negotiate or NTLM with the current logon, when asked";
    case ProxySignIn::Typed:
      return "Basic with the typed user name, with the first request";
    case ProxySignIn::FromUrl:
      return "any method with the user name of the proxy address, when asked";
  }
  return {};
}

// The buffer form's sink: the body in memory.
class StringSink : public IHttpBodySink {
 public:
  explicit StringSink(std::string& destination) : destination_(destination) {}
  void Begin(std::int32_t, std::optional<std::uint64_t> announced) override {
    destination_.clear();
    if (announced) destination_.reserve(static_cast<size_t>(std::min(*announced, kMaxReserve)));
  }
  void Write(const char* data, std::size_t size) override { destination_.append(data, size); }

 private:
  std::string& destination_;
};

}  // namespace

THttpGetSettings GetHttpGetSettings() { return Settings(); }

void SetHttpGetSettings(const THttpGetSettings& settings) { Settings() = settings; }

TProxyDiscovery SetProxyDiscovery(TProxyDiscovery discovery) {
  return std::exchange(Discovery(), std::move(discovery));
}

std::int32_t ResponseCodeFromText(const std::string& text) {
  const size_t hash = text.find('#');
  if (hash == std::string::npos || hash + 2 >= text.size()) return kResponseCodeUnknown;
  const size_t start = hash + 2;
  size_t end = start;
  while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
  std::int32_t code = 0;
  auto [ptr, ec] = std::from_chars(text.data() + start, text.data() + end, code);
  if (end == start || ec != std::errc() || ptr != text.data() + end) return kResponseCodeUnknown;
  return code;
}

THttpGetRequest MakeHttpGetRequest(const std::string& url) {
  return {url,        OvixHttpProxy, OvixHttpProxyPort, OvixHttpProxyUser, OvixHttpProxyPassword,
          Settings(), Discovery()};
}

THttpGetOutcome HttpGet(const THttpGetRequest& request, IHttpBodySink& sink, OvixHTTPResponse& response,
                        const THttpGetControl& control) {
  const InFlightRequest inFlight;
  const std::string& url = request.Url;
  ProxySettings proxy;
  Transfer transfer(sink, request.Settings);
  std::optional<RequestFailure> failure;
  try {
    if (!request.Proxy.empty()) {
      ApplyManualProxy(request, proxy);
    } else {
      try {
        DiscoverProxy(url, request.Discovery, proxy);
      } catch (const std::exception& e) {
        // Discovery that breaks down means no proxy, like discovery that
        // finds none.
        OvixDbg(std::string("Proxy discovery failed: ") + e.what());
        proxy = ProxySettings();
      }
    }
    OvixDbg(" OvixHttpProxy: " + proxy.server);
    OvixDbg(" OvixHttpProxyPort: " + std::to_string(proxy.port));
    OvixDbg(" OvixHttpProxyUser: " + proxy.user);
    OvixDbg(" OvixHttpProxyPassword: " + MaskPassword(proxy.password));
    if (!proxy.server.empty()) OvixDbg(" OvixHttpProxySignIn: " + SignInWords(proxy.signIn));
    if (control.MayConnect && !control.MayConnect()) {
      transfer.stop = EarlyStop::Cancelled;
      failure = EarlyStopFailure(transfer);
    } else {
      if (StartsWithNoCase(url, "https://") && !OpenSSLPrepared()) PrepareOpenSSL();
      failure = Perform(url, proxy, transfer, control);
    }
  } catch (...) {
    failure.emplace();
    failure->message = DescribeException(std::current_exception(), &failure->type);
    failure->cause = failure->type == "EOpenSSLError"
                         ? "Secure connections (https) are not available: " + failure->message
                         : "The request could not be made: " + failure->message;
  }

  THttpGetOutcome outcome;
  outcome.ContentType = transfer.contentType;
  // Everything handed back may come from the server or the proxy script
  // and ends up in log lines and message boxes: see EscapeControlChars.
  if (!failure) {
    response.ResponseText = EscapeControlChars(transfer.statusLine);
    response.ResponseCode = static_cast<std::int32_t>(transfer.status);
    response.ProxyHost = EscapeControlChars(proxy.server);
    response.ProxyPort = std::to_string(proxy.port);
    response.ProxyUserName = EscapeControlChars(proxy.user);
    return outcome;
  }

  OvixDbg("Error (class: " + failure->type + ")  in HTTP Get (" + url + ") " + failure->message + " " +
          failure->message + " !");
  response.ResponseText = EscapeControlChars("Error: " + failure->type + " " + failure->message);
  response.ResponseCode =
      failure->httpStatus ? *failure->httpStatus : ResponseCodeFromText(response.ResponseText);
  outcome.Cancelled = transfer.stop == EarlyStop::Cancelled;
  outcome.Cause = EscapeControlChars(failure->cause);
  outcome.SinkError = transfer.sinkError;
  return outcome;
}

void HttpGet(const std::string& url, std::string& destination, OvixHTTPResponse& response,
             const THttpProgress& progress) {
  destination.clear();
  StringSink sink(destination);
  THttpGetControl control;
  control.Progress = progress;
  HttpGet(MakeHttpGetRequest(url), sink, response, control);
}

void ShutdownOvixHttpGet(std::chrono::milliseconds waitForRequests) {
  {
    std::unique_lock lock(Requests().mutex);
    Requests().ended.wait_for(lock, waitForRequests, [] { return Requests().count == 0; });
  }
  if (OpenSSLPrepared()) CleanupOpenSSL();
  ClearOvixHttpProxy();
}

}  // namespace orvane
