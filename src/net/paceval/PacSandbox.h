// The PAC evaluator's sandbox (Linux). A proxy script comes from whoever
// answers on the network, and the engine that runs it is C code parsing that
// text: should the script ever take the engine over, the process it has must
// be good for nothing but computing an answer.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace orvane {

// Confines the calling process for good: no new privileges, no core file,
// no file written (RLIMIT_FSIZE 0), no new descriptor (RLIMIT_NOFILE), an
// address space of what is mapped now plus room for the engine's heap, and a
// seccomp filter that lets through only what a running script needs: reading
// and writing the sockets in channels (and error reports on stderr), memory,
// the clock, and ending the process. Any other system call kills the process
// with SIGSYS. The process must be single-threaded. Returns why it failed,
// empty on success; on failure the caller must not run the script.
std::string EnterPacSandbox(std::size_t memoryLimit, const std::vector<int>& channels);

}  // namespace orvane
