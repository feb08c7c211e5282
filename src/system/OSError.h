// The one error type that operating-system failures are raised as.
//
// Every OS-bound function that raises converts the system's error code into
// an EOSError: errno on POSIX, GetLastError() on Windows. The message names
// what was being done (the context), the system's own text for the code and
// the code itself, e.g. "Process 4711: No such process (error 3)". The text
// comes from SystemErrorMessage (system/OSFunctions.h); the last error code is
// read in OSError_posix.cpp / OSError_win.cpp.
#pragma once

#include <stdexcept>
#include <string>

namespace orvane {

class EOSError : public std::runtime_error {
 public:
  EOSError(int code, const std::string& context);

  // errno on POSIX, the Win32 error code on Windows.
  int ErrorCode() const noexcept { return code_; }

 private:
  int code_;
};

// The calling thread's last error code (errno / GetLastError()).
int GetLastOSError();

[[noreturn]] void RaiseOSError(int code, const std::string& context);

// Raises EOSError for GetLastOSError(); read it before anything else can
// overwrite it.
[[noreturn]] void RaiseLastOSError(const std::string& context);

}  // namespace orvane
