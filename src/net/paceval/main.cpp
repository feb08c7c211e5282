// orvane-pac-eval: evaluates one proxy auto-configuration script for the
// program that started it, which hands over the request (and takes the
// answer) through this program's standard input, a socket.
#include <unistd.h>

#include "net/PacScript.h"

int main() { return orvane::RunPacEvaluator(STDIN_FILENO); }
