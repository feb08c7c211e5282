// The folder the CopyFiles tests of every platform copy in: a source
// program "tool.exe" and an empty folder "dest".
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "support/TestSupport.h"

namespace orvane::test {

class CopyFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFileBytes(source_, "new program");
    std::filesystem::permissions(source_, std::filesystem::perms::owner_exec,
                                 std::filesystem::perm_options::add);
    std::filesystem::create_directory(dir_ / "dest");
  }

  // Names in the destination folder, to see that no temporary file is left.
  std::set<std::string> DestNames() {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_ / "dest"))
      names.insert(e.path().filename().string());
    return names;
  }

  TempDir dir_;
  const std::filesystem::path source_ = dir_ / "tool.exe";
};

}  // namespace orvane::test
