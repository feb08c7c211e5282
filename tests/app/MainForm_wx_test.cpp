// The real assistant window under X: start-up against a download server on
// 127.0.0.1, hints under the real pointer, the two layouts, a screenshot.
// Message boxes are answered by a modal-dialog hook.
#include "app/MainForm_wx.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/gauge.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>
#include <wx/statbox.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/uiaction.h>
#include <wx/utils.h>
#include <wx/weakref.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/IconColours.h"
#include "support/ConfigServer.h"
#include "support/DesktopTheme.h"
#include "support/TestSupport.h"
#include "support/WxTestSupport_wx.h"

namespace orvane {
namespace {

using test::BoxAnswerer;
using test::PumpUntil;

void Pump(int steps = 20) {
  PumpUntil([] { return false; }, steps);
}

template <typename T>
T* Control(wxWindow* frame, const char* name) {
  auto* found = dynamic_cast<T*>(wxWindow::FindWindowByName(name, frame));
  EXPECT_NE(found, nullptr) << name;
  return found;
}

// Every shown control lies inside the client area and got the size its text
// and picture need. Positions are summed up the parent chain, since GTK
// reports screen positions of a group box's children off by its label. The
// entry fields are held to their text height: GTK's best size for them grows
// once they are on screen, beyond what they draw.
void ExpectNothingClipped(wxFrame* frame) {
  const wxRect area(wxPoint(0, 0), frame->GetClientSize());
  for (const char* name :
       {"imgOrvane", "lblOrvaneTV", "btnInstallShortcut", "btnDownload", "btnShutdown", "cbVersion",
        "cbUseProxy", "cbAutoClose", "grpInternet", "cbProxyAutoConfig", "edtProxyIPLabel", "edtProxyIP"}) {
    wxWindow* w = wxWindow::FindWindowByName(name, frame);
    ASSERT_NE(w, nullptr) << name;
    if (!w->IsShownOnScreen()) continue;
    wxPoint origin;
    for (wxWindow* p = w; p && p != frame; p = p->GetParent()) origin += p->GetPosition();
    const wxRect r(origin, w->GetSize());
    EXPECT_TRUE(area.Contains(r)) << name << " at " << r.x << "," << r.y << " " << r.width << "x" << r.height
                                  << " outside " << area.width << "x" << area.height;
    const bool entry = dynamic_cast<wxTextEntry*>(w) != nullptr;
    const wxSize need =
        entry ? wxSize(w->GetTextExtent(w->GetLabel() + "W").x, w->GetCharHeight() + 6) : w->GetBestSize();
    EXPECT_GE(r.width, need.x) << name;
    EXPECT_GE(r.height, need.y) << name;
  }
}

// The status bar, below the client area, holds a line of text.
void ExpectStatusBarFits(wxFrame* frame) {
  wxStatusBar* bar = frame->GetStatusBar();
  EXPECT_GE(bar->GetClientSize().y, bar->GetCharHeight());
}

// How an icon stands out from the face it is drawn on, in a picture of its
// button: within the icon's square in the middle, the most frequent colour
// is the face; every pixel visibly apart from it (edges included) is the
// icon's, and the median of their contrast ratios against the face counts.
struct TIconContrast {
  double median = 0;
  std::size_t pixels = 0;
};

TIconContrast MeasureIcon(const wxImage& button, int iconSize) {
  const int side = std::min({iconSize, button.GetWidth(), button.GetHeight()});
  const wxImage icon =
      button.GetSubImage(wxRect((button.GetWidth() - side) / 2, (button.GetHeight() - side) / 2, side, side));
  std::map<std::uint32_t, int> counts;
  const auto pixel = [&](int x, int y) {
    return TRgb{icon.GetRed(x, y), icon.GetGreen(x, y), icon.GetBlue(x, y)};
  };
  const auto key = [](TRgb c) { return (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | c.b; };
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) ++counts[key(pixel(x, y))];
  const std::uint32_t faceKey =
      std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
        return a.second < b.second;
      })->first;
  const TRgb face{static_cast<std::uint8_t>(faceKey >> 16), static_cast<std::uint8_t>(faceKey >> 8),
                  static_cast<std::uint8_t>(faceKey)};
  std::vector<double> ratios;
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      const double ratio = ContrastRatio(pixel(x, y), face);
      if (ratio >= 1.1) ratios.push_back(ratio);
    }
  }
  if (ratios.empty()) return {};
  std::nth_element(ratios.begin(), ratios.begin() + static_cast<std::ptrdiff_t>(ratios.size() / 2),
                   ratios.end());
  return {ratios[ratios.size() / 2], ratios.size()};
}

