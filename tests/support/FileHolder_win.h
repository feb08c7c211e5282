// Another program holding a file open without sharing, as a virus scanner or
// the search indexer does right after a new file is closed.
#pragma once

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

namespace orvane::test {

// Opens the file at once. Given a moment, it lets go by itself that long
// later, from a thread of its own; without one it holds the file until the
// object goes.
class TFileHolder {
 public:
  explicit TFileHolder(const std::filesystem::path& file,
                       std::optional<std::chrono::milliseconds> moment = std::nullopt)
      : handle_(CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                            nullptr)),
        release_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        thread_([this, moment] {
          WaitForSingleObject(release_, moment ? static_cast<DWORD>(moment->count()) : INFINITE);
          if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
        }) {}
  ~TFileHolder() {
    SetEvent(release_);
    thread_.join();
    CloseHandle(release_);
  }
  TFileHolder(const TFileHolder&) = delete;
  TFileHolder& operator=(const TFileHolder&) = delete;

  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  const HANDLE handle_;
  const HANDLE release_;
  std::thread thread_;
};

}  // namespace orvane::test
