// What a Windows screen reader reads from the real window: each control's
// MSAA name and description, asked for the way screen readers ask
// (AccessibleObjectFromWindow, then the client object's name).
#include <windows.h>
// clang-format off
#include <oleacc.h>
// clang-format on

#include <gtest/gtest.h>
#include <wx/window.h>

#include <string>

#include "app/MainForm_wx.h"

namespace orvane {
namespace {

struct TMsaaText {
  bool found = false;
  std::wstring name;
  std::wstring description;
};

std::wstring TakeBstr(BSTR text) {
  std::wstring s = text ? std::wstring(text, SysStringLen(text)) : std::wstring();
  SysFreeString(text);
  return s;
}

TMsaaText ReadMsaa(wxWindow* control) {
  TMsaaText text;
  IAccessible* accessible = nullptr;
  if (FAILED(AccessibleObjectFromWindow(static_cast<HWND>(control->GetHWND()),
                                        static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                        reinterpret_cast<void**>(&accessible))) ||
      !accessible) {
    return text;
  }
  text.found = true;
  VARIANT self;
  VariantInit(&self);
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR value = nullptr;
  if (accessible->get_accName(self, &value) == S_OK) text.name = TakeBstr(value);
  value = nullptr;
  if (accessible->get_accDescription(self, &value) == S_OK) text.description = TakeBstr(value);
  accessible->Release();
  return text;
}

TEST(MainFrameMsaa, ControlsTellScreenReadersWhatTheyDo) {
  // Never shown, so never activated: MSAA needs neither, and no start-up
  // sequence runs.
  auto* frame = new TMainFrame();

  struct TExpected {
    const char* control;
    const wchar_t* name;
    const wchar_t* description;
  };
  // The system's own objects name the check boxes by their text (the "&"
  // gone) and the entry by the label before it; the window names the rest.
  const TExpected expected[] = {
      {"btnShutdown", L"Start remote support", L"Download and Execute selected Option"},
      {"btnDownload", L"Download the option list again", L"Re-Download and Reload Configuration File"},
      {"btnInstallShortcut", L"Create desktop shortcut", L"Create ShortCut To this Assistant on Desktop"},
      {"cbVersion", L"Remote support tool", L"Select preferred Remote Support Option"},
      {"imgOrvane", L"Orvane Support", L""},
      {"cbUseProxy", L"Use Proxy", nullptr},
      {"cbAutoClose", L"Auto Close When Done", nullptr},
      {"cbProxyAutoConfig", L"Auto Config Proxy (WPAD)", nullptr},
      {"edtProxyIP", L"Proxy Server Address (IP:Port)", nullptr},
  };
  for (const auto& [name, wantName, wantDescription] : expected) {
    wxWindow* control = wxWindow::FindWindowByName(name, frame);
    ASSERT_NE(control, nullptr) << name;
    const TMsaaText text = ReadMsaa(control);
    ASSERT_TRUE(text.found) << name << ": no MSAA object";
    EXPECT_EQ(text.name, wantName) << name;
    if (wantDescription) {
      EXPECT_EQ(text.description, wantDescription) << name;
    }
  }
  frame->Destroy();
}

}  // namespace
}  // namespace orvane
