// orvane-pac-eval: evaluates one proxy auto-configuration script for the
// program that started it, which hands over the request (and takes the
// answer) through this program's standard input, a socket. The script runs
// only inside the sandbox (PacSandbox.h).
#include <unistd.h>

#include "net/PacScript.h"
#include "net/paceval/PacEngine.h"
#include "net/paceval/PacSandbox.h"

// _exit, not return: the sandbox refuses what exit handlers would do (the
// leak check of sanitizer builds stops the process's threads with ptrace).
int main() {
  _exit(orvane::RunPacEvaluator(STDIN_FILENO, orvane::EnterPacSandbox, orvane::RunPacScriptInThisProcess));
}
