#include "net/paceval/PacSandbox.h"

#include <seccomp.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>

namespace orvane {

namespace {

// Builds with AddressSanitizer (the tests') look at the signal stack when
// the process ends, so a confined process of such a build may ask for it.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitizerRuntime = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(undefined_behavior_sanitizer)
constexpr bool kSanitizerRuntime = true;
#else
constexpr bool kSanitizerRuntime = false;
#endif
#else
constexpr bool kSanitizerRuntime = false;
#endif

std::string Failure(const std::string& what) { return what + ": " + std::strerror(errno); }

bool SetLimit(int resource, rlim_t value) {
  const rlimit limit{value, value};
  return setrlimit(resource, &limit) == 0;
}

// The address space the process has mapped now: the shared libraries, the
// request it has read and, in sanitizer builds, the runtime's huge shadow
// reservation, which a fixed cap could not tell from real use.
std::optional<std::size_t> MappedBytes() {
  std::ifstream statm("/proc/self/statm");
  std::size_t pages = 0;
  if (!(statm >> pages)) return std::nullopt;
  return pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

// Beyond what is mapped: the engine's heap (which its allocator caps at
// memoryLimit) four times over, for the C library's bookkeeping and
// fragmentation and realloc's moment with old and new block, plus room for
// the sanitizers' quarantine of freed memory in test builds.
std::size_t AddressSpaceHeadroom(std::size_t memoryLimit) {
  return 4 * memoryLimit + (std::size_t{512} << 20);
}

// One argument test of a rule (the library's own macros are C compound
// literals).
scmp_arg_cmp Arg(unsigned int index, scmp_compare op, scmp_datum_t a, scmp_datum_t b = 0) {
  return scmp_arg_cmp{index, op, a, b};
}

struct TFilterDeleter {
  void operator()(void* filter) const { seccomp_release(filter); }
};

// The calls a running script needs, and only with the arguments it uses.
std::string LoadFilter(const std::vector<int>& channels) {
  std::unique_ptr<void, TFilterDeleter> filter(seccomp_init(SCMP_ACT_KILL_PROCESS));
  if (!filter) return "seccomp_init failed";
  int error = 0;
  const auto allow = [&](const char* name, const std::vector<scmp_arg_cmp>& args = {}) {
    const int call = seccomp_syscall_resolve_name(name);
    if (error != 0 || call == __NR_SCMP_ERROR) return;
    const int result = seccomp_rule_add_array(filter.get(), SCMP_ACT_ALLOW, call,
                                              static_cast<unsigned int>(args.size()), args.data());
    if (result != 0) error = result;
  };
  const auto is = [](unsigned int index, int value) {
    return Arg(index, SCMP_CMP_EQ, static_cast<scmp_datum_t>(value));
  };
  const auto notExecutable = Arg(2, SCMP_CMP_MASKED_EQ, PROT_EXEC, 0);
  // The request and answer channels, and error reports on stderr (the C
  // library's and, in test builds, the sanitizers').
  for (const int fd : channels) {
    allow("read", {is(0, fd)});
    allow("write", {is(0, fd)});
  }
  allow("write", {is(0, STDERR_FILENO)});
  allow("writev", {is(0, STDERR_FILENO)});
  // Memory, never executable: no code arrives after the filter.
  allow("brk");
  allow("mmap", {notExecutable});
  allow("mprotect", {notExecutable});
  allow("munmap");
  allow("mremap");
  allow("madvise");
  // The clock (the vDSO answers these without a system call where it can).
  allow("clock_gettime");
  allow("gettimeofday");
  allow("time");
  // Ending: normally, or by abort() on a failed check, which signals only
  // this very process.
  allow("exit");
  allow("exit_group");
  allow("rt_sigprocmask");
  allow("rt_sigreturn");
  allow("getpid");
  allow("gettid");
  const pid_t self = getpid();
  allow("tgkill", {is(0, self), is(1, self)});
  if (kSanitizerRuntime) allow("sigaltstack");
  if (error != 0) return std::string("seccomp_rule_add: ") + std::strerror(-error);
  const int loaded = seccomp_load(filter.get());
  if (loaded != 0) return std::string("seccomp_load: ") + std::strerror(-loaded);
  return {};
}

}  // namespace

std::string EnterPacSandbox(std::size_t memoryLimit, const std::vector<int>& channels) {
  if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return Failure("PR_SET_NO_NEW_PRIVS");
  if (!SetLimit(RLIMIT_CORE, 0)) return Failure("RLIMIT_CORE");
  if (!SetLimit(RLIMIT_FSIZE, 0)) return Failure("RLIMIT_FSIZE");
  const std::optional<std::size_t> mapped = MappedBytes();
  if (!mapped) return "cannot read the size of the address space from /proc/self/statm";
  if (!SetLimit(RLIMIT_AS, *mapped + AddressSpaceHeadroom(memoryLimit))) return Failure("RLIMIT_AS");
  // The descriptors it holds are all it needs: not one more.
  if (!SetLimit(RLIMIT_NOFILE, 0)) return Failure("RLIMIT_NOFILE");
  return LoadFilter(channels);
}

}  // namespace orvane
