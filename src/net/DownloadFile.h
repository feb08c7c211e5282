// The download request every download of the program goes through: the
// proxy entry of the window becomes the manual proxy, the URL is fetched, and
// the body replaces the file at the save path only when the server answered
// 200 and the whole body arrived. Problems are shown to the user, one
// message each; nothing is raised.
//
// Proxy discovery and the transfer run on a helper thread while the calling
// thread keeps pumping the window's events; the body streams into a
// temporary file beside the target, so memory stays flat whatever the size.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
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

// Lets the window give up on a running download (Escape, Cancel, closing):
// Cancel() may be called from the calling thread's event handling (inside
// Pump below) or from any other thread.
class TDownloadCancel {
 public:
  void Cancel() noexcept { fCancelled.store(true); }
  bool Cancelled() const noexcept { return fCancelled.load(); }
  void Reset() noexcept { fCancelled.store(false); }

 private:
  std::atomic<bool> fCancelled{false};
};

enum class TDownloadResult {
  Done,       // the file at the save path now holds the new bytes
  Failed,     // the user was told why; the old file (if any) is untouched
  Cancelled,  // given up on request; no message shown, the old file untouched
};

struct TDownloadHooks {
  // Progress of the file's body (never of an error page); called on the
  // calling thread when it changed.
  THttpProgress Progress;
  // Called on the calling thread every 20 ms or so for as long as the
  // download runs (proxy discovery and stalls included), so that a window
  // can handle its events.
  std::function<void()> Pump;
  // When set and cancelled, the download ends within a fraction of a second
  // with Cancelled: no message, no new file, the old file untouched.
  const TDownloadCancel* Cancel = nullptr;
  // Runs on the complete new file before it replaces the one at the save
  // path. A non-empty answer refuses the file: it is dropped, the old file
  // stays, and the answer is shown to the user as the reason.
  std::function<std::string(const std::string& newFilePath)> Check;
  // When set, receives the Content-Type header of the final answer ("" when
  // none came), whatever the outcome.
  std::string* ContentType = nullptr;
  // The file is a program rather than a list: see TReplacingFile.
  bool Executable = false;
  // When set, the largest body this download takes, if below the process-wide
  // limit (THttpGetSettings::MaxBodySize): an answer announcing more is
  // refused before its body is read, one sending more is cut off as soon as
  // it passes the limit, and the download fails saying so.
  std::optional<std::uint64_t> MaxSize;
};

// useProxy and proxyEntry are the window's "Use Proxy" box and proxy entry.
// Without a ticked box or with an empty entry the request uses the proxy that
// discovery finds (or none).
TDownloadResult DownloadFile(const std::string& url, const std::string& savePath, bool useProxy,
                             const std::string& proxyEntry, IDownloadMessages& messages,
                             const TDownloadHooks& hooks);
inline TDownloadResult DownloadFile(const std::string& url, const std::string& savePath, bool useProxy,
                                    const std::string& proxyEntry, IDownloadMessages& messages,
                                    const THttpProgress& progress = {}) {
  TDownloadHooks hooks;
  hooks.Progress = progress;
  return DownloadFile(url, savePath, useProxy, proxyEntry, messages, hooks);
}

// A file that could not be written; TypeName() goes into the error message.
class EFileWriteError : public std::runtime_error {
 public:
  EFileWriteError(std::string typeName, const std::string& message)
      : std::runtime_error(message), typeName_(std::move(typeName)) {}
  const std::string& TypeName() const { return typeName_; }

 private:
  std::string typeName_;
};

// A new file that takes the place of the one at path only once it is
// complete: the bytes go to a temporary file in the same folder, which
// Commit() renames over path, so the old file stays whole until then and any
// failure before leaves it as it was (a symbolic link at path is replaced
// itself, its target is never written). The new file never takes over the
// old one's permissions: only its owner may change it. On POSIX it is created
// with mode 0755 for a program (executable) and 0644 for a list, less what
// the umask takes away; on Windows with a DACL of its own, not inherited,
// that lets the owner, SYSTEM and Administrators change it and other users
// read and run it. Raises EFileWriteError; unless committed, the temporary
// file is deleted with the object.
class TReplacingFile {
 public:
  explicit TReplacingFile(const std::string& path, bool executable = false);
  ~TReplacingFile();
  TReplacingFile(const TReplacingFile&) = delete;
  TReplacingFile& operator=(const TReplacingFile&) = delete;

  void Write(const char* data, std::size_t size);
  // Back to empty, for an answer that starts over.
  void Truncate();
  // Ends the writing; the complete new file can then be read at TempPath().
  void Close();
  const std::string& TempPath() const;
  // Closes if needed and puts the new file in place of path.
  void Commit();

 private:
  struct Impl;  // the platform's part
  std::unique_ptr<Impl> impl_;
};

// Replaces (or creates) the file at path with bytes as one step, through a
// TReplacingFile. Raises EFileWriteError; no temporary file is left behind.
void WriteFileReplacing(const std::string& path, std::string_view bytes);

}  // namespace orvane
