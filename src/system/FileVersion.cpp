// Portable reader of the fixed file version in a PE image:
// DOS header -> PE header -> optional header (PE32 or PE32+) -> resource data
// directory -> resource tree RT_VERSION / first name / first language -> data
// entry -> VS_VERSIONINFO block -> VS_FIXEDFILEINFO.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "system/FileVersion.h"

namespace orvane {
namespace {

constexpr int kNotAnImage = ENOEXEC;
constexpr int kNoVersion = ENODATA;

constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr std::size_t kFixedInfoSize = 52;
constexpr std::size_t kSectionHeaderSize = 40;
// A VS_VERSIONINFO block states its length in 16 bits.
constexpr std::uint32_t kMaxVersionBlock = 0xFFFF;
// "VS_VERSION_INFO" with its terminator, as UTF-16LE.
constexpr char kVersionKey[] = "V\0S\0_\0V\0E\0R\0S\0I\0O\0N\0_\0I\0N\0F\0O\0\0";
constexpr std::size_t kVersionKeySize = sizeof kVersionKey - 1;

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t U32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

struct Section {
  std::uint32_t virtualAddress;
  std::uint32_t rawSize;
  std::uint32_t rawOffset;
};

// Reads through the source, turning any range outside it into kNotAnImage.
class Reader {
 public:
  explicit Reader(TPeSource& source) : source_(source), size_(source.Size()) {}

  bool Fits(std::uint64_t offset, std::uint64_t n) const { return offset <= size_ && n <= size_ - offset; }

  bool Read(std::uint64_t offset, void* out, std::size_t n) {
    if (!Fits(offset, n)) return Fail(kNotAnImage);
    if (const int e = source_.ReadAt(offset, out, n)) return Fail(e);
    return true;
  }

  bool ReadVector(std::uint64_t offset, std::size_t n, std::vector<std::uint8_t>& out) {
    if (!Fits(offset, n)) return Fail(kNotAnImage);
    out.resize(n);
    return Read(offset, out.data(), n);
  }

  bool Fail(int error) {
    error_ = error;
    return false;
  }
  int error() const { return error_; }

 private:
  TPeSource& source_;
  std::uint64_t size_;
  int error_ = 0;
};

// File offset of the n bytes at rva when they lie inside one section's data
// in the file.
std::optional<std::uint64_t> MapRva(const std::vector<Section>& sections, std::uint64_t rva,
                                    std::uint64_t n) {
  for (const Section& s : sections) {
    if (rva < s.virtualAddress) continue;
    const std::uint64_t inside = rva - s.virtualAddress;
    if (inside <= s.rawSize && n <= s.rawSize - inside) return std::uint64_t{s.rawOffset} + inside;
  }
  return std::nullopt;
}

struct DirectoryEntry {
  std::uint32_t name;
  std::uint32_t target;
  bool IsId() const { return (name & 0x80000000u) == 0; }
  bool IsDirectory() const { return (target & 0x80000000u) != 0; }
  std::uint32_t Offset() const { return target & 0x7FFFFFFFu; }
};

class ResourceTree {
 public:
  ResourceTree(Reader& reader, const std::vector<Section>& sections, std::uint32_t rootRva)
      : reader_(reader), sections_(sections), rootRva_(rootRva) {}

  // Reads n bytes at the given offset from the start of the resource tree.
  bool Read(std::uint64_t offset, std::size_t n, std::vector<std::uint8_t>& out) {
    const auto fileOffset = MapRva(sections_, std::uint64_t{rootRva_} + offset, n);
    if (!fileOffset) return reader_.Fail(kNotAnImage);
    return reader_.ReadVector(*fileOffset, n, out);
  }

  // The entries of the directory at offset (named entries first, then IDs).
  bool Entries(std::uint64_t offset, std::vector<DirectoryEntry>& entries) {
    std::vector<std::uint8_t> bytes;
    if (!Read(offset, 16, bytes)) return false;
    const std::size_t count = std::size_t{U16(&bytes[12])} + U16(&bytes[14]);
    if (!Read(offset + 16, count * 8, bytes)) return false;
    entries.clear();
    for (std::size_t i = 0; i < count; ++i) entries.push_back({U32(&bytes[i * 8]), U32(&bytes[i * 8 + 4])});
    return true;
  }

  // The first entry of the subdirectory that entry points to; the tree is
  // walked a fixed three levels deep, so a cyclic tree cannot loop.
  bool FirstChild(const DirectoryEntry& entry, DirectoryEntry& child) {
    if (!entry.IsDirectory()) return reader_.Fail(kNotAnImage);
    std::vector<DirectoryEntry> entries;
    if (!Entries(entry.Offset(), entries)) return false;
    if (entries.empty()) return reader_.Fail(kNoVersion);
    child = entries.front();
    return true;
  }

