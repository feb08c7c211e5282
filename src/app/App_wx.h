// The wx application object: brings the program's units up around the main
// window's message loop (order in AppLifecycle.h).
#pragma once

#include <string>

class wxIconBundle;

namespace orvane {

// The program's icon for its windows: the exe's icon resource on Windows,
// the logo drawn in the sizes desktops ask for elsewhere.
wxIconBundle ProgramIcons();

// The logo as a 256 x 256 PNG picture, for the desktop entries of the
// shortcut button; empty when it cannot be drawn or the toolkit writes no
// PNG (the Windows build, whose links need no picture file).
std::string RenderLogoPng();

// Runs the program with the process's arguments; returns its exit code.
int RunOrvaneSupport(int argc, char** argv);

}  // namespace orvane
