// The assistant window's logic against a scripted view, a real download
// server on 127.0.0.1 and real files in a scratch working directory.
#include "app/MainForm.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "app/ConfigFile.h"
#include "app/RemoteSupportConfig.h"
#include "support/ConfigServer.h"
#include "support/FakeMainFormView.h"
#include "support/TestSupport.h"

namespace orvane {
namespace {

using test::ConfigServer;
using test::ConfigText;
using test::FakeMainFormView;
using test::kFour;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::StartsWith;
using Box = FakeMainFormView::Box;
using BoxKind = FakeMainFormView::BoxKind;

constexpr char kNotFound[] = "Configuration File not Found, Press OK to start download";
constexpr char kConfirm[] =
    "Is the PC connected to the internet and if needed the Proxy Server configured?\r\n"
    "Press OK to continue, Cancel to abort";

class MainFormTest : public testing::Test {
 protected:
  // argument 0 lives in the scratch folder, so no stray "args.txt" is read.
  TMainForm& Start(std::vector<std::string> extraArgs = {}) {
    Create(std::move(extraArgs));
    form->Activated();
    return *form;
  }
  // The window made, not yet activated.
  TMainForm& Create(std::vector<std::string> extraArgs = {}) {
    TMainFormOptions options;
    options.DownloadBaseUrl = server.BaseUrl();
    std::vector<std::string> args = {(dir / "OrvaneSupport").string()};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    options.Arguments = std::move(args);
    form = std::make_unique<TMainForm>(view, std::move(options));
    form->FormCreate();
    return *form;
  }
  std::string ConfigOnDisk() const { return test::ReadFileBytes(dir / kConfigFileName); }
  void PutConfig(const std::string& text) const { test::WriteFileBytes(dir / kConfigFileName, text); }

