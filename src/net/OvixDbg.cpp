#include "net/OvixDbg.h"

#include <utility>

namespace orvane {
namespace {
OvixDbgSink& Sink() {
  static OvixDbgSink sink;
  return sink;
}
thread_local OvixDbgSink tDiversion;
}  // namespace

void OvixDbg(const std::string& text) {
  if (tDiversion) {
    tDiversion(text);
  } else if (const auto& sink = Sink()) {
    sink(text);
  }
}

OvixDbgSink DivertOvixDbgOnThisThread(OvixDbgSink sink) { return std::exchange(tDiversion, std::move(sink)); }

OvixDbgSink SetOvixDbgSink(OvixDbgSink sink) { return std::exchange(Sink(), std::move(sink)); }

}  // namespace orvane
