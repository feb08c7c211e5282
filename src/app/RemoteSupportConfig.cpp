#include "app/RemoteSupportConfig.h"

#include <filesystem>
#include <stdexcept>
#include <utility>

#include "OrvaneBuildConfig.h"
#include "system/SHA256.h"

namespace orvane {

TRemoteSupportItem::TRemoteSupportItem(std::string ItemName, std::string FileName, std::string FileUrl,
                                       std::string FileSha256, std::string OptArgsIn)
    : fItemName(std::move(ItemName)),
      fURL(std::move(FileUrl)),
      fFileName(std::move(FileName)),
      fOptArgs(std::move(OptArgsIn)),
      fsha256(std::move(FileSha256)) {}

TRemoteSupportConfig::TRemoteSupportConfig(const std::string& /*OptConfigFileName*/)
    : fDownloadLinks(std::vector<TRemoteSupportItem>()) {}

TRemoteSupportConfig::TRemoteSupportConfig(std::optional<std::vector<TRemoteSupportItem>> DownloadLinks,
                                           int DefaultItemIndex)
    : fDownloadLinks(std::move(DownloadLinks)), fDefaultItemIndex(DefaultItemIndex) {}

int TRemoteSupportConfig::NumberOfLinks() const {
  return fDownloadLinks ? static_cast<int>(fDownloadLinks->size()) : 0;
}

const TRemoteSupportItem& TRemoteSupportConfig::GetElementByIndex(int idx) const {
  if (idx < 0 || idx >= NumberOfLinks())
    throw std::out_of_range("Argument out of range: option index " + std::to_string(idx) + " (" +
                            std::to_string(NumberOfLinks()) + " options)");
  return (*fDownloadLinks)[static_cast<std::size_t>(idx)];
}

const TRemoteSupportItem* TRemoteSupportConfig::GetElementByName(const std::string& NameIn) const {
  const int idx = GetElementIndexByName(NameIn);
  return idx < 0 ? nullptr : &(*fDownloadLinks)[static_cast<std::size_t>(idx)];
}

int TRemoteSupportConfig::GetElementIndexByName(const std::string& NameIn) const {
  for (int i = NumberOfLinks() - 1; i >= 0; --i)
    if ((*fDownloadLinks)[static_cast<std::size_t>(i)].ItemName() == NameIn) return i;
  return -1;
}

namespace {

// Checksum text of a built-in option's file in the working directory; "sha",
// which no real digest equals, when there is no such file.
std::string ChecksumOrPlaceholder(const std::string& fileName) {
  std::error_code ec;
  const auto status = std::filesystem::status(fileName, ec);
  if (ec || !std::filesystem::exists(status) || std::filesystem::is_directory(status)) return "sha";
  return GetFileSHA256(fileName);
}

}  // namespace

void TRemoteSupportConfig::CreateDummyConfig() {
  struct BuiltIn {
    const char* name;
    const char* file;
    std::string args;
  };
  const std::string base = ORVANE_DOWNLOAD_BASE_URL;
  const BuiltIn rows[] = {
      {"teamviewer", "TeamViewerQS.exe", ""},
      {"remotely_x86", "Remotely_Desktop-[a735]_x86.exe", ""},
      {"remotely_x64", "Remotely_Desktop-[a735]_x64.exe", ""},
      {"remotely_install", "Remotely_Install-[a735].exe",
       "-install -quiet -organizationid \"4c1e9b07-72fd-4e58-b0a3-19d6f2e8a4c5\" -serverurl \"" +
           std::string(ORVANE_REMOTELY_SERVER_URL) + "\""},
  };
  if (!fDownloadLinks) fDownloadLinks.emplace();
  for (const BuiltIn& row : rows)
    fDownloadLinks->emplace_back(row.name, row.file, base + "/" + row.file, ChecksumOrPlaceholder(row.file),
                                 row.args);
  fDefaultItemIndex = 1;
}

}  // namespace orvane