// Puts the desktop's theme back when the test ends, however it ends.
class ThemeRestorer {
 public:
  ~ThemeRestorer() {
    if (before_) test::SwitchDesktopTheme(*before_);
  }
  bool Switch(const std::string& theme) {
    const std::optional<std::string> was = test::SwitchDesktopTheme(theme);
    if (was && !before_) before_ = was;
    return was.has_value();
  }

 private:
  std::optional<std::string> before_;
};

// The text size the test runs at (GDK_DPI_SCALE, which CTest sets for the
// large-text runs), for the names of its pictures.
std::string TextScaleSuffix() {
  const char* scale = std::getenv("GDK_DPI_SCALE");
  return scale && *scale ? std::string("-text-") + scale + "x" : std::string();
}

class MainFrameTest : public testing::Test {
 protected:
  void SetUp() override {
    server.Serve(test::ConfigText(test::kFour, 1));
    TMainFormOptions options;
    options.DownloadBaseUrl = server.BaseUrl();
    options.Arguments = std::vector<std::string>{(dir / "OrvaneSupport").string()};
    frame = new TMainFrame(std::move(options));
    alive = frame;
    frame->Show();
    frame->Raise();
    // The start-up sequence runs on activation; without a window manager
    // the test hands the window the focus itself.
    frame->SetFocus();
    options_ = Control<wxComboBox>(frame, "cbVersion");
    ASSERT_TRUE(PumpUntil([&] { return options_->GetCount() == 4; }));
  }
  void TearDown() override {
    if (alive) alive->Destroy();
    Pump(5);
  }

  std::string Status() const { return frame->GetStatusBar()->GetStatusText().utf8_string(); }

  void Press(const char* name) {
    auto* button = Control<wxButton>(frame, name);
    wxCommandEvent click(wxEVT_BUTTON, button->GetId());
    click.SetEventObject(button);
    button->ProcessWindowEvent(click);
  }

  // Re-downloads the list from a server that stalls, with a timer ticking
  // meanwhile; duringStall runs once on a tick that the window handled
  // while the transfer hung, after a few such ticks.
  void RedownloadStalling(const std::function<void()>& duringStall) {
    server.ServeStalling();
    const int requestsBefore = server.Requests();
    wxTimer timer;
    timer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
      if (!alive || !frame->Form().IsDownloading() || server.Requests() == requestsBefore) return;
      ++ticksWhileStalled;
      cancelShown = Control<wxButton>(frame, "btnCancelDownload")->IsShown();
      auto* gauge = Control<wxGauge>(frame, "gauDownload");
      gaugeShownInBar =
          gauge->IsShown() && wxRect(frame->GetStatusBar()->GetClientSize()).Contains(gauge->GetRect());
      if (ticksWhileStalled == 3) duringStall();
    });
    timer.Start(20);
    // Clicked, the button would hold the focus.
    Control<wxButton>(frame, "btnDownload")->SetFocus();
    Press("btnDownload");
    timer.Stop();
  }

  // Escape typed through the X server, with the pointer on the logo (where
  // no hint replaces the status text).
  void TypeEscape() {
    wxUIActionSimulator keys;
    keys.MouseMove(Control<wxWindow>(frame, "imgOrvane")->GetScreenRect().GetPosition() + wxPoint(5, 5));
    keys.Char(WXK_ESCAPE);
  }

  int ticksWhileStalled = 0;
  bool cancelShown = false;
  bool gaugeShownInBar = false;

  // Ticks a check box as a click would.
  void Toggle(const char* name) {
    auto* box = Control<wxCheckBox>(frame, name);
    box->SetValue(!box->GetValue());
    wxCommandEvent click(wxEVT_CHECKBOX, box->GetId());
    click.SetEventObject(box);
    click.SetInt(box->GetValue());
    box->ProcessWindowEvent(click);
  }

  test::DisplayLock display;  // the pointer moves through the X server
  test::TempDir dir;
  test::ScopedCwd cwd{dir.path()};
  test::ConfigServer server;
  BoxAnswerer boxes;
  TMainFrame* frame = nullptr;
  wxWeakRef<TMainFrame> alive;
  wxComboBox* options_ = nullptr;
};

