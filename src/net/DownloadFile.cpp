#include "net/DownloadFile.h"

#include <fmt/printf.h>

#include <cstdio>
#include <exception>
#include <new>

#include "logging/Logging.h"

namespace orvane {

namespace {

std::string TypeNameOf(const std::exception& e) {
  if (const auto* fileError = dynamic_cast<const EFileWriteError*>(&e)) return fileError->TypeName();
  if (dynamic_cast<const std::bad_alloc*>(&e)) return "EOutOfMemory";
  return "Exception";
}

}  // namespace

TDownloadResult DownloadFile(const std::string& url, const std::string& savePath, bool useProxy,
                             const std::string& proxyEntry, IDownloadMessages& messages,
                             const TDownloadHooks& hooks) {
  // No proxy of an earlier download may carry over.
  ClearOvixHttpProxy();
  if (useProxy && !proxyEntry.empty()) {
    try {
      TManualProxyEntry proxy = ParseManualProxyEntry(proxyEntry);
      OvixHttpProxy = proxy.Host;
      OvixHttpProxyPort = proxy.Port;
      OvixHttpProxyUser = proxy.User;
      OvixHttpProxyPassword = proxy.Password;
    } catch (const std::exception& e) {
      messages.ShowMessage(e.what());
      return TDownloadResult::Failed;
    }
  }

  const auto cancelled = [&hooks] { return hooks.Cancel && hooks.Cancel->Cancelled(); };
  try {
    std::string body;
    OvixHTTPResponse response;
    HttpGet(url, body, response, [&](std::uint64_t received, std::optional<std::uint64_t> expected) {
      if (hooks.Progress) hooks.Progress(received, expected);
      if (hooks.Pump) hooks.Pump();
      if (cancelled()) throw std::runtime_error("cancelled");
    });
    if (cancelled()) return TDownloadResult::Cancelled;
    if (response.ResponseCode != 200) {
      messages.ShowMessage(fmt::sprintf("Download Failed with Status Code: %d", response.ResponseCode));
      return TDownloadResult::Failed;
    }
    if (hooks.Check) {
      const std::string probe = savePath + ".orvane-check";
      WriteFileReplacing(probe, body);
      const std::string reason = hooks.Check(probe);
      std::remove(probe.c_str());
      if (!reason.empty()) {
        messages.ShowMessage(reason);
        return TDownloadResult::Failed;
      }
    }
    WriteFileReplacing(savePath, body);
    if (!response.ProxyHost.empty() && Logger) {
      Logger->DebugFmt("Found Proxy Config: Host: %s Port: %s Username: %s", response.ProxyHost,
                       response.ProxyPort, response.ProxyUserName);
    }
    return TDownloadResult::Done;
  } catch (const std::exception& e) {
    messages.ShowMessage(fmt::sprintf("Error: %s: %s", TypeNameOf(e), e.what()));
    return TDownloadResult::Failed;
  }
}

}  // namespace orvane
