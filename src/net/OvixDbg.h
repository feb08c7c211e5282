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

// While set, the calling thread's trace lines go to sink instead of the
// installed one: a download's helper thread hands its lines to the thread
// that started it, which passes them on to OvixDbg. An empty sink ends the
// diversion. Returns the thread's previous diversion.
OvixDbgSink DivertOvixDbgOnThisThread(OvixDbgSink sink);

}  // namespace orvane