TEST_F(MainFrameTest, StartUpDownloadsTheListIntoTheOptionBox) {
  EXPECT_THAT(boxes.texts, testing::ElementsAre("Configuration File not Found, Press OK to start download"));
  EXPECT_EQ(options_->GetValue(), "remotely_x86");
  EXPECT_EQ(options_->GetSelection(), 1);
  EXPECT_THAT(frame->GetTitle().utf8_string(), testing::StartsWith("Orvane Remote Support  V"));
  EXPECT_EQ(test::ReadFileBytes(dir / kConfigFileName), test::ConfigText(test::kFour, 1));

  // Later activations do not run it again.
  wxActivateEvent activate(wxEVT_ACTIVATE, true, frame->GetId());
  frame->GetEventHandler()->ProcessEvent(activate);
  Pump();
  EXPECT_EQ(boxes.texts.size(), 1u);
  EXPECT_EQ(server.Requests(), 1);
}

TEST_F(MainFrameTest, HoveringShowsEachHint) {
  Toggle("cbUseProxy");  // the proxy group's two controls need to be on screen
  Pump();
  wxUIActionSimulator pointer;
  const auto moveTo = [&](wxPoint p) {
    pointer.MouseMove(p);
    Pump(3);
  };
  const std::pair<TControlId, const char*> controls[] = {
      {TControlId::btnShutdown, "btnShutdown"},
      {TControlId::btnDownload, "btnDownload"},
      {TControlId::btnInstallShortcut, "btnInstallShortcut"},
      {TControlId::cbVersion, "cbVersion"},
      {TControlId::cbUseProxy, "cbUseProxy"},
      {TControlId::cbAutoClose, "cbAutoClose"},
      {TControlId::cbProxyAutoConfig, "cbProxyAutoConfig"},
      {TControlId::edtProxyIP, "edtProxyIP"}};
  for (const auto& [id, name] : controls) {
    wxWindow* control = Control<wxWindow>(frame, name);
    ASSERT_NE(control, nullptr);
    // Into the control from the logo, which has no hint.
    moveTo(Control<wxWindow>(frame, "imgOrvane")->GetScreenRect().GetPosition() + wxPoint(5, 5));
    moveTo(control->GetScreenRect().GetPosition() + wxPoint(4, 4));
    moveTo(control->GetScreenRect().GetPosition() + control->GetSize() / 2);
    EXPECT_TRUE(PumpUntil([&] { return Status() == TMainForm::HintFor(id); })) << name << ": " << Status();
    moveTo(frame->GetScreenRect().GetBottomRight() + wxPoint(40, 40));
    EXPECT_TRUE(PumpUntil([&] { return Status().empty(); })) << name << ": " << Status();
  }
}

TEST_F(MainFrameTest, KeyboardFocusShowsTheHintThatIsAlsoTheTooltip) {
  Toggle("cbUseProxy");
  Pump();
  // From the last control back to the first, so that each one takes the
  // focus from another.
  const std::pair<TControlId, const char*> controls[] = {
      {TControlId::edtProxyIP, "edtProxyIP"},   {TControlId::cbProxyAutoConfig, "cbProxyAutoConfig"},
      {TControlId::cbAutoClose, "cbAutoClose"}, {TControlId::cbUseProxy, "cbUseProxy"},
      {TControlId::cbVersion, "cbVersion"},     {TControlId::btnInstallShortcut, "btnInstallShortcut"},
      {TControlId::btnDownload, "btnDownload"}, {TControlId::btnShutdown, "btnShutdown"}};
  for (const auto& [id, name] : controls) {
    wxWindow* control = Control<wxWindow>(frame, name);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->GetToolTipText(), TMainForm::HintFor(id)) << name;
    frame->SetStatusText("");
    control->SetFocus();
    EXPECT_TRUE(PumpUntil([&] { return Status() == TMainForm::HintFor(id); })) << name << ": " << Status();
  }
}

