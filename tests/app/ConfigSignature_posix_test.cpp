// The maker's side on Linux: a key pair made with the openssl command line as
// the deployment notes describe, the list written and signed by the
// publishing mode, checked by the command line and taken by the program; and
// signed lists over https from a server with a throw-away authority.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "app/ConfigFile.h"
#include "app/ConfigSignature.h"
#include "app/MainForm.h"
#include "app/RemoteSupportConfig.h"
#include "net/OvixHttpGet.h"
#include "support/FakeMainFormView.h"
#include "support/SignedListServer.h"
#include "support/TestSupport.h"
#include "system/EcdsaFixtures.h"

namespace orvane {
namespace {

using test::FakeMainFormView;
using testing::ElementsAre;
using testing::HasSubstr;
using Box = FakeMainFormView::Box;
using BoxKind = FakeMainFormView::BoxKind;

int Shell(const std::string& command) { return std::system((command + " 2>/dev/null").c_str()); }

class ConfigSigningTest : public testing::Test {
 protected:
  TMainForm& Start(std::vector<std::string> extraArgs, std::string key = "", std::string baseUrl = "") {
    TMainFormOptions options;
    options.DownloadBaseUrl = baseUrl.empty() ? "http://127.0.0.1:9" : baseUrl;
    std::vector<std::string> args = {(dir / "OrvaneSupport").string()};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    options.Arguments = std::move(args);
    options.ConfigPublicKey = std::move(key);
    view = FakeMainFormView{};
    form = std::make_unique<TMainForm>(view, std::move(options));
    form->FormCreate();
    form->Activated();
    return *form;
  }

  test::TempDir dir;
  test::ScopedCwd cwd{dir.path()};
  FakeMainFormView view;
  std::unique_ptr<TMainForm> form;
};

TEST_F(ConfigSigningTest, PublishingModeSignsWhatTheCommandLineAndTheProgramAccept) {
  ASSERT_EQ(Shell("openssl ecparam -name prime256v1 -genkey -noout -out maker-key.pem"), 0);
  ASSERT_EQ(Shell("openssl ec -in maker-key.pem -pubout -out maker-pub.pem"), 0);

  Start({"--WriteConfig", "--SignConfig=maker-key.pem"});
  EXPECT_THAT(view.MessageTexts(), ElementsAre("Config written", "Config signed: orvanesupport.json.sig"));
  EXPECT_EQ(Shell("openssl dgst -sha256 -verify maker-pub.pem -signature orvanesupport.json.sig "
                  "orvanesupport.json >/dev/null"),
            0);

  const std::string publicKey = test::ReadFileBytes(dir / "maker-pub.pem");
  Start({}, publicKey);
  EXPECT_EQ(view.options.size(), 4u);

  // A hand-edited list is signed again on its own.
  test::WriteFileBytes(dir / kConfigFileName, test::kSignedList);
  Start({}, publicKey);
  EXPECT_THAT(view.MessageTexts(), ElementsAre(kConfigNotSignedMessage));
  Start({"--signconfig=maker-key.pem"});
  EXPECT_THAT(view.MessageTexts(), ElementsAre("Config signed: orvanesupport.json.sig"));
  Start({}, publicKey);
  EXPECT_THAT(view.options, ElementsAre("alpha", "beta"));
}

TEST_F(ConfigSigningTest, SigningWithoutAUsableKeySaysWhyAndWritesNothing) {
  test::WriteFileBytes(dir / kConfigFileName, test::kSignedList);
  test::WriteFileBytes(dir / "public.pem", test::kPublicKeyPem);
  struct Case {
    const char* argument;
    const char* message;
  };
  for (const Case& c : {Case{"--SignConfig", "--SignConfig=<private key file>"},
                        Case{"--SignConfig=missing.pem", "cannot be read"},
                        Case{"--SignConfig=public.pem", "not an unencrypted PEM private key"}}) {
    SCOPED_TRACE(c.argument);
    Start({c.argument});
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].kind, BoxKind::Error);
    EXPECT_THAT(view.boxes[0].text, HasSubstr(c.message));
    EXPECT_FALSE(std::filesystem::exists(dir / "orvanesupport.json.sig"));
  }
}

TEST_F(ConfigSigningTest, SignedListComesOverHttpsFromATrustedServerOnly) {
  test::TempDir tls;
  const test::TestCertificate certificate = test::MakeTestCertificate(tls.path());
  test::SignedListServer server(certificate);
  server.Serve(test::kSignedList, test::kSignature);
  const THttpGetSettings saved = GetHttpGetSettings();
  struct Case {
    const char* name;
    std::string caFile;
    bool loads;
  };
  for (const Case& c :
       {Case{"trusted", certificate.CAFile.string(), true}, Case{"unknown authority", "", false}}) {
    SCOPED_TRACE(c.name);
    THttpGetSettings settings = saved;
    settings.CABundle = c.caFile;
    SetHttpGetSettings(settings);
    std::filesystem::remove(dir / kConfigFileName);
    Start({}, test::kPublicKeyPem, server.BaseUrl());
    if (c.loads) {
      EXPECT_THAT(view.options, ElementsAre("alpha", "beta"));
      EXPECT_EQ(test::ReadFileBytes(dir / "orvanesupport.json.sig"), test::kSignature);
    } else {
      EXPECT_THAT(view.MessageTexts(), ElementsAre(HasSubstr("not Found"), HasSubstr("Download Failed")));
      EXPECT_FALSE(std::filesystem::exists(dir / kConfigFileName));
    }
  }
  SetHttpGetSettings(saved);
}

TEST(ConfigLoadRaceTest, ListThatComesAndGoesIsNeverParsedUnchecked) {
  // A list without a signature appears and vanishes again and again while
  // the window loads: a load that looked for the file before reading it
  // would, now and then, find none and then read one the check never saw.
  test::TempDir dir;
  test::ScopedCwd cwd(dir.path());
  test::WriteFileBytes(dir / "staged.json", test::kSignedList);
  FakeMainFormView view;
  TMainFormOptions options;
  options.ConfigPublicKey = test::kPublicKeyPem;
  TMainForm form(view, std::move(options));

  std::atomic<bool> stop{false};
  std::thread flipper([&stop] {
    while (!stop) {
      (void)::link("staged.json", kConfigFileName);
      (void)::unlink(kConfigFileName);
    }
  });
  int refused = 0;
  for (int i = 0; i < 20000 && view.options.empty(); ++i) {
    form.LoadConfig();
    refused += static_cast<int>(view.boxes.size());
    view.boxes.clear();
  }
  stop = true;
  flipper.join();
  EXPECT_THAT(view.options, testing::IsEmpty());
  EXPECT_GT(refused, 0);  // the list was there for some loads, and refused
}

}  // namespace
}  // namespace orvane
