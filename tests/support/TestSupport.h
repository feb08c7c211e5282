// Small fixtures shared by every test program.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace orvane::test {

// A fresh folder under the temporary folder, removed with everything in it
// when the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Changes the working directory for the life of the object.
class ScopedCwd {
 public:
  explicit ScopedCwd(const std::filesystem::path& dir);
  ~ScopedCwd();
  ScopedCwd(const ScopedCwd&) = delete;
  ScopedCwd& operator=(const ScopedCwd&) = delete;

 private:
  std::filesystem::path previous_;
};

// Sets (or, with nullopt, unsets) an environment variable for the life of
// the object and restores the previous value afterwards.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, const std::optional<std::string>& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

// Platform part (TestSupport_posix.cpp / TestSupport_win.cpp): sets the
// variable, or removes it for nullopt, in the process environment.
void SetEnvironmentValue(const std::string& name, const std::optional<std::string>& value);

// The given local date and time (daylight saving as the zone has it then).
std::chrono::system_clock::time_point LocalTime(int year, int month, int day, int h, int m, int s);

// 9 MiB + 5 bytes of varied content: several 1 MiB read blocks, the last one
// partial.
std::string MultiBlockContent();

std::string ReadFileBytes(const std::filesystem::path& file);
void WriteFileBytes(const std::filesystem::path& file, const std::string& bytes);

// Folder for files a person may want to look at after a run (screenshots):
// <build>/artifacts, created on demand.
std::filesystem::path ArtifactDir();

}  // namespace orvane::test
