// Processes from /proc. The system's process list is the numeric entries of
// /proc in ascending order; a lookup by name sees only the processes that
// run as the user who runs us (the owner of /proc/<pid>). The executable
// name is the base name of the /proc/<pid>/exe link; when that link cannot
// be read (a process that may not be inspected, such as one that changed
// its user) it is the base name of argv[0] from /proc/<pid>/cmdline, which,
// unlike the kernel's "comm" name, is not cut to 15 characters. Kernel
// threads and zombies have neither and match no name.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "system/OSError.h"
#include "system/ProcessHelper.h"

namespace orvane {
namespace {

std::string ProcEntry(uint32_t pid, const char* name) { return "/proc/" + std::to_string(pid) + "/" + name; }

std::vector<uint32_t> ListPids() {
  std::vector<uint32_t> pids;
  DIR* dir = opendir("/proc");
  if (dir == nullptr) return pids;
  while (const dirent* entry = readdir(dir)) {
    const std::string_view name = entry->d_name;
    uint32_t pid = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), pid);
    if (error == std::errc() && end == name.data() + name.size() && pid != 0) pids.push_back(pid);
  }
  closedir(dir);
  std::sort(pids.begin(), pids.end());
  return pids;
}

// Reads /proc/<pid>/exe into path; returns 0 or the errno of the failure.
// The kernel marks an executable that was removed or replaced while running
// with " (deleted)"; that mark is dropped so the result names the file the
// process was started from.
int ReadExeLink(uint32_t pid, std::string& path) {
  const std::string link = ProcEntry(pid, "exe");
  std::string buf(PATH_MAX, '\0');
  for (;;) {
    const ssize_t n = readlink(link.c_str(), buf.data(), buf.size());
    if (n < 0) return errno;
    if (static_cast<size_t>(n) < buf.size()) {
      buf.resize(static_cast<size_t>(n));
      break;
    }
    buf.resize(buf.size() * 2);
  }
  constexpr std::string_view kDeleted = " (deleted)";
  struct stat st;
  if (buf.size() > kDeleted.size() && buf.ends_with(kDeleted) && lstat(buf.c_str(), &st) != 0)
    buf.resize(buf.size() - kDeleted.size());
  path = std::move(buf);
  return 0;
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Whether the process runs as our real user: /proc/<pid> belongs to the
// process's effective user. Another user's program of the searched name is
// not ours to start again or stop.
bool RunsAsOurUser(uint32_t pid) {
  struct stat st;
  return stat(("/proc/" + std::to_string(pid)).c_str(), &st) == 0 && st.st_uid == getuid();
}

std::string ExeNameOf(uint32_t pid) {
  std::string path;
  if (ReadExeLink(pid, path) == 0) return BaseName(path);
  std::ifstream cmdline(ProcEntry(pid, "cmdline"), std::ios::binary);
  std::string argv0;
  std::getline(cmdline, argv0, '\0');
  return BaseName(argv0);
}

}  // namespace

uint32_t GetPidByExeName(const std::string& exeName) {
  if (exeName.empty()) return 0;
  for (const uint32_t pid : ListPids()) {
    if (RunsAsOurUser(pid) && ExeNameOf(pid) == exeName) return pid;
  }
  return 0;
}

std::string GetProcessImagePath(uint32_t pid) {
  std::string path;
  int error = ReadExeLink(pid, path);
  if (error == 0) return path;
  // A missing link because the whole process is missing says "no such
  // process" rather than "no such file".
  struct stat st;
  if (error == ENOENT && stat(("/proc/" + std::to_string(pid)).c_str(), &st) != 0) error = ESRCH;
  RaiseOSError(error, "Process " + std::to_string(pid));
}

bool TerminateProcessById(uint32_t pid) {
  // kill() gives 0, -1 and negative ids a meaning of their own (our process
  // group, every process we may signal, whole groups); only a single real
  // process other than init is ever a target.
  if (pid <= 1 || pid > static_cast<uint32_t>(INT_MAX)) return false;
  return kill(static_cast<pid_t>(pid), SIGKILL) == 0;
}

}  // namespace orvane
