#include "net/ProxyLogon.h"

namespace orvane {

std::string LogonSignInRefused(const std::string& scheme) {
  if (scheme == "Negotiate") return "The proxy refused the sign-in with your Kerberos ticket (Negotiate).";
  // libcurl's NTLM without a user name signs in anonymously.
  return "The proxy refused the " + scheme +
         " sign-in, which is anonymous here: this system has no Windows logon to sign in with.";
}

std::string LogonSignInUnavailable(const std::string& scheme) {
  if (scheme == "Negotiate")
    return "No Kerberos ticket could be used for Negotiate sign-in (kinit gets one).";
  return "No " + scheme + " sign-in could be made on this system.";
}

}  // namespace orvane
