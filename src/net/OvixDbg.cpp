#include "net/OvixDbg.h"

#include <utility>

#include "net/PasswordMask.h"
#include "system/Utf8.h"

namespace orvane {
namespace {
OvixDbgSink& Sink() {
  static OvixDbgSink sink;
  return sink;
}
// A plain pointer on purpose: a thread_local object with a destructor is
// destroyed at thread exit, and with the MinGW runtime that could happen
// after its storage was released, which crashed detached download threads.
thread_local OvixDbgSink* tDiversion = nullptr;
}  // namespace

// Trace lines quote proxy lists, URLs, server answers and proxy-script
// results as they were found: control characters in them are escaped, so a
// server cannot start a forged line of its own, and the passwords in user
// information are masked, here once for all.
void OvixDbg(const std::string& text) {
  // A diverted line is masked when the thread it goes to passes it on.
  if (tDiversion) {
    (*tDiversion)(EscapeControlChars(text));
  } else if (const auto& sink = Sink()) {
    sink(MaskPasswordsInText(EscapeControlChars(text)));
  }
}

OvixDbgSink DivertOvixDbgOnThisThread(OvixDbgSink sink) {
  OvixDbgSink previous = tDiversion ? std::move(*tDiversion) : OvixDbgSink();
  delete tDiversion;
  tDiversion = sink ? new OvixDbgSink(std::move(sink)) : nullptr;
  return previous;
}

OvixDbgSink SetOvixDbgSink(OvixDbgSink sink) { return std::exchange(Sink(), std::move(sink)); }

}  // namespace orvane
