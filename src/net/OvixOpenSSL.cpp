#include "net/OvixOpenSSL.h"

#include <curl/curl.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/ssl.h>

#include <string>

#include "net/OvixDbg.h"

namespace orvane {
namespace {

bool g_prepared = false;

std::string OpenSSLErrorText() {
  unsigned long code = ERR_get_error();
  if (code == 0) return "unknown OpenSSL error";
  char text[256];
  ERR_error_string_n(code, text, sizeof text);
  return text;
}

}  // namespace

bool OpenSSLPrepared() { return g_prepared; }

void PrepareOpenSSL() {
  const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
  const std::string backend = info->ssl_version ? info->ssl_version : "";
  if ((info->features & CURL_VERSION_SSL) == 0 || backend.rfind("OpenSSL", 0) != 0) {
    throw EOpenSSLError("libcurl " + std::string(info->version) + " has no OpenSSL TLS support" +
                        (backend.empty() ? std::string() : " (TLS backend: " + backend + ")"));
  }
  // curl_global_init counts its callers; CleanupOpenSSL gives this reference
  // back. It also runs OpenSSL's own initialisation, which OPENSSL_init_ssl
  // repeats so that a broken OpenSSL is reported here and not mid-request.
  if (CURLcode rc = curl_global_init(CURL_GLOBAL_DEFAULT); rc != CURLE_OK) {
    throw EOpenSSLError(std::string("libcurl initialisation failed: ") + curl_easy_strerror(rc));
  }
  if (OPENSSL_init_ssl(0, nullptr) != 1) {
    curl_global_cleanup();
    throw EOpenSSLError("OpenSSL initialisation failed: " + OpenSSLErrorText());
  }
  OvixDbg("OpenSSL prepared: " + std::string(OpenSSL_version(OPENSSL_VERSION)) + " via libcurl " +
          info->version);
  g_prepared = true;
}

void CleanupOpenSSL() {
  if (!g_prepared) return;
  // OpenSSL 3 frees its global state by itself at process exit; calling
  // OPENSSL_cleanup here would make any later https request in this process
  // impossible, so only libcurl's reference is returned.
  curl_global_cleanup();
  OvixDbg("OpenSSL released");
  g_prepared = false;
}

}  // namespace orvane
