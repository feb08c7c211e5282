#include "app/ConfigSignature.h"

#include <filesystem>
#include <optional>
#include <stdexcept>

#include "OrvaneBuildConfig.h"
#include "app/ConfigFile.h"
#include "logging/Logging.h"
#include "system/EcdsaSignature.h"

namespace orvane {
namespace {

// A DER signature over P-256 has at most 72 bytes; anything much larger is
// not one.
constexpr std::size_t kMaxSignatureSize = 4096;

// The signature file's bytes; nullopt and why when there is none to use.
// Only one byte more than a signature may have is read, whatever the file's
// size.
std::optional<std::string> ReadSignatureFile(const std::string& path, std::string& why) {
  std::optional<std::string> bytes;
  try {
    bytes = ReadConfigFileBytes(path, kMaxSignatureSize + 1);
  } catch (const std::exception& e) {
    why = "the signature file " + path + " cannot be read: " + e.what();
    return std::nullopt;
  }
  if (!bytes) {
    why = "no signature file " + path;
  } else if (bytes->size() > kMaxSignatureSize) {
    why = std::string(kBadSignatureEncoding) + " (the file is too large)";
    bytes.reset();
  }
  return bytes;
}

// Quiet messages for the signature's own download: kept for the log only.
class TLoggedMessages : public IDownloadMessages {
 public:
  void ShowMessage(const std::string& text) override {
    if (Logger) Logger->Warning("Signature download: " + text);
  }
};

// Puts a verified signature beside listFile and drops its temporary file.
// False (logged) when it could not be written: the temporary file then stays
// for the next load to finish the pair.
bool PlaceSignature(const std::string& listFile, const std::string& signature) {
  try {
    WriteFileReplacing(listFile + kConfigSignatureSuffix, signature);
  } catch (const std::exception& e) {
    if (Logger) Logger->Error(std::string("Signature file cannot be put in place: ") + e.what());
    return false;
  }
  std::error_code ec;
  std::filesystem::remove(listFile + kNewConfigSignatureSuffix, ec);
  return true;
}

}  // namespace

void LogConfigRefusal(const std::string& which, const std::string& why) {
  if (Logger) Logger->Warning("Option list (" + which + ") refused: " + why);
}

const std::string& BuiltInConfigPublicKey() {
  static const std::string key = ORVANE_CONFIG_PUBLIC_KEY;
  return key;
}

std::string VerifyConfigSignature(const std::string& publicKeyPem, std::string_view listBytes,
                                  const std::string& signatureFile) {
  std::string why;
  const std::optional<std::string> signature = ReadSignatureFile(signatureFile, why);
  if (!signature) return why;
  return VerifyEcdsaSignature(publicKeyPem, listBytes, *signature);
}

std::string VerifyConfigFile(const std::string& publicKeyPem, std::string_view listBytes,
                             const std::string& listFile) {
  const std::string why = VerifyConfigSignature(publicKeyPem, listBytes, listFile + kConfigSignatureSuffix);
  if (why.empty()) return why;
  std::string pendingWhy;
  const std::optional<std::string> pending =
      ReadSignatureFile(listFile + kNewConfigSignatureSuffix, pendingWhy);
  if (!pending || !VerifyEcdsaSignature(publicKeyPem, listBytes, *pending).empty()) return why;
  if (Logger) {
    Logger->Informational("Option list (" + listFile +
                          "): its download was interrupted before the signature was in place; done now");
  }
  PlaceSignature(listFile, *pending);
  return {};
}

void SignConfigFile(const std::string& privateKeyFile, const std::string& listFile) {
  if (privateKeyFile.empty())
    throw std::runtime_error("Name the private key file: --SignConfig=<private key file>");
  const std::optional<std::string> key = ReadConfigFileBytes(privateKeyFile);
  if (!key) throw std::runtime_error("The private key file " + privateKeyFile + " cannot be read.");
  const std::optional<std::string> list = ReadConfigFileBytes(listFile);
  if (!list) throw std::runtime_error("There is no " + listFile + " to sign.");
  WriteFileReplacing(listFile + kConfigSignatureSuffix, SignEcdsa(*key, *list));
}

TConfigSignatureDownload::TConfigSignatureDownload(std::string publicKeyPem, std::string listFile)
    : fKey(std::move(publicKeyPem)), fListFile(std::move(listFile)) {
  fNewSignatureFile = fListFile + kConfigSignatureSuffix + ".new";
}

TConfigSignatureDownload::~TConfigSignatureDownload() {
  if (fKeepNewSignature) return;
  std::error_code ec;
  std::filesystem::remove(fNewSignatureFile, ec);
}

void TConfigSignatureDownload::FetchSignature(const std::string& listUrl, bool useProxy,
                                              const std::string& proxyEntry, TDownloadHooks hooks) {
  std::error_code ec;
  std::filesystem::remove(fNewSignatureFile, ec);
  TLoggedMessages messages;
  hooks.MaxSize = kMaxSignatureSize;
  DownloadFile(listUrl + kConfigSignatureSuffix, fNewSignatureFile, useProxy, proxyEntry, messages, hooks);
}

std::string TConfigSignatureDownload::Check(std::string_view newListBytes) const {
  const std::string why = VerifyConfigSignature(fKey, newListBytes, fNewSignatureFile);
  if (why.empty()) return {};
  LogConfigRefusal("download", why);
  return Tr(kConfigNotSignedMessage);
}

void TConfigSignatureDownload::Finish() {
  // The list on disk is either the new one (accepted) or the old one (the
  // download failed or was refused); the new signature belongs beside it
  // only in the first case. It is copied rather than renamed, so that the
  // old signature is replaced the same way on every system. The temporary
  // file goes only when it is in place or known not to sign the list.
  std::string why;
  const std::optional<std::string> signature = ReadSignatureFile(fNewSignatureFile, why);
  std::optional<std::string> list;
  try {
    list = ReadConfigFileBytes(fListFile);
  } catch (const std::exception& e) {
    if (Logger) Logger->Error(std::string("Signature file cannot be put in place: ") + e.what());
    fKeepNewSignature = true;
    return;
  }
  if (signature && list && VerifyEcdsaSignature(fKey, *list, *signature).empty()) {
    fKeepNewSignature = !PlaceSignature(fListFile, *signature);
    return;
  }
  std::error_code ec;
  std::filesystem::remove(fNewSignatureFile, ec);
}

}  // namespace orvane
