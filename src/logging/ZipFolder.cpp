#include "logging/ZipFolder.h"

#include <fmt/format.h>
#include <fmt/printf.h>
#include <zip.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "logging/LogRotation.h"
#include "logging/Logging.h"
#include "system/Utf8.h"

namespace orvane {

namespace {

namespace fs = std::filesystem;

// Length -1: the whole file, as long as it is when the archive is written
// (ZIP_LENGTH_TO_END in newer libzip).
constexpr zip_int64_t kWholeFile = -1;

// Code points of a UTF-8 text; a byte that starts no valid sequence stands for
// itself, so that any name can be matched.
std::u32string CodePoints(const std::string& text) {
  std::u32string out;
  for (std::size_t pos = 0; pos < text.size();) {
    char32_t cp = 0;
    const std::size_t length = DecodeUtf8(text, pos, cp);
    if (length == 0) {
      out.push_back(0xDC00 + static_cast<unsigned char>(text[pos]));
      ++pos;
    } else {
      out.push_back(cp);
      pos += length;
    }
  }
  return out;
}

// Wildcard match of a whole name; on a mismatch after a "*", the star takes
// one more character and the rest is tried again.
bool MatchesOne(const std::u32string& name, const std::u32string& mask) {
  std::size_t n = 0;                            // position in the name
  std::size_t m = 0;                            // position in the mask
  std::size_t starMask = std::u32string::npos;  // the last "*" seen
  std::size_t starName = 0;                     // where that star's run ends
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == U'?' || mask[m] == name[n])) {
      ++n;
      ++m;
    } else if (m < mask.size() && mask[m] == U'*') {
      starMask = m++;
      starName = n;
    } else if (starMask != std::u32string::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == U'*') ++m;
  return m == mask.size();
}

std::vector<std::string> SplitMasks(const std::string& masks) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start <= masks.size()) {
    std::size_t end = masks.find_first_of(";|", start);
    if (end == std::string::npos) end = masks.size();
    std::string mask = masks.substr(start, end - start);
    mask.erase(0, mask.find_first_not_of(' '));
    mask.erase(mask.find_last_not_of(' ') + 1);
    if (!mask.empty()) out.push_back(std::move(mask));
    start = end + 1;
  }
  return out;
}

std::string ZipErrorText(int code) {
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  std::string text = zip_error_strerror(&error);
  zip_error_fini(&error);
  return text;
}

// The files to pack, as (path, stored name).
using FileList = std::vector<std::pair<fs::path, std::string>>;

// The files whose names match, in name order.
FileList MatchingFiles(const fs::path& base, const std::string& incl, const std::string& excl, bool recurse) {
  FileList files;
  auto consider = [&](const fs::directory_entry& entry) {
    std::error_code ec;
    if (!entry.is_regular_file(ec)) return;
    const std::string name = PathToUtf8(entry.path().filename());
    if (!MatchesFileMask(name, incl) || MatchesFileMask(name, excl)) return;
    const std::u8string stored = entry.path().lexically_relative(base).generic_u8string();
    files.emplace_back(entry.path(), std::string(stored.begin(), stored.end()));
  };
  if (recurse) {
    for (const auto& entry : fs::recursive_directory_iterator(base)) consider(entry);
  } else {
    for (const auto& entry : fs::directory_iterator(base)) consider(entry);
  }
  std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
  return files;
}

}  // namespace

bool MatchesFileMask(const std::string& fileName, const std::string& masks) {
  const std::u32string name = CodePoints(FileNameCaseFold(fileName));
  for (const auto& mask : SplitMasks(masks)) {
    // As on Windows, "*.*" means every file, also one without an extension.
    if (mask == "*.*" || MatchesOne(name, CodePoints(FileNameCaseFold(mask)))) return true;
  }
  return false;
}