  test::TempDir dir;
  test::ScopedCwd cwd{dir.path()};
  ConfigServer server;
  FakeMainFormView view;
  std::unique_ptr<TMainForm> form;
};

TEST_F(MainFormTest, StartWithoutConfigDownloadsItAndSelectsTheDefault) {
  server.Serve(ConfigText(kFour, 1));
  Start();

  EXPECT_THAT(view.boxes, ElementsAre(Box{BoxKind::Message, kNotFound}));
  EXPECT_EQ(ConfigOnDisk(), ConfigText(kFour, 1));
  EXPECT_EQ(view.options, kFour);
  EXPECT_EQ(view.selected, 1);
  EXPECT_EQ(view.optionText, "remotely_x86");
  ASSERT_NE(form->Config(), nullptr);
  EXPECT_EQ(form->Config()->NumberOfLinks(), 4);
  // Title: caption, a blank, then the version text with its own blank.
  EXPECT_THAT(view.title, StartsWith("Orvane Remote Support  V"));
  EXPECT_THAT(view.title, HasSubstr(" build "));
  EXPECT_THAT(view.heights, ElementsAre(190));
  EXPECT_TRUE(view.inputEnabled);
  // The download reported its progress in the status bar and on the
  // progress bar, which ended full and went away; the status bar then says
  // what came of it rather than keeping the last progress text.
  EXPECT_THAT(view.statusHistory, testing::Contains(StartsWith("Downloading orvanesupport.json: ")));
  ASSERT_FALSE(view.progress.empty());
  EXPECT_EQ(view.progress.back(), 1.0);
  EXPECT_FALSE(view.cancelVisible);
  EXPECT_EQ(view.status, "Option list loaded: 4 options");
}

TEST_F(MainFormTest, StartWithPresentConfigLoadsWithoutAsking) {
  PutConfig(ConfigText(kFour, 0));
  Start();
  EXPECT_THAT(view.boxes, IsEmpty());
  EXPECT_EQ(server.Requests(), 0);
  EXPECT_EQ(view.optionText, "teamviewer");
}

TEST_F(MainFormTest, DefaultIndexSelectsThatEntryOrNothing) {
  struct Case {
    int defaultIndex;
    int selected;
    std::string text;
  };
  for (const Case& c : {Case{1, 1, "remotely_x86"}, Case{3, 3, "remotely_install"}, Case{4, -1, ""},
                        Case{9, -1, ""}, Case{-1, -1, ""}}) {
    SCOPED_TRACE(c.defaultIndex);
    PutConfig(ConfigText(kFour, c.defaultIndex));
    view = FakeMainFormView{};
    Start();
    EXPECT_EQ(view.options.size(), 4u);
    EXPECT_EQ(view.selected, c.selected);
    EXPECT_EQ(view.optionText, c.text);
  }
}

TEST_F(MainFormTest, WriteConfigWritesTheBuiltInListAndLoadsNothing) {
  PutConfig("old");
  Start({"--WriteConfig"});

  TRemoteSupportConfig builtIn;
  builtIn.CreateDummyConfig();
  EXPECT_EQ(ConfigOnDisk(), ConfigToJsonText(builtIn) + "\r\n");
  EXPECT_THAT(view.boxes, ElementsAre(Box{BoxKind::Message, "Config written"}));
  EXPECT_THAT(view.options, IsEmpty());
  EXPECT_EQ(view.optionText, "cbVersion");
  EXPECT_EQ(form->Config(), nullptr);
  EXPECT_THAT(view.title, StartsWith("Orvane Remote Support  V"));
  EXPECT_EQ(server.Requests(), 0);
}

TEST_F(MainFormTest, WriteConfigThatCannotWriteShowsTheErrorOnly) {
  std::filesystem::create_directory(dir / kConfigFileName);
  Start({"--writeconfig"});
  ASSERT_EQ(view.boxes.size(), 1u);
  EXPECT_EQ(view.boxes[0].kind, BoxKind::Error);
  EXPECT_EQ(view.title, "Orvane Support");
}

TEST_F(MainFormTest, OtherArgumentsLoadNothing) {
  PutConfig(ConfigText(kFour, 1));
  Start({"--Logging=1"});
  EXPECT_THAT(view.boxes, IsEmpty());
  EXPECT_THAT(view.options, IsEmpty());
  EXPECT_EQ(view.optionText, "cbVersion");
  EXPECT_EQ(form->Config(), nullptr);
  EXPECT_THAT(view.title, StartsWith("Orvane Remote Support  V"));
}

// The language switch alone changes how the window reads, not what it does;
// with another argument beside it nothing is loaded, as before.
TEST_F(MainFormTest, LanguageSwitchAloneStartsAsWithoutArguments) {
  PutConfig(ConfigText(kFour, 1));
  Start({"--Language=de"});
  EXPECT_THAT(view.boxes, IsEmpty());
  EXPECT_EQ(view.optionText, "remotely_x86");
  ASSERT_NE(form->Config(), nullptr);

  Start({"--language=en", "--Logging=1"});
  EXPECT_EQ(form->Config(), nullptr);
}

TEST_F(MainFormTest, UnparsableConfigShowsTheErrorAndKeepsTheEntries) {
  // At start-up: the error ends the sequence before the title is set.
  PutConfig("[1,2]");
  Start();
  EXPECT_THAT(view.boxes, ElementsAre(Box{BoxKind::Error, kNotAnObjectMessage}));
  EXPECT_EQ(view.title, "Orvane Support");
  EXPECT_EQ(form->Config(), nullptr);
  EXPECT_TRUE(view.inputEnabled);

  // From the button: a list that cannot be read never replaces the one
  // loaded, whose entries and text stay.
  server.Serve(ConfigText(kFour, 2));
  view.boxes.clear();
  form->Click(TControlId::btnDownload);
  ASSERT_EQ(view.options, kFour);
  server.Serve("{\"downloadLinks\":");
  view.boxes.clear();
  form->Click(TControlId::btnDownload);
  EXPECT_THAT(view.boxes, ElementsAre(Box{BoxKind::Confirm, kConfirm},
                                      Box{BoxKind::Message,
                                          std::string(kNotAnOptionListMessage) + "\r\n" + kListKeptMessage}));
  EXPECT_EQ(view.options, kFour);
  EXPECT_EQ(view.optionText, "remotely_x64");
  ASSERT_NE(form->Config(), nullptr);
  EXPECT_EQ(form->Config()->NumberOfLinks(), 4);
}

TEST_F(MainFormTest, ConfigWithoutOptionsSaysSoAndEmptiesTheBox) {
  for (const char* text :
       {"", " \r\n", "null", "{}", ("{\"downloadLinks\":{\"listHelper\":[]},\"defaultItemIndex\":0}")}) {
    SCOPED_TRACE(text);
    PutConfig(text);
    view = FakeMainFormView{};
    Start();
    EXPECT_THAT(view.boxes, ElementsAre(Box{BoxKind::Message, kNoOptionsMessage}));
    EXPECT_THAT(view.options, IsEmpty());
    EXPECT_EQ(view.optionText, "");
  }
}

TEST_F(MainFormTest, FailedDownloadAtStartLeavesAnEmptyBox) {
  server.Serve("", 404);
  Start();
  ASSERT_EQ(view.boxes.size(), 2u);
  EXPECT_EQ(view.boxes[0].text, kNotFound);
  EXPECT_THAT(view.boxes[1].text, StartsWith("Download Failed with Status Code: "));
  EXPECT_FALSE(std::filesystem::exists(dir / kConfigFileName));
  // The user has been told why; the empty list needs no second message.
  EXPECT_THAT(view.options, IsEmpty());
  EXPECT_EQ(view.optionText, "cbVersion");
  ASSERT_NE(form->Config(), nullptr);
  EXPECT_EQ(form->Config()->NumberOfLinks(), 0);
  EXPECT_EQ(view.status, "Download failed");
  EXPECT_FALSE(view.cancelVisible);
}

TEST_F(MainFormTest, RedownloadWithOkReplacesAndReloads) {
  PutConfig(ConfigText(kFour, 1));
  Start();
  const std::vector<std::string> two = {"remotely_x64", "teamviewer"};
  server.Serve(ConfigText(two, 0));

  form->Click(TControlId::btnDownload);
  EXPECT_THAT(view.boxes, ElementsAre(Box{BoxKind::Confirm, kConfirm}));
  EXPECT_EQ(ConfigOnDisk(), ConfigText(two, 0));
  EXPECT_EQ(view.options, two);
  EXPECT_EQ(view.optionText, "remotely_x64");
  EXPECT_THAT(view.statusHistory, testing::IsSupersetOf({"Force Download Configuration File", "Reload Config",
                                                         "Configuration reloaded"}));
  EXPECT_EQ(view.status, "Configuration reloaded");
}

TEST_F(MainFormTest, RedownloadWithCancelTouchesNothing) {
  PutConfig(ConfigText(kFour, 1));
  Start();
  server.Serve(ConfigText({"other"}, 0));
  view.confirmAnswers = {false};
  view.optionText = "typed";

  form->Click(TControlId::btnDownload);
  EXPECT_EQ(server.Requests(), 0);
  EXPECT_EQ(ConfigOnDisk(), ConfigText(kFour, 1));
  EXPECT_EQ(view.options, kFour);
  EXPECT_EQ(view.optionText, "typed");
  EXPECT_EQ(view.status, "Download aborted");
}

TEST_F(MainFormTest, FailedForcedDownloadKeepsThePreviousList) {
  PutConfig(ConfigText(kFour, 1));
  Start();
  server.Serve("", 500);

  form->Click(TControlId::btnDownload);
  ASSERT_EQ(view.boxes.size(), 2u);
  EXPECT_THAT(view.boxes[1].text, StartsWith("Download Failed with Status Code: "));
  EXPECT_EQ(ConfigOnDisk(), ConfigText(kFour, 1));
  EXPECT_EQ(view.options, kFour);
  EXPECT_EQ(view.optionText, "remotely_x86");
  EXPECT_EQ(view.status, "Download failed, the list was not changed");
  EXPECT_THAT(view.statusHistory, testing::Not(testing::Contains("Configuration reloaded")));
}

TEST_F(MainFormTest, WhatIsNoOptionListNeverReplacesTheList) {
  // A sign-in page or a proxy's answer with status 200, and JSON that holds
  // no option list.
  const std::string refused = std::string(kNotAnOptionListMessage) + "\r\n" + kListKeptMessage;
  for (const char* body : {"<!DOCTYPE html>\n<html><body>Please sign in</body></html>",
                           "{\"error\":\"authentication required\"}", ""}) {
    SCOPED_TRACE(body);
    PutConfig(ConfigText(kFour, 1));
    view = FakeMainFormView{};
    Start();
    server.Serve(body);
    form->Click(TControlId::btnDownload);
    EXPECT_THAT(view.boxes, ElementsAre(Box{BoxKind::Confirm, kConfirm}, Box{BoxKind::Message, refused}));
    EXPECT_EQ(ConfigOnDisk(), ConfigText(kFour, 1));
    EXPECT_EQ(view.options, kFour);
    EXPECT_EQ(view.status, "Download failed, the list was not changed");
  }
  // The first download saves no such file either.
  std::filesystem::remove(dir / kConfigFileName);
  view = FakeMainFormView{};
  Start();
  EXPECT_THAT(view.boxes,
              ElementsAre(Box{BoxKind::Message, kNotFound}, Box{BoxKind::Message, kNotAnOptionListMessage}));
  EXPECT_FALSE(std::filesystem::exists(dir / kConfigFileName));
  EXPECT_THAT(view.options, IsEmpty());
}

TEST_F(MainFormTest, CancelledRedownloadKeepsTheListAndSaysSo) {
  PutConfig(ConfigText(kFour, 1));
  Start();
  server.Serve(ConfigText({"other"}, 0));
  bool cancelShown = false;
  view.onPump = [&] {
    if (!view.cancelVisible) return;
    cancelShown = true;
    form->CancelDownload();
  };
  form->Click(TControlId::btnDownload);
  view.onPump = nullptr;

  EXPECT_TRUE(cancelShown);
  EXPECT_FALSE(view.cancelVisible);
  EXPECT_FALSE(form->IsDownloading());
  EXPECT_THAT(view.boxes, ElementsAre(Box{BoxKind::Confirm, kConfirm}));
  EXPECT_EQ(ConfigOnDisk(), ConfigText(kFour, 1));
  EXPECT_EQ(view.options, kFour);
  EXPECT_EQ(view.status, "Download cancelled");
}

TEST_F(MainFormTest, HintsFollowThePointer) {
  const std::pair<TControlId, const char*> hints[] = {
      {TControlId::btnShutdown, "Download and Execute selected Option"},
      {TControlId::btnDownload, "Re-Download and Reload Configuration File"},
      {TControlId::btnInstallShortcut, "Create ShortCut To this Assistant on Desktop"},
      {TControlId::cbVersion, "Select preferred Remote Support Option"},
      {TControlId::cbUseProxy, "Configure an optional Proxy Server if needed"},
      {TControlId::cbAutoClose, "Automatically Close This Program when finished"},
      {TControlId::cbProxyAutoConfig, "Automatically configure Proxy Server with WPAD File"},
      {TControlId::edtProxyIP, "Set IP Adress and Port of Proxy Server"},
  };
  TMainForm window(view);
  for (const auto& [control, hint] : hints) {
    window.ShowStatus("a workflow's message", 0);
    window.ControlMouseEnter(control);
    EXPECT_EQ(view.status, hint);
    window.ControlMouseLeave(control);
    EXPECT_EQ(view.status, "");
  }
}

TEST_F(MainFormTest, ProxyBoxesSwitchGroupHeightAndEntry) {
  TMainForm window(view);
  view.checked[TControlId::cbUseProxy] = true;
  window.Click(TControlId::cbUseProxy);
  EXPECT_TRUE(view.groupVisible);
  view.checked[TControlId::cbUseProxy] = false;
  window.Click(TControlId::cbUseProxy);
  EXPECT_FALSE(view.groupVisible);
  EXPECT_THAT(view.heights, ElementsAre(320, 190));

  view.proxyText = "user:pw@10.0.0.1:3128";
  view.checked[TControlId::cbProxyAutoConfig] = true;
  window.Click(TControlId::cbProxyAutoConfig);
  EXPECT_EQ(view.proxyText, "");
  EXPECT_FALSE(view.proxyEnabled);
  view.checked[TControlId::cbProxyAutoConfig] = false;
  window.Click(TControlId::cbProxyAutoConfig);
  EXPECT_EQ(view.proxyText, "");
  EXPECT_TRUE(view.proxyEnabled);
}

TEST_F(MainFormTest, ClicksDuringAHandlerAreNotRunInsideIt) {
  PutConfig(ConfigText(kFour, 1));
  Start();
  server.Serve(ConfigText(kFour, 2));
  view.boxes.clear();

  // A second press of each button while the first press pumps events.
  std::vector<bool> enabledWhilePumping;
  view.onPump = [&] {
    enabledWhilePumping.push_back(view.inputEnabled);
    form->Click(TControlId::btnDownload);
    form->Click(TControlId::btnShutdown);
    form->Activated();
  };
  form->Click(TControlId::btnDownload);
  view.onPump = nullptr;

  EXPECT_THAT(view.boxes, ElementsAre(Box{BoxKind::Confirm, kConfirm}));
  EXPECT_EQ(server.Requests(), 1);
  ASSERT_FALSE(enabledWhilePumping.empty());
  EXPECT_THAT(enabledWhilePumping, testing::Each(false));
  EXPECT_TRUE(view.inputEnabled);
  EXPECT_FALSE(form->IsBusy());
  EXPECT_EQ(view.optionText, "remotely_x64");
}

TEST_F(MainFormTest, FirstActivationDuringAHandlerRunsTheStartUpWhenItEnds) {
  PutConfig(ConfigText(kFour, 1));
  Create();
  // A press handled before the window's first activation was; the
  // activation arrives while the press's confirmation box is open.
  view.confirmAnswers = {false};
  std::size_t optionsDuringPress = 99;
  view.onBox = [&](const Box&) { optionsDuringPress = view.options.size(); };
  view.onPump = [&] { form->Activated(); };
  form->Click(TControlId::btnDownload);
  view.onPump = nullptr;
  view.onBox = nullptr;

  EXPECT_EQ(optionsDuringPress, 0u);  // not run inside the press
  EXPECT_EQ(view.options, kFour);
  EXPECT_EQ(view.optionText, "remotely_x86");
  EXPECT_THAT(view.title, StartsWith("Orvane Remote Support  V"));
  EXPECT_TRUE(view.inputEnabled);
  EXPECT_FALSE(form->IsBusy());

  // Done once: a later activation loads nothing again.
  PutConfig(ConfigText(kFour, 3));
  form->Activated();
  EXPECT_EQ(view.optionText, "remotely_x86");
}

TEST(ProgressTextTest, OptionListLoadedCountsOneOrMore) {
  EXPECT_EQ(OptionListLoadedText(1), "Option list loaded: 1 option");
  EXPECT_EQ(OptionListLoadedText(4), "Option list loaded: 4 options");
}

TEST(ProgressTextTest, ShowsReceivedAndTotalInOneUnit) {
  EXPECT_EQ(ProgressText("a.exe", 12'900'000, 47'800'000), "Downloading a.exe: 12.3 of 45.6 MB");
  EXPECT_EQ(ProgressText("a.exe", 12'900'000, std::nullopt), "Downloading a.exe: 12.3 MB");
  EXPECT_EQ(ProgressText("a.json", 512, 1536), "Downloading a.json: 0.5 of 1.5 kB");
  EXPECT_EQ(ProgressText("a.json", 0, std::nullopt), "Downloading a.json: 0.0 kB");
}

}  // namespace
}  // namespace orvane
