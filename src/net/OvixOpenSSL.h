// Readiness of the TLS library for https requests.
//
// TLS comes from the system's OpenSSL, linked like any other library, so
// there is nothing to unpack or put on a search path: preparing means
// initialising libcurl's and OpenSSL's global state once, before the first
// https request, and checking that the HTTP library really speaks TLS through
// OpenSSL. Plain http requests never prepare.
#pragma once

#include <stdexcept>

namespace orvane {

// Raised by PrepareOpenSSL when TLS cannot be made ready.
class EOpenSSLError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// True after a successful PrepareOpenSSL, false again after CleanupOpenSSL.
bool OpenSSLPrepared();

// Initialises the TLS library; raises EOpenSSLError on failure and leaves the
// prepared flag false, so that the next https request tries again. Callers
// call it only while the flag is false.
void PrepareOpenSSL();

// Releases what PrepareOpenSSL took. Never fails; does nothing when not
// prepared.
void CleanupOpenSSL();

}  // namespace orvane
