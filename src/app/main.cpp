// OrvaneSupport: the remote-support assistant.
#include "app/App_wx.h"
#include "cmdline/CmdLineParaHandler.h"

int main(int argc, char** argv) {
  // Every command-line handler of the program reads this list.
  orvane::SetProcessArguments(argc, argv);
  return orvane::RunOrvaneSupport(argc, argv);
}
