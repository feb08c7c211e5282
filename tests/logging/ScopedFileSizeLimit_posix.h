// A file-size limit for this process, as a quota or a full disk would set.
#pragma once

#include <sys/resource.h>

#include <csignal>
#include <cstdint>

namespace orvane::test {

// Limits the size of the files this process writes, as a quota or a full disk
// would: a write that would pass the limit stops at it and then fails with
// EFBIG (SIGXFSZ, which would end the process, is ignored meanwhile).
// Assertions belong after the scope, whose output might go to a file.
class ScopedFileSizeLimit {
 public:
  explicit ScopedFileSizeLimit(std::uintmax_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = old_;
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~ScopedFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }
  ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
  ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

 private:
  rlimit old_{};
  void (*oldHandler_)(int) = SIG_DFL;
};

}  // namespace orvane::test
