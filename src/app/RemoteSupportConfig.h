// The remote-support options the assistant offers, and the list that holds
// them together with the preselected option.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orvane {

// One remote-support tool: where it is downloaded from, the file it is stored
// as, how it is started and the SHA-256 its executable must have. An option
// never changes after it has been created.
class TRemoteSupportItem {
 public:
  TRemoteSupportItem() = default;
  TRemoteSupportItem(std::string ItemName, std::string FileName, std::string FileUrl, std::string FileSha256,
                     std::string OptArgsIn);

  const std::string& ItemName() const { return fItemName; }
  const std::string& FielName() const { return fFileName; }
  const std::string& url() const { return fURL; }
  const std::string& sha256() const { return fsha256; }
  const std::string& OptArgs() const { return fOptArgs; }

  friend bool operator==(const TRemoteSupportItem&, const TRemoteSupportItem&) = default;

 private:
  // Declared order is the order of the members in the configuration file.
  std::string fItemName;
  std::string fURL;
  std::string fFileName;
  std::string fOptArgs;
  std::string fsha256;
};

// The options in display order plus the index of the preselected one. A
// configuration read from a file may have no option list at all (the file had
// no usable "downloadLinks"); HasOptionList() tells that apart from an empty
// list. Without a list it behaves like an empty one.
class TRemoteSupportConfig {
 public:
  // An empty list, default index 0. The file name is accepted and ignored.
  explicit TRemoteSupportConfig(const std::string& OptConfigFileName = std::string());

  // A configuration as the file reader builds it; nullopt means "no list".
  TRemoteSupportConfig(std::optional<std::vector<TRemoteSupportItem>> DownloadLinks, int DefaultItemIndex);

  bool HasOptionList() const { return fDownloadLinks.has_value(); }
  int NumberOfLinks() const;

  // Raises std::out_of_range for an index outside 0 .. NumberOfLinks()-1.
  const TRemoteSupportItem& GetElementByIndex(int idx) const;

  // The last option whose name equals NameIn exactly (case-sensitive), or
  // nullptr. The pointer stays valid as long as the configuration lives.
  const TRemoteSupportItem* GetElementByName(const std::string& NameIn) const;

  // Index of that last exact match, or -1.
  int GetElementIndexByName(const std::string& NameIn) const;

  // Zero-based, not checked against the number of options.
  int DefaultItemIndex() const { return fDefaultItemIndex; }

  // Appends the four built-in options and preselects the second. Each
  // option's checksum is the SHA-256 of the file of that bare name in the
  // current working directory, or "sha" when there is no such file. A file
  // that exists but cannot be hashed raises, leaving the options appended so
  // far in place.
  void CreateDummyConfig();

  friend bool operator==(const TRemoteSupportConfig&, const TRemoteSupportConfig&) = default;

 private:
  std::optional<std::vector<TRemoteSupportItem>> fDownloadLinks;
  int fDefaultItemIndex = 0;
};

}  // namespace orvane
