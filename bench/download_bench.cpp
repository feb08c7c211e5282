// Large-download benchmark, two modes:
//   bench_download serve <MiB>        serves a body of that size to every GET on
//                                     127.0.0.1 (port printed on stdout) until
//                                     killed
//   bench_download get <url> <file>   DownloadFile, the program's own way:
//                                     streamed into a temporary file beside
//                                     the target, renamed into place; prints
//                                     "<bytes> <peak RSS in KiB>"
// bench/download.sh runs both against curl.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "net/DownloadFile.h"
#include "net/OvixHttpGet.h"
#include "net/ProxyDiscovery.h"

namespace {

bool SendAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t sent = send(fd, data, size, MSG_NOSIGNAL);
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<size_t>(sent);
  }
  return true;
}

int Serve(unsigned long mib) {
  const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener, 16) != 0 ||
      getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    std::perror("listen");
    return 1;
  }
  std::printf("%d\n", ntohs(address.sin_port));
  std::fflush(stdout);

  // One MiB of varied bytes, sent over and over.
  std::vector<char> chunk(1 << 20);
  for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<char>((i * 2654435761u) >> 13);
  const unsigned long long total = static_cast<unsigned long long>(mib) << 20;
  const std::string header = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                             std::to_string(total) + "\r\nConnection: close\r\n\r\n";
  for (;;) {
    const int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
      const ssize_t got = recv(client, buffer, sizeof buffer, 0);
      if (got <= 0) break;
      request.append(buffer, static_cast<size_t>(got));
    }
    bool ok = SendAll(client, header.data(), header.size());
    for (unsigned long long left = total; ok && left > 0;) {
      const size_t n = left < chunk.size() ? static_cast<size_t>(left) : chunk.size();
      ok = SendAll(client, chunk.data(), n);
      left -= n;
    }
    close(client);
  }
}

int Get(const std::string& url, const std::string& file) {
  // No proxy discovery: the machine's settings have no place in the figure.
  orvane::SetProxyDiscovery({[] { return std::optional<orvane::TIEProxyConfig>(); },
                             [](const std::string&, const orvane::TIEProxyConfig&) {
                               return std::optional<orvane::TAutoProxyResult>();
                             }});
  struct Messages : orvane::IDownloadMessages {
    void ShowMessage(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
  } messages;
  std::uint64_t bytes = 0;
  orvane::TDownloadHooks hooks;
  hooks.Progress = [&bytes](std::uint64_t received, std::optional<std::uint64_t>) { bytes = received; };
  if (orvane::DownloadFile(url, file, false, "", messages, hooks) != orvane::TDownloadResult::Done) return 1;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%llu %ld\n", static_cast<unsigned long long>(bytes), usage.ru_maxrss);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "serve") == 0) return Serve(std::strtoul(argv[2], nullptr, 10));
  if (argc == 4 && std::strcmp(argv[1], "get") == 0) return Get(argv[2], argv[3]);
  std::fprintf(stderr, "usage: %s serve <MiB> | get <url> <file>\n", argv[0]);
  return 2;
}
