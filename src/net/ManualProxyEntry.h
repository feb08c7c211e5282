// The proxy entry of the download window, read into its parts. Kept apart
// from the download itself so that it can be used (and fuzzed) without the
// HTTP client.
#pragma once

#include <string>

#include "system/Translate.h"

namespace orvane {

inline constexpr char kNoProxyPortMessage[] =
    TR_NOOP("No Proxy Port specified! Format: Proxy:Port or User:Password@proxy:port");
inline constexpr char kNoProxyHostMessage[] =
    TR_NOOP("No Proxy Server specified! Format: Proxy:Port or User:Password@proxy:port");

// A manual proxy entry of the form "Proxy:Port" or
// "User:Password@proxy:port", read as the authority of an http URL: an
// "http://" in front is optional (exact lower case), anything from the first
// "/" on is ignored, the user information ends at the last "@", the user name
// at its first ":", the host at its first ":" (an IPv6 address may be written
// in square brackets; the host is then given without them). Nothing is
// percent-decoded. Raises std::runtime_error with kNoProxyPortMessage when
// the port is missing and with kNoProxyHostMessage when the host is (a
// proxy without a host would silently mean no proxy at all). The messages
// go to the user and never show the password.
struct TManualProxyEntry {
  std::string Host;
  std::string Port;
  std::string User;
  std::string Password;
};
TManualProxyEntry ParseManualProxyEntry(const std::string& entry);

}  // namespace orvane
