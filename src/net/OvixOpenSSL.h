// Readiness of the TLS library for https requests.
//
// TLS comes from the system: OpenSSL, linked like any other library, on
// POSIX (OvixOpenSSL_posix.cpp), Schannel on Windows (OvixOpenSSL_win.cpp).
// There is nothing to unpack or put on a search path: preparing means
// initialising libcurl's and the TLS library's global state once, before the
// first https request, and checking that the HTTP library really speaks TLS
// through the backend this build expects. Plain http requests never prepare.
#pragma once

#include <stdexcept>
#include <string>

namespace orvane {

// Raised by PrepareOpenSSL when TLS cannot be made ready.
class EOpenSSLError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// True after a successful PrepareOpenSSL, false again after CleanupOpenSSL.
bool OpenSSLPrepared();

// Initialises the TLS library; raises EOpenSSLError on failure and leaves the
// prepared flag false, so that the next https request tries again. Does
// nothing when already prepared. Safe to call from any thread.
void PrepareOpenSSL();

// Platform part: the name libcurl reports for the TLS backend this build
// expects ("OpenSSL", "Schannel"), and that backend's own initialisation
// (raises EOpenSSLError).
extern const char* const kTlsBackendName;
void InitTlsLibrary();

// Releases what PrepareOpenSSL took. Never fails; does nothing when not
// prepared.
void CleanupOpenSSL();

}  // namespace orvane
