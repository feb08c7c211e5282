#include "net/DownloadFile.h"

#include <fmt/printf.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <limits>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "logging/Logging.h"
#include "net/OvixDbg.h"
#include "system/Utf8.h"

namespace orvane {

namespace {

// How long the calling thread waits for the helper between two rounds of
// progress and event pumping.
constexpr std::chrono::milliseconds kPumpInterval{20};
constexpr std::uint64_t kUnknownSize = std::numeric_limits<std::uint64_t>::max();

std::string TypeNameOf(const std::exception& e) {
  if (const auto* fileError = dynamic_cast<const EFileWriteError*>(&e)) return fileError->TypeName();
  if (dynamic_cast<const std::bad_alloc*>(&e)) return "EOutOfMemory";
  return "Exception";
}

// A trace or log line of the helper thread, passed on by the calling thread.
struct TLine {
  bool log = false;  // a logger line, else a trace line
  TOrvaneSyslogLvl level = TOrvaneSyslogLvl::slDebug;
  std::string text;
};

// What the calling thread and the helper thread share. A helper given up
// during proxy discovery outlives the call; it touches nothing but this.
struct TDownloadJob {
  enum class Phase { Discovery, Transfer, Finished, Abandoned };

  std::mutex mutex;
  std::condition_variable changed;
  Phase phase = Phase::Discovery;  // guarded by mutex
  std::vector<TLine> lines;        // guarded by mutex
  std::atomic<bool> cancelled{false};
  // The body of the 200 answer: whether it began, its size so far and the
  // size announced (kUnknownSize without one).
  std::atomic<bool> started{false};
  std::atomic<std::uint64_t> received{0};
  std::atomic<std::uint64_t> announced{kUnknownSize};
  // Written by the helper before it reports Finished.
  OvixHTTPResponse response;
  THttpGetOutcome outcome;
};

// Only the body of a 200 answer goes into the file: a partial answer (206),
// a 203 or a 204 with a body must not replace a good file.
class TFileSink : public IHttpBodySink {
 public:
  TFileSink(TReplacingFile& file, TDownloadJob& job) : file_(file), job_(job) {}

  void Begin(std::int32_t status, std::optional<std::uint64_t> announced) override {
    keep_ = status == 200;
    if (!keep_) return;
    file_.Truncate();
    job_.received = 0;
    job_.announced = announced.value_or(kUnknownSize);
    job_.started = true;
  }

  void Write(const char* data, std::size_t size) override {
    if (!keep_) return;
    file_.Write(data, size);
    job_.received += size;
  }

 private:
  TReplacingFile& file_;
  TDownloadJob& job_;
  bool keep_ = false;
};

// The helper thread: proxy discovery, then the transfer into file. file is
// touched only in the transfer phase, which the calling thread always waits
// out.
void RunDownload(const std::shared_ptr<TDownloadJob>& job, const THttpGetRequest& request,
                 TReplacingFile* file) {
  // The logger and the trace sink belong to the calling thread.
  DivertOvixDbgOnThisThread([job](const std::string& text) {
    const std::lock_guard lock(job->mutex);
    job->lines.push_back({false, TOrvaneSyslogLvl::slDebug, text});
  });
  DivertLogOnThisThread([job](TOrvaneSyslogLvl level, const std::string& text) {
    const std::lock_guard lock(job->mutex);
    job->lines.push_back({true, level, text});
  });

  OvixHTTPResponse response;
  THttpGetOutcome outcome;
  try {
    TFileSink sink(*file, *job);
    THttpGetControl control;
    control.Cancelled = [&job] { return job->cancelled.load(); };
    control.MayConnect = [&job] {
      const std::lock_guard lock(job->mutex);
      if (job->cancelled) return false;
      job->phase = TDownloadJob::Phase::Transfer;
      return true;
    };
    outcome = HttpGet(request, sink, response, control);
  } catch (const std::exception& e) {
    // The text may quote the URL or the server's answer.
    response.ResponseText = EscapeControlChars(std::string("Error: ") + TypeNameOf(e) + " " + e.what());
    response.ResponseCode = kResponseCodeUnknown;
    outcome.Cause = EscapeControlChars(std::string("The download failed: ") + e.what());
  }

  DivertOvixDbgOnThisThread({});
  DivertLogOnThisThread({});
  const std::lock_guard lock(job->mutex);
  job->response = std::move(response);
  job->outcome = std::move(outcome);
  if (job->phase != TDownloadJob::Phase::Abandoned) job->phase = TDownloadJob::Phase::Finished;
  job->changed.notify_all();
}

// Ends the helper's claim on the call's state however the call ends: a
// running transfer is cancelled and waited for (it stops within one round of
// its loop), a discovery still running is left to finish on its own.
class TJobGuard {
 public:
  explicit TJobGuard(std::shared_ptr<TDownloadJob> job) : job_(std::move(job)) {}
  ~TJobGuard() {
    std::unique_lock lock(job_->mutex);
    if (job_->phase == TDownloadJob::Phase::Finished) return;
    job_->cancelled = true;
    if (job_->phase == TDownloadJob::Phase::Discovery) {
      job_->phase = TDownloadJob::Phase::Abandoned;
      return;
    }
    job_->changed.wait(lock, [this] { return job_->phase == TDownloadJob::Phase::Finished; });
  }
  TJobGuard(const TJobGuard&) = delete;
  TJobGuard& operator=(const TJobGuard&) = delete;

