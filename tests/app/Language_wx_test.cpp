// The real window in another language: the catalogs are found where the
// program looks for them (beside it; inside it on Windows), the language
// comes from the user's UI language or from --Language, and English stays
// as written.
#include "app/Language_wx.h"

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/control.h>
#include <wx/statusbr.h>
#include <wx/stockitem.h>
#include <wx/uilocale.h>
#include <wx/weakref.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/MainForm_wx.h"
#include "support/ConfigServer.h"
#include "support/TestSupport.h"
#include "support/WxTestSupport_wx.h"
#include "system/Translate.h"

namespace orvane {
namespace {

using test::BoxAnswerer;
using test::PumpUntil;

// What the window shows for some of its texts, in one language.
struct TShownTexts {
  const char* notFound;
  const char* useProxy;
  const char* autoClose;
  const char* group;
  const char* proxyLabel;
  const char* cancel;
  const char* confirm;
  const char* aborted;
  const char* hint;
};

constexpr TShownTexts kEnglish{
    "Configuration File not Found, Press OK to start download",
    "Use Proxy",
    "Auto Close When Done",
    "Internet Settings",
    "Proxy Server Address (IP:Port)",
    "Cancel",
    "Is the PC connected to the internet and if needed the Proxy Server configured?\n"
    "Press OK to continue, Cancel to abort",
    "Download aborted",
    "Configure an optional Proxy Server if needed",
};

constexpr TShownTexts kGerman{
    "Die Konfigurationsdatei wurde nicht gefunden. Klicken Sie auf OK, um den Download zu starten.",
    "Proxy verwenden",
    "Nach Abschluss automatisch schlie\u00dfen",
    "Interneteinstellungen",
    "Adresse des Proxyservers (IP:Port)",
    "Abbrechen",
    "Ist der PC mit dem Internet verbunden und, falls n\u00f6tig, der Proxyserver eingerichtet?\n"
    "Klicken Sie auf OK, um fortzufahren, oder auf Abbrechen, um abzubrechen.",
    "Download abgebrochen",
    "Bei Bedarf einen Proxyserver einrichten",
};

std::string Label(wxWindow* frame, const char* name) {
  wxWindow* w = wxWindow::FindWindowByName(name, frame);
  return w ? wxControl::RemoveMnemonics(w->GetLabel()).utf8_string() : std::string("<no ") + name + ">";
}

class TranslatedWindowTest : public testing::Test {
 protected:
  void TearDown() override {
    if (alive) alive->Destroy();
    test::PumpEvents();
    RemoveTranslations();
  }

  // The window after its start-up told that the list was missing and
  // downloaded it.
  TMainFrame* Open() {
    server.Serve(test::ConfigText(test::kFour, 1));
    TMainFormOptions options;
    options.DownloadBaseUrl = server.BaseUrl();
    options.Arguments = std::vector<std::string>{(dir / "OrvaneSupport").string()};
    auto* frame = new TMainFrame(std::move(options));
    alive = frame;
    frame->Show();
    frame->Raise();
    frame->SetFocus();
    auto* box = dynamic_cast<wxComboBox*>(wxWindow::FindWindowByName("cbVersion", frame));
    EXPECT_TRUE(box && PumpUntil([&] { return box->GetCount() == 4; }));
    return frame;
  }

  // The texts on the window, in a message box and in the status bar.
  void ExpectShown(TMainFrame* frame, const TShownTexts& expected) {
    EXPECT_EQ(Label(frame, "cbUseProxy"), expected.useProxy);
    EXPECT_EQ(Label(frame, "cbAutoClose"), expected.autoClose);
    EXPECT_EQ(Label(frame, "grpInternet"), expected.group);
    EXPECT_EQ(Label(frame, "edtProxyIPLabel"), expected.proxyLabel);
    EXPECT_EQ(Label(frame, "btnCancelDownload"), expected.cancel);

    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0], expected.notFound);
    boxes.answers.push_back(wxID_CANCEL);
    auto* download = wxWindow::FindWindowByName("btnDownload", frame);
    ASSERT_NE(download, nullptr);
    wxCommandEvent click(wxEVT_BUTTON, download->GetId());
    click.SetEventObject(download);
    download->ProcessWindowEvent(click);
    ASSERT_EQ(boxes.texts.size(), 2u);
    EXPECT_EQ(boxes.texts[1], expected.confirm);
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText().utf8_string(), expected.aborted);

    frame->Form().ControlMouseEnter(TControlId::cbUseProxy);
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText().utf8_string(), expected.hint);
  }

  test::TempDir dir;
  test::ScopedCwd cwd{dir.path()};
  test::ConfigServer server;
  BoxAnswerer boxes;
  wxWeakRef<TMainFrame> alive;
};

// --Language=de: the window, its boxes and the toolkit's own buttons.
TEST_F(TranslatedWindowTest, GermanWhenAskedFor) {
  InstallTranslations("de");
  TMainFrame* frame = Open();
  ExpectShown(frame, kGerman);
  // The toolkit's catalog, for the buttons it labels itself.
  EXPECT_EQ(wxGetStockLabel(wxID_CANCEL, wxSTOCK_NOFLAGS).utf8_string(), "Abbrechen");

  auto* useProxy = dynamic_cast<wxCheckBox*>(wxWindow::FindWindowByName("cbUseProxy", frame));
  ASSERT_NE(useProxy, nullptr);
  useProxy->SetValue(true);
  frame->Form().Click(TControlId::cbUseProxy);
  test::PumpEventsFor(200);
  EXPECT_TRUE(test::SaveScreenshot(frame, test::ArtifactDir() / "main-window-de.png"));
}

// English, asked for or without any catalog installed, is the source text
// byte for byte.
TEST_F(TranslatedWindowTest, EnglishAsWritten) {
  InstallTranslations("en");
  ExpectShown(Open(), kEnglish);
  EXPECT_EQ(wxGetStockLabel(wxID_CANCEL, wxSTOCK_NOFLAGS).utf8_string(), "Cancel");
}

// Without the switch the user's UI language decides: LANGUAGE on Linux; on
// Windows the UI language of the session (under Wine it follows LANG, so
// the test program is run both ways).
TEST(TranslationLanguage, FollowsTheUserInterfaceLanguage) {
#ifdef __WINDOWS__
  // The session's UI language (GetUserDefaultUILanguage).
  const wxString system = wxUILocale::GetLanguageCanonicalName(wxUILocale::GetSystemLanguage());
  InstallTranslations("");
  EXPECT_EQ(Tr("Internet Settings"), system.StartsWith("de") ? kGerman.group : kEnglish.group) << system;
  RemoveTranslations();
#else
  const struct {
    const char* language;
    const char* group;
  } cases[] = {{"de_DE:en", kGerman.group},
               {"de_AT", kGerman.group},
               {"en_GB", kEnglish.group},
               {"fr", kEnglish.group}};
  for (const auto& c : cases) {
    const test::ScopedEnv language("LANGUAGE", c.language);
    InstallTranslations("");
    EXPECT_EQ(Tr("Internet Settings"), c.group) << c.language;
    RemoveTranslations();
  }
#endif
  EXPECT_EQ(Tr("Internet Settings"), kEnglish.group);
}

}  // namespace
}  // namespace orvane
