#include <curl/curl.h>

#include "net/ProxyLogon.h"

namespace orvane {

namespace {

// Whether the libcurl in use can sign in with Negotiate at all: the
// program's own Linux build leaves GSS-API out, a system libcurl may have it.
bool NegotiateAvailable() {
  return (curl_version_info(CURLVERSION_NOW)->features & CURL_VERSION_SPNEGO) != 0;
}

}  // namespace

std::string LogonSignInRefused(const std::string& scheme) {
  if (scheme == "Negotiate") return "The proxy refused the sign-in with your Kerberos ticket (Negotiate).";
  // libcurl's NTLM without a user name signs in anonymously.
  return "The proxy refused the " + scheme +
         " sign-in, which is anonymous here: this system has no Windows logon to sign in with.";
}

std::string LogonSignInUnavailable(const std::string& scheme) {
  if (scheme == "Negotiate") {
    if (!NegotiateAvailable()) return "This program cannot sign in with Negotiate (Kerberos) on this system.";
    return "No Kerberos ticket could be used for Negotiate sign-in (kinit gets one).";
  }
  return "No " + scheme + " sign-in could be made on this system.";
}

}  // namespace orvane
