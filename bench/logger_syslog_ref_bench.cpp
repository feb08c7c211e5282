// Reference for the syslog benchmark: the stdio loop of the logger reference
// (open, append, close per line, date stamp built per line) plus one sendto
// per line to a receiver on 127.0.0.1. Prints the seconds it took and the
// datagrams received.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "LoggerBenchLines.h"
#include "LoopbackUdpReceiver.h"

int main(int argc, char** argv) {
  const auto run = ParseLoggerBenchArgs(argc, argv);
  if (!run) return 2;
  const std::vector<std::string>& texts = run->texts;
  LoopbackUdpReceiver receiver;

  const std::string path = run->folder + "/log_debug_bench_logger_syslog_ref.log";
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(static_cast<std::uint16_t>(receiver.Port()));
  server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);

  const auto start = std::chrono::steady_clock::now();
  for (const auto& text : texts) {
    char stamp[32];
    if (!AppendStdioLogLine(path, "bench_logger_syslog_ref", text, stamp)) return 1;
    const std::string datagram = "<135>" + std::string(stamp) + " host : (bench_logger_syslog_ref) : " + text;
    sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&server),
           sizeof server);
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  close(fd);
  std::printf("%.6f %ld\n", elapsed.count(), receiver.Stop());
  return 0;
}
