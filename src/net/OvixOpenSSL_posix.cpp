// POSIX: TLS through the system's OpenSSL, linked like any other library.
#include <openssl/err.h>
#include <openssl/ssl.h>

#include "net/OvixOpenSSL.h"

namespace orvane {

const char* const kTlsBackendName = "OpenSSL";

void InitTlsLibrary() {
  if (OPENSSL_init_ssl(0, nullptr) == 1) return;
  const unsigned long code = ERR_get_error();
  char text[256] = "unknown OpenSSL error";
  if (code != 0) ERR_error_string_n(code, text, sizeof text);
  throw EOpenSSLError(std::string("OpenSSL initialisation failed: ") + text);
}

}  // namespace orvane
