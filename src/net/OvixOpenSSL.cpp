#include "net/OvixOpenSSL.h"

#include <curl/curl.h>

#include <atomic>
#include <mutex>
#include <string>

#include "net/OvixDbg.h"

namespace orvane {
namespace {

// Downloads run on helper threads: preparing and releasing are serialised,
// the flag can be read anywhere.
std::atomic<bool> g_prepared{false};
std::mutex g_preparing;

}  // namespace

bool OpenSSLPrepared() { return g_prepared; }

void PrepareOpenSSL() {
  const std::lock_guard lock(g_preparing);
  if (g_prepared) return;  // another thread was first
  const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
  const std::string backend = info->ssl_version ? info->ssl_version : "";
  if ((info->features & CURL_VERSION_SSL) == 0 || backend.rfind(kTlsBackendName, 0) != 0) {
    throw EOpenSSLError("libcurl " + std::string(info->version) + " has no " + kTlsBackendName +
                        " TLS support" +
                        (backend.empty() ? std::string() : " (TLS backend: " + backend + ")"));
  }
  // curl_global_init counts its callers; CleanupOpenSSL gives this reference
  // back. It also runs the TLS library's own initialisation, which
  // InitTlsLibrary checks, so that a broken TLS library is reported here and
  // not mid-request.
  if (CURLcode rc = curl_global_init(CURL_GLOBAL_DEFAULT); rc != CURLE_OK) {
    throw EOpenSSLError(std::string("libcurl initialisation failed: ") + curl_easy_strerror(rc));
  }
  try {
    InitTlsLibrary();
  } catch (...) {
    curl_global_cleanup();
    throw;
  }
  OvixDbg(std::string(kTlsBackendName) + " prepared: " + backend + " via libcurl " + info->version);
  g_prepared = true;
}

void CleanupOpenSSL() {
  const std::lock_guard lock(g_preparing);
  if (!g_prepared) return;
  // The TLS library frees its global state by itself at process exit; only
  // libcurl's reference is returned, so that a later https request in this
  // process still works.
  curl_global_cleanup();
  OvixDbg(std::string(kTlsBackendName) + " released");
  g_prepared = false;
}

}  // namespace orvane
