#include "support/SquidProxy.h"

#include <chrono>
#include <sstream>
#include <thread>

namespace orvane::test {

std::vector<SquidProxy::Request> SquidProxy::Requests() const {
  std::vector<Request> requests;
  std::istringstream lines(Log());
  for (std::string line; std::getline(lines, line);) {
    // squid's native format: time, elapsed, client, result/status, bytes,
    // method, URL, user, hierarchy, type.
    std::istringstream fields(line);
    std::string time, elapsed, client, bytes;
    Request request;
    if (fields >> time >> elapsed >> client >> request.result >> bytes >> request.method >> request.url >>
        request.user) {
      // A connection that sent no request (the start-up probe) is logged
      // with status 000.
      if (!request.result.ends_with("/000")) requests.push_back(request);
    }
  }
  return requests;
}

std::vector<SquidProxy::Request> SquidProxy::RequestsOnceThrough() const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  std::vector<Request> requests = Requests();
  while ((requests.empty() || requests.back().result.starts_with("TCP_DENIED/")) &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    requests = Requests();
  }
  return requests;
}

}  // namespace orvane::test
