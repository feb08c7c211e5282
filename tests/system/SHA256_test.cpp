#include "system/SHA256.h"

#include <gtest/gtest.h>

#include <string>

#include "support/TestSupport.h"

namespace orvane {
namespace {

using test::MultiBlockContent;
using test::TempDir;
using test::WriteFileBytes;

TEST(GetFileSHA256, KnownDigestsInLowerCaseHex) {
  const TempDir dir;
  const struct {
    const char* name;
    std::string content;
    const char* digest;
  } cases[] = {
      {"empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"multiblock", MultiBlockContent(), "ac2c67512651c763d897d2d85761ab4d8c584d00dccd4a302793169dadc8d047"},
  };
  for (const auto& c : cases) {
    WriteFileBytes(dir / c.name, c.content);
    EXPECT_EQ(GetFileSHA256((dir / c.name).string()), c.digest) << c.name;
  }
}

}  // namespace
}  // namespace orvane
