// Reads zip archives back for the logging tests, with libzip.
#pragma once

#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "LogFileFixtures.h"
#include "ManualLogTimer.h"

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

// A log configured as `<base>.log`, so named `<base>_Tool.log`, grows past
// its threshold beside files named `bystanders` and is rotated with
// compression: the archive must hold exactly the log file, whatever its name
// would match as a mask, and every bystander must stay as it was.
inline void ExpectRotationArchivesOnlyTheLog(const std::string& base,
                                             const std::vector<std::string>& bystanders) {
  SCOPED_TRACE(base);
  TempDir dir;
  TManualLogTimerFactory timers;
  TLogSettings s = FileSettings(dir.path());
  s.DebugLogFile = PathText(dir.path() / TextPath(base + ".log"));
  s.EnableLogRotation = true;
  s.CompressOldFiles = true;
  s.LogFileMaxSizeInMB = 1;
  s.TimerFactory = timers.Factory();
  TLogging log(nullptr, "", s);
  log.Error("first");
  const std::string name = base + "_Tool.log";
  const std::filesystem::path file = dir.path() / TextPath(name);
  WriteFileBytes(file, ReadFileBytes(file) + std::string(1048576, 'x') + "\r\n");
  const std::string before = ReadFileBytes(file);
  std::set<std::string> expected = {base + "_Tool_001.zip"};
  for (const std::string& other : bystanders) {
    WriteFileBytes(dir.path() / TextPath(other), "bystander " + other);
    expected.insert(other);
  }

  timers.Timers().at(0)->Tick();
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    names.insert(PathText(entry.path().filename()));
  EXPECT_EQ(names, expected);
  for (const std::string& other : bystanders)
    EXPECT_EQ(ReadFileBytes(dir.path() / TextPath(other)), "bystander " + other);
  const auto archive = dir.path() / TextPath(base + "_Tool_001.zip");
  if (!std::filesystem::exists(archive)) return;
  const auto entries = ZipEntries(archive);
  ASSERT_EQ(entries.size(), 1u);
  ASSERT_EQ(entries.begin()->first, name);
  EXPECT_EQ(entries.begin()->second.substr(0, before.size()), before);
}

}  // namespace orvane::test
