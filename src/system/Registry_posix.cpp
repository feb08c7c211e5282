// The company key "Software\Orvane mbH Tessel\<subkey>" as files below the
// configuration folder (machine-wide: first entry of XDG_CONFIG_DIRS,
// per-user: XDG_CONFIG_HOME):
//   <folder>/Orvane mbH Tessel/<subkey>.reg   the key's values (RegistryFile.h)
//   <folder>/Orvane mbH Tessel/<subkey>/      its subkeys, laid out the same way
// A subkey "A\B" becomes "A/B.reg".
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

#include "system/OSFunctions.h"
#include "system/Registry.h"
#include "system/RegistryFile.h"

namespace orvane {
namespace {

const char* const kCompanyKey = "Orvane mbH Tessel";

// Override files are a few lines; anything bigger is not one of ours.
constexpr std::uintmax_t kMaxKeyFileSize = 1 << 20;

// <folder>/Orvane mbH Tessel[/<subkey parts>] without extension, or nullopt
// when the subkey cannot name a key (empty parts, "." or "..", "/" or NUL in
// a name): such keys cannot escape the company folder.
std::optional<std::filesystem::path> KeyPath(const std::string& subkey, bool perUser) {
  const std::string folder = GetConfigurationFolder(perUser);
  if (folder.empty()) return std::nullopt;
  std::filesystem::path path = std::filesystem::path(folder) / kCompanyKey;
  if (subkey.empty()) return path;
  std::string_view rest = subkey;
  if (rest.back() == '\\') rest.remove_suffix(1);
  for (;;) {
    const size_t end = rest.find('\\');
    const std::string_view part = rest.substr(0, end);
    if (part.empty() || part == "." || part == ".." ||
        part.find_first_of(std::string_view("/\0", 2)) != std::string_view::npos)
      return std::nullopt;
    path /= std::string(part);
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return path;
}

std::optional<std::string> ReadKeyFile(const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return std::nullopt;
  const auto size = std::filesystem::file_size(file, ec);
  if (ec || size > kMaxKeyFileSize) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text(static_cast<size_t>(size), '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));
  return text;
}

}  // namespace

std::string ReadCompanyRegString(const std::string& subkey, const std::string& valueName,
                                 const std::string& defaultValue) {
  try {
    const auto key = KeyPath(subkey, false);
    if (!key) return defaultValue;
    std::filesystem::path file = *key;
    file += ".reg";
    const auto text = ReadKeyFile(file);
    if (!text) return defaultValue;
    const auto value = TRegistryFile::Parse(*text).ReadString(valueName);
    return value && !value->empty() ? *value : defaultValue;
  } catch (...) {
    return defaultValue;
  }
}

void DeleteCompanyUserRegKey(const std::string& subkey) {
  try {
    const auto key = KeyPath(subkey, true);
    if (!key) return;
    std::filesystem::path file = *key;
    file += ".reg";
    std::error_code ec;
    std::filesystem::remove(file, ec);
    std::filesystem::remove_all(*key, ec);  // a symbolic link goes, not what it points to
  } catch (...) {
  }
}

}  // namespace orvane
