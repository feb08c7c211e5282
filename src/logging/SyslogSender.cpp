#include "logging/SyslogSender.h"

#include <cctype>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace orvane {

namespace {

// "a.b.c.d" with four decimal parts of 0 to 255.
std::optional<TIPv4Address> ParseDottedIPv4(const std::string& host) {
  TIPv4Address address = 0;
  std::size_t pos = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (pos >= host.size() || host[pos] != '.') return std::nullopt;
      ++pos;
    }
    const std::size_t start = pos;
    unsigned value = 0;
    while (pos < host.size() && pos - start < 3 && std::isdigit(static_cast<unsigned char>(host[pos])))
      value = value * 10 + static_cast<unsigned>(host[pos++] - '0');
    if (pos == start || value > 255) return std::nullopt;
    address = (address << 8) | value;
  }
  if (pos != host.size()) return std::nullopt;
  return address;
}

// The name is "invalid" or ends in ".invalid" (any case, with or without the
// root dot): reserved never to resolve.
bool IsUnderInvalid(std::string host) {
  if (!host.empty() && host.back() == '.') host.pop_back();
  for (char& c : host) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::string suffix = "invalid";
  if (host.size() < suffix.size() || host.compare(host.size() - suffix.size(), suffix.size(), suffix) != 0)
    return false;
  return host.size() == suffix.size() || host[host.size() - suffix.size() - 1] == '.';
}

// What the helper thread and the waiting caller share; the helper may
// outlive the caller's wait.
struct PendingLookup {
  std::mutex mutex;
  std::condition_variable done_signal;
  bool done = false;
  std::optional<TIPv4Address> address;
};

}  // namespace

std::optional<TIPv4Address> ResolveSyslogHost(const std::string& host, std::chrono::milliseconds limit,
                                              const TSyslogLookup& lookup) {
  if (const auto numeric = ParseDottedIPv4(host)) return numeric;
  if (host.empty() || IsUnderInvalid(host) || !lookup) return std::nullopt;
  auto pending = std::make_shared<PendingLookup>();
  try {
    std::thread([pending, host, lookup] {
      std::optional<TIPv4Address> address;
      try {
        address = lookup(host);
      } catch (...) {
        address.reset();
      }
      const std::lock_guard lock(pending->mutex);
      pending->address = address;
      pending->done = true;
      pending->done_signal.notify_all();
    }).detach();
  } catch (...) {
    return std::nullopt;  // no thread to be had: no syslog rather than a stall
  }
  std::unique_lock lock(pending->mutex);
  if (!pending->done_signal.wait_for(lock, limit, [&] { return pending->done; })) return std::nullopt;
  return pending->address;
}

}  // namespace orvane
