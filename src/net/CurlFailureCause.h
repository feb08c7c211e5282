// What a failed libcurl transfer means, in words a user can read out on the
// phone. libcurl's own texts ("Out of memory", "Failure when receiving data
// from the peer") name what went wrong inside the library, not what the
// user can do about it; they stay in the failure message for the trace.
#pragma once

#include <curl/curl.h>

#include <string>

namespace orvane {

// One sentence for a transfer that ended with rc, host being the host of
// the address fetched. The failures whose words need more than the code
// (a refused or broken connection, a name not found, a time-out, a redirect
// loop, a body cut short, an untrusted certificate) are worded by the
// request itself; any other code, also one an http or https transfer never
// ends with or one of a later libcurl, gets a sentence here.
std::string CurlFailureCause(CURLcode rc, const std::string& host);

}  // namespace orvane
