#include <utility>

#include "system/ProcessHelper.h"

namespace orvane {
namespace {

TTerminateProcessCall& TerminateCall() {
  static TTerminateProcessCall call = nullptr;
  return call;
}

}  // namespace

bool KillProcess(uint32_t pid) {
  // Checked before any system call: a slip here must never reach init or the
  // own process group.
  if (pid <= 1) return false;
  const TTerminateProcessCall call = TerminateCall();
  return call != nullptr ? call(pid) : TerminateProcessById(pid);
}

TTerminateProcessCall SetTerminateProcessCall(TTerminateProcessCall call) {
  return std::exchange(TerminateCall(), call);
}

}  // namespace orvane