 private:
  std::shared_ptr<TDownloadJob> job_;
};

void PassOn(std::vector<TLine>& lines) {
  for (const TLine& line : lines) {
    if (!line.log) {
      OvixDbg(line.text);
    } else if (Logger) {
      Logger->Write(line.level, line.text);
    }
  }
  lines.clear();
}

// The words after the code in a status line such as "HTTP/1.1 206 Partial
// Content".
std::string StatusOf(const std::string& statusLine) {
  const size_t blank = statusLine.find(' ');
  return blank == std::string::npos ? statusLine : statusLine.substr(blank + 1);
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
  if (cancelled()) return TDownloadResult::Cancelled;
  if (hooks.ContentType) hooks.ContentType->clear();
  try {
    TReplacingFile file(savePath, hooks.Executable);
    auto job = std::make_shared<TDownloadJob>();
    THttpGetRequest request = MakeHttpGetRequest(url);
    if (hooks.MaxSize) request.Settings.MaxBodySize = std::min(request.Settings.MaxBodySize, *hooks.MaxSize);
    std::thread(RunDownload, job, std::move(request), &file).detach();
    const TJobGuard guard(job);

    bool shown = false;
    std::uint64_t shownReceived = 0;
    std::uint64_t shownAnnounced = kUnknownSize;
    const auto forwardProgress = [&] {
      if (!hooks.Progress || !job->started) return;
      const std::uint64_t received = job->received;
      const std::uint64_t announced = job->announced;
      if (shown && received == shownReceived && announced == shownAnnounced) return;
      shown = true;
      shownReceived = received;
      shownAnnounced = announced;
      hooks.Progress(received, announced == kUnknownSize ? std::nullopt : std::optional(announced));
    };
    std::vector<TLine> lines;
    for (;;) {
      // The window gets its turn first, so that a download is cancellable
      // however quickly it would finish.
      if (hooks.Pump) hooks.Pump();
      if (cancelled()) return TDownloadResult::Cancelled;  // the guard stops the helper
      bool finished = false;
      {
        std::unique_lock lock(job->mutex);
        job->changed.wait_for(lock, kPumpInterval,
                              [&job] { return job->phase == TDownloadJob::Phase::Finished; });
        finished = job->phase == TDownloadJob::Phase::Finished;
        lines.swap(job->lines);
      }
      PassOn(lines);
      forwardProgress();
      if (finished) break;
    }

    const OvixHTTPResponse& response = job->response;
    const THttpGetOutcome& outcome = job->outcome;
    if (hooks.ContentType) *hooks.ContentType = outcome.ContentType;
    if (outcome.Cancelled || cancelled()) return TDownloadResult::Cancelled;
    if (outcome.SinkError) std::rethrow_exception(outcome.SinkError);
    if (response.ResponseCode != 200) {
      // A 2xx other than 200 counts as success for the request but brings
      // no whole file.
      const std::string cause =
          outcome.Cause.empty()
              ? "The server answered " + StatusOf(response.ResponseText) + " instead of the file."
              : outcome.Cause;
      messages.ShowMessage(fmt::sprintf("Download Failed with Status Code: %d", response.ResponseCode) +
                           "\r\n" + cause);
      return TDownloadResult::Failed;
    }
    file.Close();
    if (hooks.Check) {
      const std::string reason = hooks.Check(file.TempPath());
      if (!reason.empty()) {
        messages.ShowMessage(reason);
        return TDownloadResult::Failed;
      }
      if (cancelled()) return TDownloadResult::Cancelled;
    }
    file.Commit();
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

void WriteFileReplacing(const std::string& path, std::string_view bytes) {
  TReplacingFile file(path);
  file.Write(bytes.data(), bytes.size());
  file.Commit();
}

}  // namespace orvane
