#include "net/DownloadFile.h"

#include <fmt/printf.h>

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

void DownloadFile(const std::string& url, const std::string& savePath, bool useProxy,
                  const std::string& proxyEntry, IDownloadMessages& messages, const THttpProgress& progress) {
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
      return;
    }
  }

  try {
    std::string body;
    OvixHTTPResponse response;
    HttpGet(url, body, response, progress);
    if (response.ResponseCode != 200) {
      messages.ShowMessage(fmt::sprintf("Download Failed with Status Code: %d", response.ResponseCode));
      return;
    }
    WriteFileReplacing(savePath, body);
    if (!response.ProxyHost.empty() && Logger) {
      Logger->DebugFmt("Found Proxy Config: Host: %s Port: %s Username: %s", response.ProxyHost,
                       response.ProxyPort, response.ProxyUserName);
    }
  } catch (const std::exception& e) {
    messages.ShowMessage(fmt::sprintf("Error: %s: %s", TypeNameOf(e), e.what()));
  }
}

}  // namespace orvane
