#include "system/OSError.h"

#include <fmt/format.h>

#include "system/OSFunctions.h"

namespace orvane {
namespace {

std::string ComposeMessage(int code, const std::string& context) {
  const std::string text = fmt::format("{} (error {})", SystemErrorMessage(code), code);
  return context.empty() ? text : context + ": " + text;
}

}  // namespace

EOSError::EOSError(int code, const std::string& context)
    : std::runtime_error(ComposeMessage(code, context)), code_(code) {}

void RaiseOSError(int code, const std::string& context) { throw EOSError(code, context); }

void RaiseLastOSError(const std::string& context) {
  const int code = GetLastOSError();
  throw EOSError(code, context);
}

}  // namespace orvane
