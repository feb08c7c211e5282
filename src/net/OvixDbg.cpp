#include "net/OvixDbg.h"

#include <utility>

#include "net/PasswordMask.h"

namespace orvane {
namespace {
OvixDbgSink& Sink() {
  static OvixDbgSink sink;
  return sink;
}
thread_local OvixDbgSink tDiversion;
}  // namespace

// Trace lines quote proxy lists and URLs as they were found, user
// information included; the passwords in them are masked here, once for all.
void OvixDbg(const std::string& text) {
  // A diverted line is masked when the thread it goes to passes it on.
  if (tDiversion) {
    tDiversion(text);
  } else if (const auto& sink = Sink()) {
    sink(MaskPasswordsInText(text));
  }
}

OvixDbgSink DivertOvixDbgOnThisThread(OvixDbgSink sink) { return std::exchange(tDiversion, std::move(sink)); }

OvixDbgSink SetOvixDbgSink(OvixDbgSink sink) { return std::exchange(Sink(), std::move(sink)); }

}  // namespace orvane
