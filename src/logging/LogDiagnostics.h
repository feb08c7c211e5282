// The platform-bound pieces of the logger's developer diagnostics: call
// stacks, exception class names and writing a file in a shared folder.
#pragma once

#include <exception>
#include <string>
#include <vector>

namespace orvane {

// The calling code's stack, innermost frame first, one line a frame:
// "function (module+0xoffset)" where the platform names the function,
// else "module+0xoffset". The capture itself and `skip` further frames are
// left out. Empty where the platform gives no frames.
std::vector<std::string> CaptureCallstack(int skip);

// A compiler's symbol or type name as written in the source; the name
// unchanged where it cannot be demangled.
std::string DemangleName(const char* name);

// The exception's dynamic class name as written in the source
// ("std::runtime_error", "orvane::EOSError").
std::string ExceptionClassName(const std::exception& e);

// Writes bytes to path (UTF-8) through a new temporary file beside it,
// created exclusively, that is then renamed over path. A link planted at
// path or at the temporary name is never followed: the rename replaces the
// link itself. False (and nothing left behind) on failure.
bool ReplaceFileContents(const std::string& path, const std::string& bytes);

}  // namespace orvane