namespace {

// The steps both ZipFolder and ZipSingleFile take, with the files to pack
// chosen by `collect` from the base folder.
bool WriteZip(TLogging* out, const std::string& SrcDir, const std::string& ZipFileName, bool Recurse,
              const std::string& IncludeMasks, const std::string& ExcludeMasks,
              const std::function<FileList(const fs::path& base)>& collect) {
  auto debug = [out](const std::string& text) {
    if (out) out->Debug(text);
  };
  debug(fmt::sprintf("Search for existing ZIP file: %s", ZipFileName));
  const fs::path archive = Utf8ToPath(ZipFileName);
  std::error_code ec;
  if (fs::exists(fs::symlink_status(archive, ec))) {
    debug("File found! Delete it");
    // Only a file: whatever else stands there makes the write fail below.
    if (!fs::is_directory(fs::symlink_status(archive, ec))) fs::remove(archive, ec);
  }

  zip_t* za = nullptr;
  try {
    debug(Recurse ? "ZIP recursive" : "ZIP not recursive");
    debug("Force create object");
    debug(fmt::sprintf("Set SrcDir: %s", SrcDir));
    const fs::path base = SrcDir.empty() ? fs::current_path() : Utf8ToPath(SrcDir);
    debug(fmt::sprintf("Set Target Filename: %s", ZipFileName));
    // libzip writes the archive into a temporary file beside it and renames
    // that only once it is complete.
    int code = 0;
    za = zip_open(ZipFileName.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!za)
      throw std::runtime_error(fmt::format("Cannot create ZIP file {}: {}", ZipFileName, ZipErrorText(code)));
    debug(fmt::sprintf("Incl: %s | Excl: %s", IncludeMasks, ExcludeMasks));
    const FileList files = collect(base);
    if (files.empty())
      throw std::runtime_error(fmt::format("No file in {} matches {}: ZIP file {} not created", SrcDir,
                                           IncludeMasks, ZipFileName));
    debug("Create zip file");
    // The sources are read when the archive is written, after every line
    // above: a log file in the list goes in with them.
    for (const auto& [path, stored] : files) {
      zip_source_t* source = zip_source_file(za, PathToUtf8(path).c_str(), 0, kWholeFile);
      if (!source || zip_file_add(za, stored.c_str(), source, ZIP_FL_ENC_UTF_8) < 0) {
        if (source) zip_source_free(source);
        throw std::runtime_error(
            fmt::format("Cannot add {} to ZIP file {}: {}", PathToUtf8(path), ZipFileName, zip_strerror(za)));
      }
    }
    if (zip_close(za) != 0)
      throw std::runtime_error(fmt::format("Cannot write ZIP file {}: {}", ZipFileName, zip_strerror(za)));
    return true;
  } catch (const std::exception& e) {
    // zip_discard drops the temporary file: no partial archive remains.
    if (za) zip_discard(za);
    if (out) out->Error(e.what());
    return false;
  }
}

}  // namespace

bool ZipFolder(const std::string& SrcDir, const std::string& ZipFileName, std::string IncludeMasks,
               bool Recurse, std::string ExcludeMasks, TLogging* log) {
  TLogging* const out = log ? log : Logger;
  if (out)
    out->Debug(fmt::sprintf("ZipFolder: incl: %s excl: %s recurse: %d", IncludeMasks, ExcludeMasks,
                            Recurse ? 1 : 0));
  if (IncludeMasks.empty()) IncludeMasks = "*.*";
  std::replace(IncludeMasks.begin(), IncludeMasks.end(), '|', ';');
  std::replace(ExcludeMasks.begin(), ExcludeMasks.end(), '|', ';');
  return WriteZip(out, SrcDir, ZipFileName, Recurse, IncludeMasks, ExcludeMasks, [&](const fs::path& base) {
    return MatchingFiles(base, IncludeMasks, ExcludeMasks, Recurse);
  });
}

bool ZipSingleFile(const std::string& SrcDir, const std::string& ZipFileName, const std::string& FileName,
                   TLogging* log) {
  TLogging* const out = log ? log : Logger;
  if (out) out->Debug(fmt::sprintf("ZipFolder: incl: %s excl:  recurse: 0", FileName));
  return WriteZip(out, SrcDir, ZipFileName, false, FileName, "", [&](const fs::path& base) {
    FileList files;
    const fs::path name = Utf8ToPath(FileName);
    std::error_code ec;
    // A name with a folder part names no file of this folder.
    if (!name.has_parent_path() && fs::is_regular_file(base / name, ec))
      files.emplace_back(base / name, FileName);
    return files;
  });
}

}  // namespace orvane
