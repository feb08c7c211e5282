// The wx application object: brings the program's units up around the main
// window's message loop (order in AppLifecycle.h).
#pragma once

namespace orvane {

// Runs the program with the process's arguments; returns its exit code.
int RunOrvaneSupport(int argc, char** argv);

}  // namespace orvane
