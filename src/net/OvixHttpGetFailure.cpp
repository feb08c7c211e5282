// Failure causes: whatever ended a request early (a libcurl error, a limit,
// an HTTP error answer, a proxy that wants a sign-in, an exception) becomes
// the record's type name and message, for the trace, and a cause a customer
// can read out on the phone. The libcurl codes whose words need nothing of
// the connection are worded in CurlFailureCause.cpp; the ones here need the
// proxy, the address and how far the answer came.
#include "net/OvixHttpGetInternal.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <new>

#include "net/CurlFailureCause.h"
#include "net/OvixOpenSSL.h"
#include "net/ProxyLogon.h"
#include "system/OSFunctions.h"

namespace orvane::httpget {

namespace {

std::string TypeNameOf(const std::exception& e) {
  if (const auto* re = dynamic_cast<const RequestError*>(&e)) return re->type();
  if (dynamic_cast<const EOpenSSLError*>(&e)) return "EOpenSSLError";
  if (dynamic_cast<const std::bad_alloc*>(&e)) return "EOutOfMemory";
  return "Exception";
}

bool IsTlsFailure(CURLcode rc) {
  switch (rc) {
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CLIENTCERT:
    case CURLE_USE_SSL_FAILED:
      return true;
    default:
      return false;
  }
}

// "1 GiB", "64 KiB", "1000 bytes": limits and sizes as a user reads them.
std::string SizeText(std::uint64_t bytes) {
  if (bytes >= (std::uint64_t{1} << 30) && bytes % (std::uint64_t{1} << 30) == 0) {
    return std::to_string(bytes >> 30) + " GiB";
  }
  if (bytes >= (std::uint64_t{1} << 20) && bytes % (std::uint64_t{1} << 20) == 0) {
    return std::to_string(bytes >> 20) + " MiB";
  }
  if (bytes >= 1024 && bytes % 1024 == 0) return std::to_string(bytes >> 10) + " KiB";
  return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

std::string SecondsText(std::chrono::seconds seconds) {
  return std::to_string(seconds.count()) + (seconds.count() == 1 ? " second" : " seconds");
}

// The status line's reason phrase, as far as it is plain printable text.
std::string StatusWords(long status, const std::string& statusLine) {
  std::string words = std::to_string(status);
  const size_t code = statusLine.find(' ');
  if (code == std::string::npos || statusLine.size() <= code + 4) return words;
  std::string reason;
  for (char c : statusLine.substr(code + 5, 60)) {
    if (c < 0x20 || c > 0x7e) break;
    reason += c;
  }
  // Two appends rather than " " + a new string: GCC 12 at -O3 takes the
  // latter for an overlapping copy (a false -Wrestrict) once inlined.
  if (!Trimmed(reason).empty()) {
    words += ' ';
    words += Trimmed(reason);
  }
  return words;
}

// "Digest", "Digest and Bearer", "Negotiate, NTLM and Basic".
std::string JoinSchemes(const std::vector<std::string>& schemes) {
  std::string text;
  for (size_t i = 0; i < schemes.size(); ++i) {
    if (i > 0) text += i + 1 == schemes.size() ? " and " : ", ";
    text += schemes[i];
  }
  return text;
}

// What follows "The proxy asks for a user name and password" when a 407
// remains: which sign-in the proxy offered, and what became of ours.
std::string ProxySignInCause(const Transfer& t, const ProxySettings& proxy) {
  const std::vector<std::string>& offered = t.proxySchemes;
  if (offered.empty()) return "It names no sign-in method.";
  const auto offers = [&](std::string_view scheme) {
    return std::any_of(offered.begin(), offered.end(),
                       [&](const std::string& name) { return SameScheme(name, scheme); });
  };
  std::vector<std::string> logonSchemes;
  for (const char* scheme : {"Negotiate", "NTLM"}) {
    if (offers(scheme)) logonSchemes.emplace_back(scheme);
  }
  const std::string typeInstead =
      offers("Basic")
          ? " A user name and password typed in the proxy entry (User:Password@proxy:port) can sign in "
            "with Basic instead."
          : "";
  switch (proxy.signIn) {
    case ProxySignIn::Logon:
      if (logonSchemes.empty()) {
        return "It offers " + JoinSchemes(offered) +
               " sign-in; signing in with the current logon needs Negotiate or NTLM." + typeInstead;
      }
      // libcurl tries Negotiate first when both are offered; a Negotiate
      // that cannot start does not fall back to NTLM.
      return (t.sentProxySignIn.empty() ? LogonSignInUnavailable(logonSchemes.front())
                                        : LogonSignInRefused(t.sentProxySignIn)) +
             typeInstead;
    case ProxySignIn::Typed:
      if (!offers("Basic")) {
        return "It offers " + JoinSchemes(offered) +
               " sign-in, and a typed user name and password sign in with Basic only" +
               (logonSchemes.empty() ? std::string(".")
                                     : "; without them in the proxy entry the current logon signs in with " +
                                           JoinSchemes(logonSchemes) + ".");
      }
      return "It refused the user name and password typed in the proxy entry.";
    case ProxySignIn::FromUrl:
      if (t.sentProxySignIn.empty()) {
        return "It offers " + JoinSchemes(offered) + " sign-in, which this program cannot use.";
      }
      return "It refused the user name and password in the proxy address that the automatic proxy "
             "configuration gave.";
  }
  return {};
}

// Host and port the failing connection went to: the proxy when there is
// one, else the address being fetched (the last one after redirects).
std::string Destination(CURL* curl, const ProxySettings& proxy) {
  if (!proxy.server.empty()) return "the proxy " + proxy.server + " port " + std::to_string(proxy.port);
  char* effective = nullptr;
  curl_easy_getinfo(curl, CURLINFO_EFFECTIVE_URL, &effective);
  std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> url(curl_url(), curl_url_cleanup);
  if (effective == nullptr || !url || curl_url_set(url.get(), CURLUPART_URL, effective, 0) != CURLUE_OK) {
    return "the server";
  }
  const std::string host = BareHost(UrlPart(url.get(), CURLUPART_HOST));
  char* port = nullptr;
  std::string portText;
  if (curl_url_get(url.get(), CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK && port != nullptr) {
    portText = port;
    curl_free(port);
  }
  return host + (portText.empty() ? "" : " port " + portText);
}

std::string HostOf(const std::string& text) {
  std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> url(curl_url(), curl_url_cleanup);
  if (!url || curl_url_set(url.get(), CURLUPART_URL, text.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) {
    return "the server";
  }
  return BareHost(UrlPart(url.get(), CURLUPART_HOST));
}

// text with a full stop, unless it has one.
std::string Sentence(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (text.empty() || text.back() != '.') text += '.';
  return text;
}

std::string CutShortCause(const Transfer& t) {
  if (t.announced) {
    return "The connection closed after " + std::to_string(t.bodyBytes) + " of " +
           std::to_string(*t.announced) + " bytes.";
  }
  return "The connection closed after " + std::to_string(t.bodyBytes) + " bytes, before the end of the file.";
}

}  // namespace

std::string DescribeException(std::exception_ptr error, std::string* type) {
  try {
    std::rethrow_exception(std::move(error));
  } catch (const std::exception& e) {
    *type = TypeNameOf(e);
    return e.what();
  } catch (...) {
    *type = "Exception";
    return "unknown exception";
  }
}

std::string HttpStatusCause(long status, const Transfer& t, const ProxySettings& proxy, bool fromProxy) {
  if (status == 407) {
    std::string cause =
        "The proxy asks for a user name and password (" + StatusWords(status, t.statusLine) + ").";
    if (!proxy.server.empty()) {
      // Two appends, as in StatusWords.
      cause += ' ';
      cause += ProxySignInCause(t, proxy);
    }
    return cause;
  }
  return std::string(fromProxy ? "The proxy" : "The server") + " answered " +
         StatusWords(status, t.statusLine) + ".";
}

// A connection that ended or broke off before the transfer was complete:
// how far the answer had come.
std::string BrokenOffCause(CURL* curl, const Transfer& t, const ProxySettings& proxy) {
  if (!t.inHeaders) return CutShortCause(t);
  return "The connection to " + Destination(curl, proxy) + " broke off " +
         (t.headerClock ? "in the middle of the answer headers." : "before an answer came.");
}

// Turns a failed transfer into a failure with a type name and a cause. A
// failure at the socket level names its OS error number after "#".
RequestFailure ClassifyCurlFailure(CURL* curl, CURLcode rc, const char* detailBuffer, const Transfer& t,
                                   const std::string& url, const ProxySettings& proxy) {
  const std::string detail = detailBuffer[0] != '\0' ? detailBuffer : curl_easy_strerror(rc);
  long connectCode = 0;
  curl_easy_getinfo(curl, CURLINFO_HTTP_CONNECTCODE, &connectCode);
  if (connectCode >= 300) {
    // The proxy refused the CONNECT tunnel; that answer is the HTTP error.
    return {"EHTTPProtocolException", t.statusLine.empty() ? detail : t.statusLine,
            static_cast<std::int32_t>(connectCode), HttpStatusCause(connectCode, t, proxy, true)};
  }
  const bool answered = !t.statusLine.empty();
  if (rc == CURLE_OUT_OF_MEMORY && t.inHeaders) {
    // libcurl holds one header line at a time and refuses to hold a longer
    // one than this; it reports that as running out of memory.
    return {
        "EHeaderLimitError",
        "Answer header line longer than " + std::to_string(CURL_MAX_HTTP_HEADER) + " bytes (" + detail + ")",
        std::nullopt,
        "The server's answer headers were too large (one line longer than the limit of " +
            SizeText(CURL_MAX_HTTP_HEADER) + ")."};
  }
  if (rc == CURLE_COULDNT_CONNECT || rc == CURLE_RECV_ERROR || rc == CURLE_SEND_ERROR) {
    // The OS error is only looked at for these: libcurl keeps it from any
    // failed connect attempt, also one it recovered from on another address.
    long osErrno = 0;
    curl_easy_getinfo(curl, CURLINFO_OS_ERRNO, &osErrno);
    std::string cause;
    if (rc == CURLE_COULDNT_CONNECT) {
      cause =
          "The connection to " + Destination(curl, proxy) + " failed" +
          (osErrno != 0 ? ": " + Sentence(SystemErrorMessage(static_cast<int>(osErrno))) : std::string("."));
    } else {
      cause = BrokenOffCause(curl, t, proxy);
    }
    if (osErrno == 0) return {"ESocketError", detail, std::nullopt, cause};
    return {"ESocketError",
            "Socket Error # " + std::to_string(osErrno) + " " +
                SystemErrorMessage(static_cast<int>(osErrno)) + ": " + detail,
            std::nullopt, cause};
  }
  if (rc == CURLE_OPERATION_TIMEDOUT) {
    // Only the connect time-out is libcurl's; the others are the loop's.
    return {"ETimeoutError", detail, std::nullopt,
            "The connection to " + Destination(curl, proxy) + " timed out."};
  }
  if (rc == CURLE_COULDNT_RESOLVE_HOST || rc == CURLE_COULDNT_RESOLVE_PROXY) {
    const std::string host = rc == CURLE_COULDNT_RESOLVE_PROXY ? "the proxy " + proxy.server : HostOf(url);
    return {"EResolveError", detail, std::nullopt, "The address of " + host + " could not be found."};
  }
  if (rc == CURLE_TOO_MANY_REDIRECTS) {
    return {"ERedirectError", detail, std::nullopt,
            "The server sent too many redirects (more than " + std::to_string(kMaxRedirects) + ")."};
  }
  if (rc == CURLE_UNSUPPORTED_PROTOCOL) {
    return {"ERedirectError", detail, std::nullopt,
            answered ? "The server redirected to an address that is not http or https, which is refused."
                     : "Only http and https addresses can be downloaded."};
  }
  if (rc == CURLE_PARTIAL_FILE) return {"ECurlError", detail, std::nullopt, BrokenOffCause(curl, t, proxy)};
  if (rc == CURLE_GOT_NOTHING) {
    return {"ECurlError", detail, std::nullopt, "The server closed the connection without answering."};
  }
  if (rc == CURLE_PEER_FAILED_VERIFICATION) {
    return {"ETLSError", detail, std::nullopt, "The certificate of " + HostOf(url) + " is not trusted."};
  }
  // libcurl's own text stays in the message, for the trace; the user reads
  // a cause.
  return {IsTlsFailure(rc) ? "ETLSError" : "ECurlError", detail, std::nullopt,
          CurlFailureCause(rc, HostOf(url))};
}

// The failure for a transfer the loop or a callback ended early.
RequestFailure EarlyStopFailure(const Transfer& t) {
  const THttpGetSettings& s = t.settings;
  switch (t.stop) {
    case EarlyStop::Cancelled:
      return {"EAbort", "Download cancelled", std::nullopt, "The download was cancelled."};
    case EarlyStop::Stalled:
      return {"ETimeoutError", "No data received for " + std::to_string(s.StallTimeout.count()) + " seconds",
              std::nullopt, "No data arrived for " + SecondsText(s.StallTimeout) + "."};
    case EarlyStop::TooSlow:
      return {"ETimeoutError",
              "Less than " + std::to_string(s.LowSpeedLimit) + " bytes a second for " +
                  std::to_string(s.LowSpeedTime.count()) + " seconds",
              std::nullopt,
              "The download was slower than " + SizeText(s.LowSpeedLimit) + "/s for " +
                  SecondsText(s.LowSpeedTime) + "."};
    case EarlyStop::AnnouncedTooLarge:
      return {"ESizeLimitError", "Content-Length above " + std::to_string(s.MaxBodySize), std::nullopt,
              "The server announced " +
                  (t.announced && *t.announced != std::numeric_limits<std::uint64_t>::max()
                       ? SizeText(*t.announced)
                       : std::string("an endless body")) +
                  ", more than the limit of " + SizeText(s.MaxBodySize) + "."};
    case EarlyStop::GrewTooLarge:
      return {"ESizeLimitError", "Body larger than " + std::to_string(s.MaxBodySize), std::nullopt,
              "The download grew past the limit of " + SizeText(s.MaxBodySize) + "."};
    case EarlyStop::HeadersTooLarge:
      return {"EHeaderLimitError", "Answer headers larger than " + std::to_string(s.MaxHeaderSize) + " bytes",
              std::nullopt,
              "The server's answer headers were too large (more than the limit of " +
                  SizeText(s.MaxHeaderSize) + ")."};
    case EarlyStop::HeadersDidNotEnd:
      return {"EHeaderLimitError",
              "Answer headers not ended within " + std::to_string(s.HeaderTimeout.count()) + " seconds",
              std::nullopt,
              "The server's answer headers did not end within " + SecondsText(s.HeaderTimeout) + "."};
    case EarlyStop::None:
      break;
  }
  return {"ECurlError", "unknown", std::nullopt, "The transfer failed."};
}

}  // namespace orvane::httpget
