#include "support/SquidProxy.h"

#include <sstream>

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

}  // namespace orvane::test
