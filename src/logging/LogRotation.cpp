// TLogging::HandleLogRotation: size check, the free numbered name, archive or
// move.
#include "logging/LogRotation.h"

#include <fmt/format.h>

#include <filesystem>
#include <optional>
#include <system_error>

#include "logging/Logging.h"
#include "logging/ZipFolder.h"

namespace orvane {

namespace {

namespace fs = std::filesystem;

constexpr int kMaxRotationNumber = 999;

// The first of folder/<base>_001<ext> ... folder/<base>_999<ext> at which
// nothing exists; anything there (a file, a folder, a broken link) holds the
// name.
std::optional<fs::path> FirstFreeName(const fs::path& folder, const std::string& base,
                                      const std::string& ext) {
  for (int number = 1; number <= kMaxRotationNumber; ++number) {
    const fs::path candidate = folder / Utf8ToPath(fmt::format("{}_{:03d}{}", base, number, ext));
    std::error_code ec;
    const auto status = fs::symlink_status(candidate, ec);
    if (status.type() == fs::file_type::not_found) return candidate;
  }
  return std::nullopt;
}

}  // namespace

void TLogging::HandleLogRotation() {
  if (!pLogToFile || !pEnableLogRotation || pDbgLogFile.empty() || pLogFileMaxSize <= 0) return;
  try {
    const fs::path file = Utf8ToPath(pDbgLogFile);
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) return;
    // 64-bit on every platform: files beyond 2 GiB compare correctly.
    const std::uintmax_t size = fs::file_size(file, ec);
    if (ec || size <= static_cast<std::uintmax_t>(pLogFileMaxSize)) return;

    const std::string name = PathToUtf8(file.filename());
    const std::string base = PathToUtf8(file.filename().replace_extension());
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::current_path();
    const std::string ext = pCompressOldFiles ? ".zip" : ".log";

    const auto target = FirstFreeName(folder, base, ext);
    if (!target) {
      if (!pRotationNamesUsedUp) {
        pRotationNamesUsedUp = true;
        Warning(fmt::format("Log rotation stopped: {}_001{} to {}_{}{} all exist in {}; {} keeps growing",
                            base, ext, base, kMaxRotationNumber, ext, PathToUtf8(folder), name));
      }
      return;
    }

    bool rotated = false;
    if (pCompressOldFiles) {
      // The name as it is, not as a mask: ";", "|", "*" or "?" in it would
      // pack other files, or none, every second.
      if (ZipSingleFile(PathToUtf8(folder), PathToUtf8(*target), name, this)) {
        // Deleted only once the archive is really there.
        rotated = fs::is_regular_file(*target, ec) && fs::remove(file, ec);
      }
    } else {
      // Never over a file that appeared at the name since it was found free.
      rotated = RenameFileNoReplace(pDbgLogFile, PathToUtf8(*target));
    }
    if (rotated) pRotationNamesUsedUp = false;
  } catch (...) {
    // Called from a timer: a failure must not leave the event loop; the next
    // tick tries again.
  }
}

}  // namespace orvane
