// The HTTP units' trace channel.
//
// Every trace line of the download code goes through OvixDbg(). By default
// the text is dropped; a diagnostic build or a test can install a sink to
// see the lines. Passwords in URLs and proxy entries never reach the sink.
#pragma once

#include <functional>
#include <string>

namespace orvane {

using OvixDbgSink = std::function<void(const std::string& text)>;

void OvixDbg(const std::string& text);

// Installs the receiver of trace lines; an empty function drops them again.
// Returns the sink that was installed before.
OvixDbgSink SetOvixDbgSink(OvixDbgSink sink);

}  // namespace orvane
