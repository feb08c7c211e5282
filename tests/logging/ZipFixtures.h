// Reads zip archives back for the logging tests, with libzip.
#pragma once

#include <zip.h>

#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>

#include "LogFileFixtures.h"

namespace orvane::test {

// Stored name -> content of every entry; throws when the archive does not
// open or an entry does not read back whole (its CRC is checked on reading).
inline std::map<std::string, std::string> ZipEntries(const std::filesystem::path& archive) {
  int code = 0;
  zip_t* za = zip_open(PathText(archive).c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
  if (!za)
    throw std::runtime_error("cannot open " + PathText(archive) + ": libzip error " + std::to_string(code));
  std::map<std::string, std::string> entries;
  const zip_int64_t count = zip_get_num_entries(za, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t st;
    zip_file_t* f = nullptr;
    if (zip_stat_index(za, static_cast<zip_uint64_t>(i), 0, &st) != 0 ||
        !(f = zip_fopen_index(za, static_cast<zip_uint64_t>(i), 0))) {
      zip_discard(za);
      throw std::runtime_error("cannot read entry " + std::to_string(i) + " of " + PathText(archive));
    }
    std::string content(static_cast<std::size_t>(st.size), '\0');
    const zip_int64_t n = content.empty() ? 0 : zip_fread(f, content.data(), content.size());
    char extra;
    const zip_int64_t more = zip_fread(f, &extra, 1);
    zip_fclose(f);
    if (n != static_cast<zip_int64_t>(content.size()) || more != 0) {
      zip_discard(za);
      throw std::runtime_error(std::string("entry ") + st.name + " does not read back whole");
    }
    entries[st.name] = content;
  }
  zip_discard(za);
  return entries;
}

}  // namespace orvane::test
