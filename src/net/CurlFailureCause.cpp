#include "net/CurlFailureCause.h"

namespace orvane {

namespace {

// The end of "No secure connection to <host> could be made: ...", empty
// when rc is not about TLS.
std::string TlsFailureReason(CURLcode rc) {
  switch (rc) {
    case CURLE_SSL_CONNECT_ERROR:
      return "the secure handshake failed.";
    case CURLE_SSL_CIPHER:
      return "the server and this program have no encryption method in common.";
    case CURLE_USE_SSL_FAILED:
      return "the server does not offer a secure connection.";
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CLIENTCERT:
      return "the server asks for a certificate of this computer, which the program does not have.";
    case CURLE_SSL_CACERT_BADFILE:
      return "the list of trusted certificate authorities could not be read.";
    case CURLE_SSL_CRL_BADFILE:
      return "the list of revoked certificates could not be read.";
    case CURLE_SSL_ISSUER_ERROR:
      return "the issuer of its certificate could not be confirmed.";
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
      return "its key is not the one expected.";
    case CURLE_SSL_INVALIDCERTSTATUS:
      return "the revocation status of its certificate could not be confirmed.";
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
      return "the encryption library of this computer could not be set up.";
    case CURLE_SSL_SHUTDOWN_FAILED:
      return "the secure connection did not close properly.";
    default:
      return {};
  }
}

}  // namespace

std::string CurlFailureCause(CURLcode rc, const std::string& host) {
  if (std::string reason = TlsFailureReason(rc); !reason.empty()) {
    return "No secure connection to " + host + " could be made: " + reason;
  }
  switch (rc) {
    case CURLE_URL_MALFORMAT:
      return "The download address, or one the server redirected to, is not a valid web address.";
    case CURLE_WEIRD_SERVER_REPLY:
      return "The server's answer was not valid HTTP.";
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_HTTP3:
    case CURLE_QUIC_CONNECT_ERROR:
      return "The server's answer was garbled (faulty HTTP/2 or HTTP/3 framing).";
    case CURLE_HTTP_RETURNED_ERROR:
      return "The server answered with an error.";
    case CURLE_REMOTE_FILE_NOT_FOUND:
      return "The file was not found on the server.";
    case CURLE_REMOTE_ACCESS_DENIED:
      return "The server refused access to the file.";
    case CURLE_RANGE_ERROR:
    case CURLE_BAD_DOWNLOAD_RESUME:
      return "The server could not send the requested part of the file.";
    case CURLE_BAD_CONTENT_ENCODING:
      return "The server sent the file in a compressed form that could not be read.";
    case CURLE_FILESIZE_EXCEEDED:
      return "The file is larger than allowed.";
    case CURLE_WRITE_ERROR:
      return "The received data could not be stored.";
    case CURLE_OUT_OF_MEMORY:
      // libcurl also says so when a line of the server's answer passes one
      // of its own size limits.
      return "The download ran out of memory: a part of the server's answer was too large, or this computer "
             "is short of memory.";
    case CURLE_READ_ERROR:
    case CURLE_UPLOAD_FAILED:
    case CURLE_HTTP_POST_ERROR:
      return "The request could not be sent.";
    case CURLE_SEND_FAIL_REWIND:
      return "The request could not be sent again after a redirect or sign-in round.";
    case CURLE_AUTH_ERROR:
      return "Signing in to the proxy or the server failed.";
    case CURLE_LOGIN_DENIED:
      return "The user name or password was refused.";
    case CURLE_PROXY:
      return "The connection through the proxy could not be set up.";
    case CURLE_NO_CONNECTION_AVAILABLE:
      return "No connection to " + host + " was available.";
    case CURLE_ABORTED_BY_CALLBACK:
      return "The download was stopped.";
    case CURLE_FAILED_INIT:
    case CURLE_NOT_BUILT_IN:
    case CURLE_FUNCTION_NOT_FOUND:
    case CURLE_BAD_FUNCTION_ARGUMENT:
    case CURLE_INTERFACE_FAILED:
    case CURLE_UNKNOWN_OPTION:
    case CURLE_SETOPT_OPTION_SYNTAX:
    case CURLE_RECURSIVE_API_CALL:
    case CURLE_UNRECOVERABLE_POLL:
    case CURLE_AGAIN:
      return "The program could not set up the download (an internal error of its network library, number " +
             std::to_string(static_cast<int>(rc)) + ").";
    default:
      // File-transfer protocols this program never speaks, and codes of
      // later libcurl versions.
      return "The transfer failed (network library error " + std::to_string(static_cast<int>(rc)) + ").";
  }
}

}  // namespace orvane
