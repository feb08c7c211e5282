#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <vector>

#include "system/SysUtils.h"

namespace orvane {
namespace fs = std::filesystem;

namespace {

// Collision names tried before giving up ("name (2)" .. "name (9999)").
constexpr int kMaxCopyNumber = 9999;

bool Exists(const fs::path& p) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(p, ec));
}

// Copies a file to a hidden temporary file beside target; empty on failure.
fs::path CopyToTemporary(const fs::path& source, const fs::path& target) {
  std::string hidden = ".";
  hidden += target.filename().string();
  hidden += ".XXXXXX";
  std::string pattern = (target.parent_path() / hidden).string();
  const int fd = mkstemp(pattern.data());
  if (fd < 0) return {};
  close(fd);
  std::error_code ec;
  fs::copy_file(source, pattern, fs::copy_options::overwrite_existing, ec);
  if (ec) {
    fs::remove(pattern, ec);
    return {};
  }
  return pattern;
}

// Moves temp to target without replacing an existing file. EEXIST when target
// exists; filesystems without RENAME_NOREPLACE fall back to a check first.
int MoveNoReplace(const fs::path& temp, const fs::path& target) {
  if (renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  if (Exists(target)) return EEXIST;
  return rename(temp.c_str(), target.c_str()) == 0 ? 0 : errno;
}

bool CopyFile(const fs::path& source, const fs::path& target, bool renameOnCollision) {
  const fs::path temp = CopyToTemporary(source, target);
  if (temp.empty()) return false;
  bool done = false;
  if (!renameOnCollision) {
    // Replacing by rename never leaves a half-written target behind and
    // works while the old target is a running program.
    done = rename(temp.c_str(), target.c_str()) == 0;
  } else {
    for (int n = 1; n <= kMaxCopyNumber && !done; ++n) {
      const int e = MoveNoReplace(temp, n == 1 ? target : fs::path(NumberedCopyName(target.string(), n)));
      if (e != 0 && e != EEXIST) break;
      done = e == 0;
    }
  }
  std::error_code ec;
  if (!done) fs::remove(temp, ec);
  return done;
}

bool CopyFolder(const fs::path& source, fs::path target, bool renameOnCollision) {
  std::error_code ec;
  // A folder copied into itself would grow while it is being copied.
  const fs::path from = fs::weakly_canonical(source, ec);
  const fs::path to = fs::weakly_canonical(target, ec);
  if (ec) return false;
  const auto [diff, unused] = std::mismatch(from.begin(), from.end(), to.begin(), to.end());
  if (diff == from.end()) return false;

  if (renameOnCollision && Exists(target)) {
    const fs::path original = target;
    for (int n = 2; Exists(target); ++n) {
      if (n > kMaxCopyNumber) return false;
      target = NumberedCopyName(original.string(), n);
    }
  }
  if (Exists(target) && !fs::is_directory(target, ec)) return false;
  fs::copy(source, target, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
  return !ec;
}

}  // namespace

std::string GetExecutablePath() {
  std::vector<char> buffer(4096);
  for (;;) {
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0) return {};
    if (static_cast<size_t>(n) < buffer.size()) return std::string(buffer.data(), static_cast<size_t>(n));
    buffer.resize(buffer.size() * 2);
  }
}

bool CopyFiles(const std::string& source, const std::string& destination, bool renameOnCollision) {
  try {
    std::error_code ec;
    fs::path from = fs::path(source).lexically_normal();
    if (!from.has_filename()) from = from.parent_path();
    const auto status = fs::status(from, ec);
    if (ec || !fs::exists(status) || destination.empty()) return false;

    fs::path target(destination);
    if (!target.has_filename() || fs::is_directory(target, ec)) target /= from.filename();
    // Missing folders on the way are created, as the shell offers to do.
    if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);

    if (fs::is_directory(status)) return CopyFolder(from, target, renameOnCollision);
    if (!renameOnCollision && Exists(target) && fs::equivalent(from, target, ec)) return false;
    return CopyFile(from, target, renameOnCollision);
  } catch (...) {
    return false;
  }
}

}  // namespace orvane
