#include "support/PeBuilder.h"

#include <fstream>
#include <stdexcept>
#include <vector>

namespace orvane::test {
namespace {

constexpr std::uint32_t kFileAlignment = 0x200;
constexpr std::uint32_t kSectionAlignment = 0x1000;
constexpr std::uint32_t kTextRva = 0x1000;
constexpr std::uint32_t kResourceRva = 0x2000;
constexpr std::size_t kPeOffset = 0x40;

void Put16(std::string& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>(v >> 8);
}
void Put32(std::string& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
void Put64(std::string& b, std::size_t at, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
void Append16(std::string& b, std::uint16_t v) {
  b += static_cast<char>(v & 0xFF);
  b += static_cast<char>(v >> 8);
}
void Append32(std::string& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void Pad(std::string& b, std::size_t alignment) {
  while (b.size() % alignment) b += '\0';
}
std::uint32_t AlignUp(std::size_t v, std::uint32_t alignment) {
  return static_cast<std::uint32_t>((v + alignment - 1) / alignment * alignment);
}

// ASCII text as UTF-16LE with its terminator.
std::string Utf16z(const std::string& text) {
  std::string out;
  for (char c : text) Append16(out, static_cast<unsigned char>(c));
  Append16(out, 0);
  return out;
}

// One node of a version resource: wLength, wValueLength, wType, key, padding,
// value, padding, children (each starting on a 32-bit boundary).
std::string VersionNode(const std::string& key, const std::string& value, std::uint16_t valueLength,
                        bool textValue, const std::vector<std::string>& children) {
  std::string node(6, '\0');
  node += Utf16z(key);
  Pad(node, 4);
  node += value;
  for (const std::string& child : children) {
    Pad(node, 4);
    node += child;
  }
  Put16(node, 0, static_cast<std::uint16_t>(node.size()));
  Put16(node, 2, valueLength);
  Put16(node, 4, textValue ? 1 : 0);
  return node;
}

std::string TextNode(const std::string& key, const std::string& text) {
  return VersionNode(key, Utf16z(text), static_cast<std::uint16_t>(text.size() + 1), true, {});
}

std::string VersionText(const PeVersion& v) {
  return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.release) + "." +
         std::to_string(v.build);
}

std::string VersionBlock(const PeImageOptions& o) {
  std::string fixed;
  if (o.fixedInfo) {
    const auto ms = [](const PeVersion& v) { return static_cast<std::uint32_t>(v.major << 16 | v.minor); };
    const auto ls = [](const PeVersion& v) { return static_cast<std::uint32_t>(v.release << 16 | v.build); };
    Append32(fixed, 0xFEEF04BD);  // signature
    Append32(fixed, 0x00010000);  // structure version
    Append32(fixed, ms(o.fileVersion));
    Append32(fixed, ls(o.fileVersion));
    Append32(fixed, ms(o.productVersion));
    Append32(fixed, ls(o.productVersion));
    Append32(fixed, 0x3F);     // flags mask
    Append32(fixed, 0);        // flags
    Append32(fixed, 0x40004);  // VOS_NT_WINDOWS32
    Append32(fixed, 1);        // VFT_APP
    Append32(fixed, 0);        // subtype
    Append32(fixed, 0);        // date
    Append32(fixed, 0);
  }
  const std::string strings =
      VersionNode("StringFileInfo", "", 0, true,
                  {VersionNode("040904B0", "", 0, true,
                               {TextNode("CompanyName", "Test Fixtures"),
                                TextNode("FileVersion", VersionText(o.fileVersion)),
                                TextNode("ProductVersion", VersionText(o.productVersion))})});
  std::string translation;
  Append16(translation, 0x0409);
  Append16(translation, 0x04B0);
  const std::string vars =
      VersionNode("VarFileInfo", "", 0, true, {VersionNode("Translation", translation, 4, false, {})});
  return VersionNode("VS_VERSION_INFO", fixed, static_cast<std::uint16_t>(fixed.size()), false,
                     {strings, vars});
}

// Resource tree RT_VERSION (16) / ID 1 / language 0x0409 -> version block.
// Returns the section data; blockOffset is where the block starts in it.
std::string ResourceSection(const PeImageOptions& o, std::size_t& blockOffset) {
  std::string s;
  const auto directory = [&s](std::uint32_t id, std::uint32_t target) {
    s.append(12, '\0');  // characteristics, time stamp, version
    Append16(s, 0);      // named entries
    Append16(s, 1);      // ID entries
    Append32(s, id);
    Append32(s, target);
  };
  directory(16, 0x80000000u | 0x18);
  directory(1, 0x80000000u | 0x30);
  directory(0x0409, 0x48);
  const std::string block = VersionBlock(o);
  blockOffset = 0x58;
  Append32(s, kResourceRva + static_cast<std::uint32_t>(blockOffset));  // data entry
  Append32(s, static_cast<std::uint32_t>(block.size()));
  Append32(s, 0);  // code page
  Append32(s, 0);
  s += block;
  return s;
}

}  // namespace

PeImage BuildPeImage(const PeImageOptions& o) {
  PeImage image;
  const bool plus = o.pe32Plus;
  const std::uint16_t optionalSize = plus ? 240 : 224;
  const std::uint16_t sections = o.versionResource ? 2 : 1;
  image.peHeaderOffset = kPeOffset;
  image.optionalHeaderOffset = kPeOffset + 24;
  image.sectionTableOffset = image.optionalHeaderOffset + optionalSize;
  const std::uint32_t headersSize =
      AlignUp(image.sectionTableOffset + std::size_t{40} * sections, kFileAlignment);

  // xor eax, eax; ret
  const std::string code("\x31\xC0\xC3", 3);
  std::size_t blockOffset = 0;
  const std::string resources = o.versionResource ? ResourceSection(o, blockOffset) : std::string();
  const std::uint32_t textRaw = headersSize;
  const std::uint32_t textRawSize = AlignUp(code.size(), kFileAlignment);
  const std::uint32_t resourceRaw = textRaw + textRawSize;
  const std::uint32_t resourceRawSize = AlignUp(resources.size(), kFileAlignment);
  const std::uint32_t imageSize =
      AlignUp(kResourceRva + (o.versionResource ? resources.size() : 0), kSectionAlignment);

  std::string& b = image.bytes;
  b.assign(resourceRaw + (o.versionResource ? resourceRawSize : 0), '\0');
  b[0] = 'M';
  b[1] = 'Z';
  Put32(b, 0x3C, kPeOffset);

  b.replace(kPeOffset, 4, std::string("PE\0\0", 4));
  const std::size_t coff = kPeOffset + 4;
  Put16(b, coff, plus ? 0x8664 : 0x14C);  // machine
  Put16(b, coff + 2, sections);
  Put16(b, coff + 16, optionalSize);
  Put16(b, coff + 18, plus ? 0x0022 : 0x0102);  // executable, large-address aware / 32-bit

  const std::size_t opt = image.optionalHeaderOffset;
  Put16(b, opt, plus ? 0x20B : 0x10B);
  b[opt + 2] = 14;                     // linker version
  Put32(b, opt + 4, textRawSize);      // size of code
  Put32(b, opt + 8, resourceRawSize);  // size of initialised data
  Put32(b, opt + 16, kTextRva);        // entry point
  Put32(b, opt + 20, kTextRva);        // base of code
  if (plus) {
    Put64(b, opt + 24, 0x140000000ull);  // image base
  } else {
    Put32(b, opt + 24, kResourceRva);  // base of data
    Put32(b, opt + 28, 0x400000);      // image base
  }
  Put32(b, opt + 32, kSectionAlignment);
  Put32(b, opt + 36, kFileAlignment);
  Put16(b, opt + 40, 6);  // OS version 6.0
  Put16(b, opt + 48, 6);  // subsystem version 6.0
  Put32(b, opt + 56, imageSize);
  Put32(b, opt + 60, headersSize);
  Put16(b, opt + 68, 2);       // Windows GUI
  Put16(b, opt + 70, 0x8140);  // terminal-server aware, NX compatible, dynamic base
  const std::size_t step = plus ? 8 : 4;
  // stack reserve and commit, heap reserve and commit
  const std::uint64_t stack[] = {0x100000, 0x1000, 0x100000, 0x1000};
  for (std::size_t i = 0; i < 4; ++i) {
    if (plus)
      Put64(b, opt + 72 + i * step, stack[i]);
    else
      Put32(b, opt + 72 + i * step, static_cast<std::uint32_t>(stack[i]));
  }
  const std::size_t directories = plus ? 112 : 96;
  Put32(b, opt + directories - 4, 16);  // number of data directories
  if (o.versionResource) {  // the third directory: resources
    Put32(b, opt + directories + 16, kResourceRva);
    Put32(b, opt + directories + 16 + 4, static_cast<std::uint32_t>(resources.size()));
  }

  const auto section = [&b](std::size_t at, const char* name, std::uint32_t virtualSize, std::uint32_t rva,
                            std::uint32_t rawSize, std::uint32_t raw, std::uint32_t flags) {
    b.replace(at, 8, std::string(name).append(8 - std::string(name).size(), '\0'));
    Put32(b, at + 8, virtualSize);
    Put32(b, at + 12, rva);
    Put32(b, at + 16, rawSize);
    Put32(b, at + 20, raw);
    Put32(b, at + 36, flags);
  };
  section(image.sectionTableOffset, ".text", static_cast<std::uint32_t>(code.size()), kTextRva, textRawSize,
          textRaw, 0x60000020);
  b.replace(textRaw, code.size(), code);
  if (o.versionResource) {
    section(image.sectionTableOffset + 40, ".rsrc", static_cast<std::uint32_t>(resources.size()),
            kResourceRva, resourceRawSize, resourceRaw, 0x40000040);
    b.replace(resourceRaw, resources.size(), resources);
    image.resourceOffset = resourceRaw;
    image.versionBlockOffset = resourceRaw + blockOffset;
  }
  return image;
}

void WritePeFile(const std::filesystem::path& file, const PeImageOptions& options) {
  const std::string bytes = BuildPeImage(options).bytes;
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())))
    throw std::runtime_error("cannot write " + file.string());
}

}  // namespace orvane::test
