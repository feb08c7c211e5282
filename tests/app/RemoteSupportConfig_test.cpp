#include "app/RemoteSupportConfig.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "OrvaneBuildConfig.h"
#include "support/TestSupport.h"

namespace orvane {
namespace {

using test::ScopedCwd;
using test::TempDir;

TRemoteSupportItem Item(const std::string& name, const std::string& url) {
  return TRemoteSupportItem(name, name + ".exe", url, "sha", "");
}

TEST(TRemoteSupportConfig, NameLookupsReturnTheLastExactMatch) {
  const TRemoteSupportConfig config(
      std::vector<TRemoteSupportItem>{Item("teamviewer", "http://a/1"), Item("remotely_x86", "http://a/2"),
                                      Item("teamviewer", "http://a/3")},
      7);
  EXPECT_EQ(config.NumberOfLinks(), 3);
  EXPECT_EQ(config.DefaultItemIndex(), 7);  // not checked against the list
  EXPECT_EQ(config.GetElementIndexByName("teamviewer"), 2);
  ASSERT_NE(config.GetElementByName("teamviewer"), nullptr);
  EXPECT_EQ(config.GetElementByName("teamviewer")->url(), "http://a/3");
  EXPECT_EQ(config.GetElementIndexByName("remotely_x86"), 1);

  for (const char* absent : {"TeamViewer", "teamviewer ", "", "remotely"}) {
    EXPECT_EQ(config.GetElementByName(absent), nullptr) << absent;
    EXPECT_EQ(config.GetElementIndexByName(absent), -1) << absent;
  }
  EXPECT_EQ(config.GetElementByIndex(1).ItemName(), "remotely_x86");
  EXPECT_THROW(config.GetElementByIndex(-1), std::out_of_range);
  EXPECT_THROW(config.GetElementByIndex(3), std::out_of_range);
}

TEST(TRemoteSupportConfig, EmptyAndMissingListsFindNothing) {
  const TRemoteSupportConfig empty("ignored.json");
  const TRemoteSupportConfig withoutList(std::nullopt, 0);
  EXPECT_TRUE(empty.HasOptionList());
  EXPECT_FALSE(withoutList.HasOptionList());
  for (const TRemoteSupportConfig* config : {&empty, &withoutList}) {
    EXPECT_EQ(config->NumberOfLinks(), 0);
    EXPECT_EQ(config->DefaultItemIndex(), 0);
    EXPECT_EQ(config->GetElementByName("teamviewer"), nullptr);
    EXPECT_EQ(config->GetElementIndexByName("teamviewer"), -1);
    EXPECT_THROW(config->GetElementByIndex(0), std::out_of_range);
  }
}

TEST(TRemoteSupportConfig, DummyConfigInAnEmptyFolderHasPlaceholders) {
  const TempDir dir;
  const ScopedCwd cwd(dir.path());
  TRemoteSupportConfig config;
  config.CreateDummyConfig();

  const std::string base = ORVANE_DOWNLOAD_BASE_URL;
  const TRemoteSupportItem expected[] = {
      {"teamviewer", "TeamViewerQS.exe", base + "/TeamViewerQS.exe", "sha", ""},
      {"remotely_x86", "Remotely_Desktop-[a735]_x86.exe", base + "/Remotely_Desktop-[a735]_x86.exe", "sha",
       ""},
      {"remotely_x64", "Remotely_Desktop-[a735]_x64.exe", base + "/Remotely_Desktop-[a735]_x64.exe", "sha",
       ""},
      {"remotely_install", "Remotely_Install-[a735].exe", base + "/Remotely_Install-[a735].exe", "sha",
       "-install -quiet -organizationid \"4c1e9b07-72fd-4e58-b0a3-19d6f2e8a4c5\" -serverurl \"" +
           std::string(ORVANE_REMOTELY_SERVER_URL) + "\""},
  };
  ASSERT_EQ(config.NumberOfLinks(), 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(config.GetElementByIndex(i), expected[i]) << i;
  EXPECT_EQ(config.DefaultItemIndex(), 1);
}

TEST(TRemoteSupportConfig, DummyConfigHashesFilesOfTheWorkingDirectory) {
  const TempDir dir;
  const ScopedCwd cwd(dir.path());
  test::WriteFileBytes(dir / "Remotely_Desktop-[a735]_x64.exe", "abc");
  std::filesystem::create_directory(dir / "TeamViewerQS.exe");  // a folder is no file

  TRemoteSupportConfig config;
  config.CreateDummyConfig();
  EXPECT_EQ(config.GetElementByName("remotely_x64")->sha256(),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  for (const char* name : {"teamviewer", "remotely_x86", "remotely_install"})
    EXPECT_EQ(config.GetElementByName(name)->sha256(), "sha") << name;
}

}  // namespace
}  // namespace orvane