// Keys typed through the system, so that they take the toolkit's own path
// (GTK's focus chain, the Windows dialog keys) unless the window handles them.
TEST_F(MainFrameTest, KeysWalkTheControlsInOrderAndReturnStarts) {
  Toggle("cbUseProxy");
  Pump();
  auto* start = Control<wxWindow>(frame, "btnShutdown");
  start->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return wxWindow::FindFocus() == start; }));
  const auto focusName = [] {
    const wxWindow* focus = wxWindow::FindFocus();
    // The option box's entry is a native part of it on some platforms.
    while (focus && focus->GetName() != "cbVersion" && dynamic_cast<const wxComboBox*>(focus->GetParent()))
      focus = focus->GetParent();
    return focus ? focus->GetName().utf8_string() : std::string("(none)");
  };
  wxUIActionSimulator keys;
  const auto typeAndSee = [&](int key, int modifiers) {
    const std::string before = focusName();
    keys.Char(key, modifiers);
    PumpUntil([&] { return focusName() != before; }, 40);
    return focusName();
  };
  std::vector<std::string> forward, backward;
  for (int i = 0; i < 8; ++i) forward.push_back(typeAndSee(WXK_TAB, wxMOD_NONE));
  EXPECT_THAT(forward,
              testing::ElementsAre("edtProxyIP", "cbProxyAutoConfig", "cbUseProxy", "cbVersion",
                                   "btnDownload", "cbAutoClose", "btnInstallShortcut", "btnShutdown"));
  for (int i = 0; i < 2; ++i) backward.push_back(typeAndSee(WXK_TAB, wxMOD_SHIFT));
  EXPECT_THAT(backward, testing::ElementsAre("btnInstallShortcut", "cbAutoClose"));

  // Escape with nothing to cancel leaves the window alone.
  keys.Char(WXK_ESCAPE);
  Pump();
  EXPECT_TRUE(alive && frame->IsShown());

  // Return in the option box presses the start button: a text that names no
  // option says so in a box.
  options_->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return focusName() == "cbVersion"; }));
  options_->ChangeValue("nothing");
  keys.Char(WXK_RETURN);
  EXPECT_TRUE(PumpUntil([&] { return boxes.texts.size() == 2; }));
  EXPECT_THAT(boxes.texts.back(), testing::StartsWith("\"nothing\" is not a remote support option"));
}

TEST_F(MainFrameTest, UseProxyShowsTheGroupInATallerWindow) {
  auto* group = Control<wxStaticBox>(frame, "grpInternet");
  const int collapsed = frame->GetClientSize().y;
  EXPECT_FALSE(group->IsShown());
  ExpectNothingClipped(frame);
  ExpectStatusBarFits(frame);
  EXPECT_TRUE(test::SaveScreenshot(
      frame, test::ArtifactDir() / ("main-window-collapsed" + TextScaleSuffix() + ".png")));

  Toggle("cbUseProxy");
  Pump();
  EXPECT_TRUE(group->IsShownOnScreen());
  EXPECT_GT(frame->GetClientSize().y, collapsed);
  ExpectNothingClipped(frame);
  auto* proxy = Control<wxTextCtrl>(frame, "edtProxyIP");
  proxy->ChangeValue("192.168.100.200:3128");
  frame->SetStatusText("Select preferred Remote Support Option");
  EXPECT_TRUE(
      test::SaveScreenshot(frame, test::ArtifactDir() / ("main-window" + TextScaleSuffix() + ".png")));

  proxy->ChangeValue("10.0.0.1:3128");
  Toggle("cbProxyAutoConfig");
  EXPECT_EQ(proxy->GetValue(), "");
  EXPECT_FALSE(proxy->IsEnabled());

  Toggle("cbUseProxy");
  Pump();
  EXPECT_FALSE(group->IsShown());
  EXPECT_EQ(frame->GetClientSize().y, collapsed);
}

