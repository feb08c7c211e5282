#include "net/ProxyLogon.h"

namespace orvane {

std::string LogonSignInRefused(const std::string& scheme) {
  return "The proxy refused the sign-in with your Windows logon (" + scheme + ").";
}

std::string LogonSignInUnavailable(const std::string& scheme) {
  return "Your Windows logon could not be used for " + scheme + " sign-in.";
}

}  // namespace orvane
