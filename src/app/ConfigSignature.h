// The maker's signature on the option list. A program built with a public
// key (ORVANE_CONFIG_PUBLIC_KEY) uses an option list only when the file
// "orvanesupport.json.sig" beside it holds a valid ECDSA P-256 / SHA-256
// signature of the list's exact bytes (system/EcdsaSignature.h has the
// formats). The check runs on a downloaded list before it replaces the old
// one and on the file before every load. Without a key nothing is checked.
#pragma once

#include <string>
#include <string_view>

#include "net/DownloadFile.h"
#include "system/Translate.h"

namespace orvane {

// The signature file's name: the list's name plus ".sig".
inline constexpr char kConfigSignatureSuffix[] = ".sig";
// Where a download keeps the new signature until it is in place: the list's
// name plus ".sig.new".
inline constexpr char kNewConfigSignatureSuffix[] = ".sig.new";

// What the user is told when a list is refused; the log says which check
// failed.
inline constexpr char kConfigNotSignedMessage[] =
    TR_NOOP("The option list is not signed by the maker and was not used.");

// The key compiled into the program: PEM text, empty when none was set.
const std::string& BuiltInConfigPublicKey();

// Empty when signatureFile holds a valid signature of listBytes under the
// public key (PEM); otherwise which check failed, for the log: no signature
// file, an unreadable or malformed one, a wrong one, or an unusable key.
// Never raises.
std::string VerifyConfigSignature(const std::string& publicKeyPem, std::string_view listBytes,
                                  const std::string& signatureFile);

// The check of the list file on disk, whose bytes the caller has read:
// listBytes against listFile + ".sig". A download interrupted between placing
// the list and placing its signature leaves that signature at listFile +
// ".sig.new"; when it signs listBytes, it is put in place and the list
// counts as signed. Empty when signed, else why not (as above).
std::string VerifyConfigFile(const std::string& publicKeyPem, std::string_view listBytes,
                             const std::string& listFile);

// Writes the warning "Option list (<which>) refused: <why>" to the log.
void LogConfigRefusal(const std::string& which, const std::string& why);

// Signs the bytes of listFile with the private key in privateKeyFile (PEM)
// and writes the signature to listFile + ".sig". Raises std::runtime_error
// with a message for the user (on Windows always: signing is done on Linux).
void SignConfigFile(const std::string& privateKeyFile, const std::string& listFile);

// Fetches a list together with its signature: the signature first, into
// listFile + ".sig.new"; the list then with Check() as the download's check,
// so that a list without a matching signature never replaces the old one;
// finally Finish() puts the signature in place when the list now on disk is
// the one it signs, and drops it otherwise. Until the signature is in place
// its temporary file stays, so an interruption between the two steps leaves
// a pair that VerifyConfigFile completes.
class TConfigSignatureDownload {
 public:
  TConfigSignatureDownload(std::string publicKeyPem, std::string listFile);
  ~TConfigSignatureDownload();
  TConfigSignatureDownload(const TConfigSignatureDownload&) = delete;
  TConfigSignatureDownload& operator=(const TConfigSignatureDownload&) = delete;

  // Downloads listUrl + ".sig" quietly: a failure is only logged, because the
  // list's own download (and its check) will tell the user what went wrong.
  // An answer larger than a signature file can be is not taken.
  void FetchSignature(const std::string& listUrl, bool useProxy, const std::string& proxyEntry,
                      TDownloadHooks hooks);
  // The list download's check on the new list's bytes: empty to accept them,
  // else the text for the user. The failed check is logged.
  std::string Check(std::string_view newListBytes) const;
  void Finish();

 private:
  std::string fKey;
  std::string fListFile;
  std::string fNewSignatureFile;
  bool fKeepNewSignature = false;
};

}  // namespace orvane