TEST_F(MainFrameTest, LongStatusTextsAreWholeInTheTooltip) {
  // The pointer off the window, where no hint replaces the text.
  wxUIActionSimulator().MouseMove(frame->GetScreenRect().GetBottomRight() + wxPoint(40, 40));
  Pump();
  wxStatusBar* bar = frame->GetStatusBar();
  const std::string longText =
      "Download Failed with Status Code: 407 Proxy Authentication Required from proxy.example.internal:3128 "
      "while fetching orvanesupport.json";
  frame->Form().View().SetStatusText(longText);
  Pump();
  EXPECT_EQ(bar->GetToolTipText().utf8_string(), longText);
  frame->Form().View().SetStatusText("Download cancelled");
  Pump();
  EXPECT_EQ(bar->GetToolTip(), nullptr);
}

// A theme switched while the window is open (as a user does in the system
// settings): the icons are drawn again in colours that stand out from the
// button face by at least 3:1, on the dark and on the light high-contrast
// theme.
TEST_F(MainFrameTest, IconsStandOutOnHighContrastThemes) {
  ThemeRestorer themes;
  for (const std::string theme : {"HighContrastInverse", "HighContrast"}) {
    SCOPED_TRACE(theme);
    if (!themes.Switch(theme)) GTEST_SKIP() << "the theme cannot be switched from inside the program here";
    Pump(30);
    for (const char* name : {"btnShutdown", "btnDownload", "btnInstallShortcut"}) {
      wxWindow* button = Control<wxWindow>(frame, name);
      const TIconContrast icon =
          MeasureIcon(test::CaptureScreen(button->GetScreenRect()), frame->FromDIP(32));
      EXPECT_GE(icon.pixels, 40u) << name;
      EXPECT_GE(icon.median, kMinIconContrast) << name;
    }
    EXPECT_TRUE(test::SaveScreenshot(frame, test::ArtifactDir() / ("main-window-" + theme + ".png")));
  }
}

TEST_F(MainFrameTest, ClosingWhileAHandlerRunsWaitsForIt) {
  // The window is closed while the re-download asks its question; the
  // handler finishes on a live window, without the download it would start
  // next (the list stays as it was), then the window goes.
  bool openDuringHandler = false;
  boxes.onEnter = [&] {
    frame->Close();
    Pump();
    openDuringHandler = alive && !frame->IsBeingDeleted();
  };
  server.Serve(test::ConfigText({"teamviewer"}, 0));
  auto* button = Control<wxButton>(frame, "btnDownload");
  wxCommandEvent click(wxEVT_BUTTON, button->GetId());
  click.SetEventObject(button);
  button->ProcessWindowEvent(click);
  EXPECT_TRUE(openDuringHandler);
  EXPECT_TRUE(PumpUntil([&] { return !alive; }));
  EXPECT_EQ(test::ReadFileBytes(dir / kConfigFileName), test::ConfigText(test::kFour, 1));
}

TEST_F(MainFrameTest, EscapeCancelsAStalledDownloadAndKeepsTheList) {
  const std::string before = test::ReadFileBytes(dir / kConfigFileName);
  RedownloadStalling([&] { TypeEscape(); });

  // Input was handled while the transfer hung, among it the Escape that
  // ended it.
  EXPECT_GE(ticksWhileStalled, 3);
  EXPECT_TRUE(cancelShown);
  EXPECT_TRUE(gaugeShownInBar);
  EXPECT_FALSE(Control<wxButton>(frame, "btnCancelDownload")->IsShown());
  EXPECT_FALSE(Control<wxGauge>(frame, "gauDownload")->IsShown());
  EXPECT_EQ(Status(), "Download cancelled");
  EXPECT_EQ(test::ReadFileBytes(dir / kConfigFileName), before);
  EXPECT_EQ(
      std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()),
      1);  // no partial or temporary file
  EXPECT_EQ(options_->GetCount(), 4u);
  EXPECT_TRUE(Control<wxButton>(frame, "btnDownload")->IsEnabled());
}

TEST_F(MainFrameTest, ClosingDuringADownloadCancelsItAndCloses) {
  const std::string before = test::ReadFileBytes(dir / kConfigFileName);
  RedownloadStalling([&] { frame->Close(); });
  EXPECT_GE(ticksWhileStalled, 3);
  EXPECT_TRUE(PumpUntil([&] { return !alive; }));
  EXPECT_EQ(test::ReadFileBytes(dir / kConfigFileName), before);
}

}  // namespace
}  // namespace orvane
