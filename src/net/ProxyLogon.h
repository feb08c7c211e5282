// Signing in to a proxy with the current logon (Negotiate or NTLM), in the
// words this platform can honestly use when it fails.
//
// On Windows libcurl goes through SSPI, which signs in with the Windows logon
// of the user running the program. On Linux the program's own libcurl has
// no GSS-API, so it cannot sign in with Negotiate (a system libcurl with
// GSS-API uses the user's Kerberos ticket); NTLM has no logon to use there,
// and libcurl then sends an NTLM sign-in with an empty user name and
// password.
#pragma once

#include <string>

namespace orvane {

// The proxy answered 407 again after the request carried a sign-in of this
// scheme ("Negotiate" or "NTLM").
std::string LogonSignInRefused(const std::string& scheme);

// The proxy offered this scheme, but no sign-in could be made from the
// logon, so none was sent.
std::string LogonSignInUnavailable(const std::string& scheme);

}  // namespace orvane
