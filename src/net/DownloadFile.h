// The download request every download of the program goes through: the
// proxy entry of the window becomes the manual proxy, the URL is fetched, and
// the body replaces the file at the save path only when the server answered
// 200. Problems are shown to the user, one message each; nothing is raised.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "net/ManualProxyEntry.h"
#include "net/OvixHttpGet.h"

namespace orvane {

// The message boxes the download shows; the window's view implements it.
class IDownloadMessages {
 public:
  virtual ~IDownloadMessages() = default;
  virtual void ShowMessage(const std::string& text) = 0;
};

// useProxy and proxyEntry are the window's "Use Proxy" box and proxy entry.
// Without a ticked box or with an empty entry the request uses the proxy that
// discovery finds (or none).
void DownloadFile(const std::string& url, const std::string& savePath, bool useProxy,
                  const std::string& proxyEntry, IDownloadMessages& messages,
                  const THttpProgress& progress = {});

// A file that could not be written; TypeName() goes into the error message.
class EFileWriteError : public std::runtime_error {
 public:
  EFileWriteError(std::string typeName, const std::string& message)
      : std::runtime_error(message), typeName_(std::move(typeName)) {}
  const std::string& TypeName() const { return typeName_; }

 private:
  std::string typeName_;
};

// Replaces (or creates) the file at path with bytes as one step: the bytes go
// to a temporary file in the same folder, which is then renamed over path, so
// the old file stays whole until the new one is complete. An existing file's
// permissions carry over. Raises EFileWriteError; no temporary file is left
// behind.
void WriteFileReplacing(const std::string& path, std::string_view bytes);

}  // namespace orvane