 private:
  Reader& reader_;
  const std::vector<Section>& sections_;
  std::uint32_t rootRva_;
};

// Walks the headers to the version resource and fills block with its data.
bool ReadVersionBlock(Reader& reader, std::vector<std::uint8_t>& block) {
  std::uint8_t dos[64];
  if (!reader.Read(0, dos, sizeof dos)) return false;
  if (dos[0] != 'M' || dos[1] != 'Z') return reader.Fail(kNotAnImage);
  const std::uint64_t peOffset = U32(&dos[0x3C]);

  std::uint8_t pe[24];
  if (!reader.Read(peOffset, pe, sizeof pe)) return false;
  if (std::memcmp(pe, "PE\0\0", 4) != 0) return reader.Fail(kNotAnImage);
  const std::uint16_t sectionCount = U16(&pe[6]);
  const std::uint16_t optionalSize = U16(&pe[20]);

  std::vector<std::uint8_t> optional;
  if (!reader.ReadVector(peOffset + sizeof pe, optionalSize, optional)) return false;
  if (optional.size() < 2) return reader.Fail(kNotAnImage);
  std::size_t countOffset;
  switch (U16(optional.data())) {
    case 0x10B:  // PE32
      countOffset = 92;
      break;
    case 0x20B:  // PE32+
      countOffset = 108;
      break;
    default:
      return reader.Fail(kNotAnImage);
  }
  if (optional.size() < countOffset + 4) return reader.Fail(kNotAnImage);
  // The data directories follow their count; the resource table is the third.
  constexpr std::size_t kDirectorySize = 8;
  const std::size_t resourceEntry = countOffset + 4 + 2 * kDirectorySize;
  if (U32(&optional[countOffset]) < 3 || optional.size() < resourceEntry + kDirectorySize)
    return reader.Fail(kNoVersion);
  const std::uint32_t resourceRva = U32(&optional[resourceEntry]);
  if (resourceRva == 0) return reader.Fail(kNoVersion);

  std::vector<std::uint8_t> table;
  if (!reader.ReadVector(peOffset + sizeof pe + optionalSize, std::size_t{sectionCount} * kSectionHeaderSize,
                         table))
    return false;
  std::vector<Section> sections;
  for (std::size_t i = 0; i < sectionCount; ++i) {
    const std::uint8_t* h = &table[i * kSectionHeaderSize];
    sections.push_back({U32(h + 12), U32(h + 16), U32(h + 20)});
  }

  ResourceTree tree(reader, sections, resourceRva);
  std::vector<DirectoryEntry> types;
  if (!tree.Entries(0, types)) return false;
  const DirectoryEntry* versionType = nullptr;
  for (const DirectoryEntry& e : types) {
    if (e.IsId() && e.name == kRtVersion) {
      versionType = &e;
      break;
    }
  }
  if (!versionType) return reader.Fail(kNoVersion);
  DirectoryEntry name{}, language{};
  if (!tree.FirstChild(*versionType, name) || !tree.FirstChild(name, language)) return false;
  if (language.IsDirectory()) return reader.Fail(kNotAnImage);

  std::vector<std::uint8_t> dataEntry;
  if (!tree.Read(language.Offset(), 16, dataEntry)) return false;
  const std::uint32_t dataRva = U32(&dataEntry[0]);
  const std::uint32_t dataSize = std::min(U32(&dataEntry[4]), kMaxVersionBlock);
  const auto dataOffset = MapRva(sections, dataRva, dataSize);
  if (!dataOffset) return reader.Fail(kNotAnImage);
  return reader.ReadVector(*dataOffset, dataSize, block);
}

class BufferSource : public TPeSource {
 public:
  BufferSource(const void* data, std::size_t size)
      : data_(static_cast<const std::uint8_t*>(data)), size_(size) {}
  std::uint64_t Size() const override { return size_; }
  int ReadAt(std::uint64_t offset, void* out, std::size_t n) override {
    if (n != 0) std::memcpy(out, data_ + offset, n);
    return 0;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

}  // namespace

TFileVersionQuery ReadPeFileVersion(TPeSource& source) {
  TFileVersionQuery query;
  Reader reader(source);
  std::vector<std::uint8_t> block;
  if (!ReadVersionBlock(reader, block)) {
    query.error = reader.error();
    return query;
  }
  // VS_VERSIONINFO: wLength, wValueLength, wType, the key, padding to a
  // 32-bit boundary, then the VS_FIXEDFILEINFO value.
  constexpr std::size_t keyOffset = 6;
  constexpr std::size_t valueOffset = (keyOffset + kVersionKeySize + 3) & ~std::size_t{3};
  if (block.size() < keyOffset + kVersionKeySize || U16(block.data()) < keyOffset + kVersionKeySize ||
      std::memcmp(&block[keyOffset], kVersionKey, kVersionKeySize) != 0) {
    query.error = kNoVersion;
    return query;
  }
  const std::size_t blockSize = std::min<std::size_t>(U16(block.data()), block.size());
  if (U16(&block[2]) < kFixedInfoSize || blockSize < valueOffset + kFixedInfoSize ||
      U32(&block[valueOffset]) != kFixedInfoSignature) {
    query.fixedInfoError = kNoVersion;
    return query;
  }
  const std::uint32_t ms = U32(&block[valueOffset + 8]);
  const std::uint32_t ls = U32(&block[valueOffset + 12]);
  query.version = {static_cast<std::uint16_t>(ms >> 16), static_cast<std::uint16_t>(ms & 0xFFFF),
                   static_cast<std::uint16_t>(ls >> 16), static_cast<std::uint16_t>(ls & 0xFFFF)};
  return query;
}

TFileVersionQuery ReadPeFileVersion(const void* data, std::size_t size) {
  BufferSource source(data, size);
  return ReadPeFileVersion(source);
}

}  // namespace orvane
