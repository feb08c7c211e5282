// Windows: TLS through Schannel, the system's own TLS provider, which checks
// certificates against the Windows trust store that the customer's IT
// manages and gets the system's TLS updates. There is no library to load:
// libcurl's initialisation already sets up the security interface.
#include "net/OvixOpenSSL.h"

namespace orvane {

const char* const kTlsBackendName = "Schannel";

void InitTlsLibrary() {}

}  // namespace orvane
