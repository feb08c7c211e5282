// Signed option lists in the window's logic: a real download server on
// 127.0.0.1, real files in a scratch working directory, and a fixed key pair
// and signatures made with the openssl command line (so the same tests run
// in the Windows program, where CNG checks them).
#include "app/ConfigSignature.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "app/ConfigFile.h"
#include "app/MainForm.h"
#include "app/RemoteSupportConfig.h"
#include "support/FakeMainFormView.h"
#include "support/RecordingLogControl.h"
#include "support/SignedListServer.h"
#include "support/TestSupport.h"
#include "system/EcdsaFixtures.h"
#include "system/EcdsaSignature.h"

namespace orvane {
namespace {

using test::FakeMainFormView;
using test::kPublicKeyPem;
using test::kSignature;
using test::kSignatureLongR;
using test::kSignedList;
using testing::Contains;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using Box = FakeMainFormView::Box;
using BoxKind = FakeMainFormView::BoxKind;

constexpr char kNotFound[] = "Configuration File not Found, Press OK to start download";
constexpr char kSignatureFile[] = "orvanesupport.json.sig";

std::string Flipped(std::string bytes, std::size_t at) {
  bytes[at] = static_cast<char>(bytes[at] ^ 0x01);
  return bytes;
}

// The list with another default entry, signed by nobody.
const std::string kOtherList = [] {
  std::string list = kSignedList;
  list[list.find("\"defaultItemIndex\":1") + 19] = '0';
  return list;
}();

class ConfigSignatureTest : public testing::Test {
 protected:
  TMainForm& Start(std::string key = kPublicKeyPem) {
    TMainFormOptions options;
    options.DownloadBaseUrl = server.BaseUrl();
    options.Arguments = std::vector<std::string>{(dir / "OrvaneSupport").string()};
    options.ConfigPublicKey = std::move(key);
    form = std::make_unique<TMainForm>(view, std::move(options));
    form->FormCreate();
    form->Activated();
    return *form;
  }
  void PutFiles(const std::string& list, const std::optional<std::string>& signature) const {
    test::WriteFileBytes(dir / kConfigFileName, list);
    if (signature) test::WriteFileBytes(dir / kSignatureFile, *signature);
  }
  // The files in the working folder, by name.
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  test::TempDir dir;
  test::ScopedCwd cwd{dir.path()};
  test::SignedListServer server;
  FakeMainFormView view;
  std::unique_ptr<TMainForm> form;
};

TEST_F(ConfigSignatureTest, SignedListIsDownloadedWithItsSignatureAndLoaded) {
  server.Serve(kSignedList, kSignature);
  Start();
  EXPECT_THAT(view.boxes, ElementsAre(Box{BoxKind::Message, kNotFound}));
  EXPECT_THAT(view.options, ElementsAre("alpha", "beta"));
  EXPECT_EQ(view.optionText, "beta");
  EXPECT_THAT(Files(), ElementsAre(kConfigFileName, kSignatureFile));
  EXPECT_EQ(test::ReadFileBytes(dir / kSignatureFile), kSignature);
  EXPECT_THAT(server.Targets(), ElementsAre("/orvanesupport.json.sig", "/orvanesupport.json"));
}

TEST_F(ConfigSignatureTest, ListWithoutItsMakersSignatureIsNotTakenAtStart) {
  struct Case {
    const char* name;
    std::string list;
    std::optional<std::string> signature;
    const char* logged;
  };
  const Case cases[] = {
      {"one byte of the list changed", Flipped(kSignedList, 40), kSignature, kSignatureMismatch},
      {"one byte of the signature changed", kSignedList, Flipped(kSignature, 12), kSignatureMismatch},
      {"signature of another list", kOtherList, kSignature, kSignatureMismatch},
      {"the server has only the list", kSignedList, std::nullopt, "no signature file"},
      {"signature file is no signature", kSignedList, "not a signature", kBadSignatureEncoding},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::ScopedRecordingLogger log{TLogSettings{}};
    server.Serve(c.list, c.signature);
    view = FakeMainFormView{};
    Start();
    EXPECT_THAT(view.boxes, ElementsAre(Box{BoxKind::Message, kNotFound},
                                        Box{BoxKind::Message, kConfigNotSignedMessage}));
    EXPECT_THAT(Files(), IsEmpty());
    EXPECT_THAT(view.options, IsEmpty());
    EXPECT_THAT(log.control->lines,
                Contains(HasSubstr(std::string("Option list (download) refused: ") + c.logged)));
    ASSERT_NE(form->Config(), nullptr);
    EXPECT_EQ(form->Config()->NumberOfLinks(), 0);
  }
}

TEST_F(ConfigSignatureTest, RefusedRedownloadKeepsTheOldListAndSignature) {
  PutFiles(kSignedList, kSignatureLongR);
  server.Serve(Flipped(kSignedList, 40), Flipped(kSignature, 12));
  Start();
  form->Click(TControlId::btnDownload);

  EXPECT_THAT(view.MessageTexts(), ElementsAre(HasSubstr("Is the PC connected"), kConfigNotSignedMessage));
  EXPECT_EQ(test::ReadFileBytes(dir / kConfigFileName), kSignedList);
  EXPECT_EQ(test::ReadFileBytes(dir / kSignatureFile), kSignatureLongR);
  EXPECT_THAT(Files(), ElementsAre(kConfigFileName, kSignatureFile));
  EXPECT_THAT(view.options, ElementsAre("alpha", "beta"));
  EXPECT_EQ(view.status, "Download failed, the list was not changed");

  // A failed download (no server answer for either file) keeps them too.
  server.Serve(std::nullopt, std::nullopt);
  view.boxes.clear();
  form->Click(TControlId::btnDownload);
  EXPECT_THAT(view.MessageTexts(),
              ElementsAre(HasSubstr("Is the PC connected"), HasSubstr("Download Failed")));
  EXPECT_EQ(test::ReadFileBytes(dir / kSignatureFile), kSignatureLongR);
  EXPECT_THAT(view.options, ElementsAre("alpha", "beta"));
}

TEST_F(ConfigSignatureTest, EveryLoadChecksTheFileOnDisk) {
  struct Case {
    const char* name;
    std::string list;
    std::optional<std::string> signature;
    const char* logged;  // null: the list loads
  };
  const Case cases[] = {
      {"signed", kSignedList, kSignatureLongR, nullptr},
      {"list changed on disk", Flipped(kSignedList, 40), kSignature, kSignatureMismatch},
      {"signature changed on disk", kSignedList, Flipped(kSignature, 40), kSignatureMismatch},
      {"no signature file", kSignedList, std::nullopt, "no signature file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::ScopedRecordingLogger log{TLogSettings{}};
    std::filesystem::remove(dir / kSignatureFile);
    PutFiles(c.list, c.signature);
    view = FakeMainFormView{};
    Start();
    if (!c.logged) {
      EXPECT_THAT(view.boxes, IsEmpty());
      EXPECT_THAT(view.options, ElementsAre("alpha", "beta"));
    } else {
      EXPECT_THAT(view.boxes, ElementsAre(Box{BoxKind::Message, kConfigNotSignedMessage}));
      EXPECT_THAT(view.options, IsEmpty());
      EXPECT_EQ(view.optionText, "");
      EXPECT_EQ(form->Config(), nullptr);
      EXPECT_THAT(log.control->lines,
                  Contains(HasSubstr(std::string("Option list (orvanesupport.json) refused: ") + c.logged)));
    }
    // The list on disk is never replaced or removed by a refusal.
    EXPECT_EQ(test::ReadFileBytes(dir / kConfigFileName), c.list);
  }
  EXPECT_THAT(server.Targets(), IsEmpty());
}

TEST_F(ConfigSignatureTest, PairSplitByAnInterruptedDownloadIsMendedAtTheNextStart) {
  // A download places the list, then its signature; until then the
  // signature waits as ".sig.new". The files below are what an interruption
  // at either point leaves.
  const std::string newSignatureFile = std::string(kSignatureFile) + ".new";
  const std::string otherListsSignature = Flipped(kSignature, 12);
  struct Case {
    const char* name;
    std::string list;
    std::optional<std::string> signature;
    std::string newSignature;
    bool loads;
    std::string signatureAfter;
    bool newSignatureStays;
  };
  const Case cases[] = {
      {"stopped after a new list replaced the old one", kSignedList, otherListsSignature, kSignature, true,
       kSignature, false},
      {"stopped after the first list was placed", kSignedList, std::nullopt, kSignature, true, kSignature,
       false},
      {"stopped before the new list was placed", kSignedList, kSignatureLongR, otherListsSignature, true,
       kSignatureLongR, true},
      {"leftover that signs another list", kOtherList, otherListsSignature, kSignature, false,
       otherListsSignature, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(dir / kSignatureFile);
    PutFiles(c.list, c.signature);
    test::WriteFileBytes(dir / newSignatureFile, c.newSignature);
    view = FakeMainFormView{};
    Start();
    if (c.loads) {
      EXPECT_THAT(view.boxes, IsEmpty());
      EXPECT_THAT(view.options, ElementsAre("alpha", "beta"));
    } else {
      EXPECT_THAT(view.boxes, ElementsAre(Box{BoxKind::Message, kConfigNotSignedMessage}));
      EXPECT_THAT(view.options, IsEmpty());
    }
    EXPECT_EQ(test::ReadFileBytes(dir / kConfigFileName), c.list);
    EXPECT_EQ(test::ReadFileBytes(dir / kSignatureFile), c.signatureAfter);
    EXPECT_EQ(std::filesystem::exists(dir / newSignatureFile), c.newSignatureStays);
    std::filesystem::remove(dir / newSignatureFile);
  }
  EXPECT_THAT(server.Targets(), IsEmpty());
}

TEST_F(ConfigSignatureTest, DownloadsStopAtTheirSizeLimits) {
  using Delivery = test::SignedListServer::Delivery;
  constexpr std::size_t kListLimit = 1 << 20;
  constexpr std::size_t kSignatureLimit = 4 << 10;
  const std::string failed = "Download Failed with Status Code: 6666\r\n";
  const auto padded = [](const std::string& bytes, std::size_t size, bool front) {
    const std::string padding(size - bytes.size(), front ? ' ' : '\0');
    return front ? padding + bytes : bytes + padding;
  };
  for (const Delivery delivery : {Delivery::Length, Delivery::Chunked, Delivery::UntilClose}) {
    SCOPED_TRACE(static_cast<int>(delivery));
    server.SendAs(delivery);
    const bool announced = delivery == Delivery::Length;

    // The list, blank-padded in front, in a build without a key: the list at
    // the limit is taken, one byte more is not.
    for (const std::size_t size : {kListLimit, kListLimit + 1}) {
      SCOPED_TRACE(size);
      std::filesystem::remove(dir / kConfigFileName);
      server.Serve(padded(kSignedList, size, true), std::nullopt);
      view = FakeMainFormView{};
      Start("");
      if (size == kListLimit) {
        EXPECT_THAT(view.options, ElementsAre("alpha", "beta"));
        EXPECT_EQ(std::filesystem::file_size(dir / kConfigFileName), kListLimit);
      } else {
        EXPECT_THAT(
            view.MessageTexts(),
            ElementsAre(kNotFound, failed + (announced ? "The server announced 1048577 bytes, more "
                                                         "than the limit of 1 MiB."
                                                       : "The download grew past the limit of 1 MiB.")));
        EXPECT_THAT(Files(), IsEmpty());
      }
    }

    // The signature: at the limit it arrives (and is no signature, having
    // bytes after its end); one byte more never arrives.
    for (const std::size_t size : {kSignatureLimit, kSignatureLimit + 1}) {
      SCOPED_TRACE(size);
      test::ScopedRecordingLogger log{TLogSettings{}};
      std::filesystem::remove(dir / kConfigFileName);
      server.Serve(kSignedList, padded(kSignature, size, false));
      view = FakeMainFormView{};
      Start();
      EXPECT_THAT(view.MessageTexts(), ElementsAre(kNotFound, kConfigNotSignedMessage));
      EXPECT_THAT(Files(), IsEmpty());
      if (size == kSignatureLimit) {
        EXPECT_THAT(log.control->lines,
                    Contains(HasSubstr(std::string("refused: ") + kBadSignatureEncoding)));
      } else {
        EXPECT_THAT(
            log.control->lines,
            Contains(HasSubstr(announced ? "The server announced 4097 bytes, more than the limit of 4 KiB."
                                         : "The download grew past the limit of 4 KiB.")));
        EXPECT_THAT(log.control->lines, Contains(HasSubstr("refused: no signature file")));
      }
    }
  }
}

TEST_F(ConfigSignatureTest, WithoutAKeyListsAreTakenAsTheyAre) {
  server.Serve(kOtherList, std::nullopt);
  Start("");
  EXPECT_THAT(view.options, ElementsAre("alpha", "beta"));
  EXPECT_EQ(view.optionText, "alpha");
  EXPECT_THAT(server.Targets(), ElementsAre("/orvanesupport.json"));
}

TEST(VerifyConfigSignatureTest, SaysWhichCheckFailed) {
  test::TempDir dir;
  const std::string sig = (dir / "list.sig").string();
  EXPECT_THAT(VerifyConfigSignature(kPublicKeyPem, kSignedList, sig), HasSubstr("no signature file"));
  test::WriteFileBytes(sig, std::string(5000, '0'));
  EXPECT_THAT(VerifyConfigSignature(kPublicKeyPem, kSignedList, sig), HasSubstr("too large"));
  // Only the start of a huge file is read (a sparse one where the system
  // allows, so the test costs no disk).
  std::filesystem::resize_file(sig, std::uintmax_t{8} << 30);
  EXPECT_THAT(VerifyConfigSignature(kPublicKeyPem, kSignedList, sig), HasSubstr("too large"));
  test::WriteFileBytes(sig, kSignature);
  EXPECT_THAT(VerifyConfigSignature(kPublicKeyPem, kSignedList, sig), IsEmpty());
  EXPECT_EQ(VerifyConfigSignature(kPublicKeyPem, kOtherList, sig), kSignatureMismatch);
  EXPECT_THAT(VerifyConfigSignature("", kSignedList, sig), HasSubstr("public key"));
}

}  // namespace
}  // namespace orvane
