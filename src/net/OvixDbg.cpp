#include "net/OvixDbg.h"

#include <utility>

namespace orvane {
namespace {
OvixDbgSink& Sink() {
  static OvixDbgSink sink;
  return sink;
}
}  // namespace

void OvixDbg(const std::string& text) {
  if (const auto& sink = Sink()) sink(text);
}

OvixDbgSink SetOvixDbgSink(OvixDbgSink sink) { return std::exchange(Sink(), std::move(sink)); }

}  // namespace orvane
