#include "support/WxTestSupport_wx.h"

#include <fmt/format.h>
#include <wx/app.h>
#include <wx/msgdlg.h>
#include <wx/timer.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

#include <cstdlib>

#include "support/ScreenCapture.h"
#include "support/TestSupport.h"

namespace orvane::test {

namespace {

class OneShot : public wxTimer {
 public:
  explicit OneShot(std::function<void()> fn) : fn_(std::move(fn)) {}
  void Notify() override {
    fn_();
    // Not from inside Notify: the timer code still uses the object.
    wxTheApp->CallAfter([this] { delete this; });
  }

 private:
  std::function<void()> fn_;
};

// The Windows build of the toolkit is made without libpng: BMP only there.
void EnsureImageHandlers() {
#if wxUSE_LIBPNG
  if (wxImage::FindHandler(wxBITMAP_TYPE_PNG) == nullptr) wxImage::AddHandler(new wxPNGHandler);
#endif
}

}  // namespace

void RunAfter(int delayMs, std::function<void()> fn) { (new OneShot(std::move(fn)))->StartOnce(delayMs); }

void PumpEvents() {
  for (int i = 0; i < 5; ++i) {
    wxTheApp->ProcessPendingEvents();
    wxTheApp->Yield(true);
  }
}

void PumpEventsFor(int ms) {
  const wxLongLong end = wxGetLocalTimeMillis() + ms;
  while (wxGetLocalTimeMillis() < end) {
    PumpEvents();
    wxMilliSleep(5);
  }
}

wxImage CaptureScreen(const wxRect& rect) {
  TempDir dir;
  const std::filesystem::path file = CaptureScreenToFile(rect.x, rect.y, rect.width, rect.height, dir.path());
  wxImage image;
  if (!file.empty()) {
    EnsureImageHandlers();
    image.LoadFile(file.string(), wxBITMAP_TYPE_ANY);
  }
  return image;
}

wxImage CaptureWindow(wxWindow* window) {
  // GTK paints on its frame clock, so a window that was just mapped needs
  // a little real time, not only an empty event queue, before it is drawn.
  window->Refresh();
  PumpEventsFor(250);
  window->Update();
  return CaptureScreen(window->GetScreenRect());
}

bool SaveScreenshot(wxWindow* window, const std::filesystem::path& file) {
  EnsureImageHandlers();
  const wxImage image = CaptureWindow(window);
  if (!image.IsOk()) return false;
  if (wxImage::FindHandler(wxBITMAP_TYPE_PNG) != nullptr)
    return image.SaveFile(file.string(), wxBITMAP_TYPE_PNG);
  // Without PNG support in the toolkit the picture goes out as BMP;
  // scripts/test-windows turns it into PNG.
  return image.SaveFile(std::filesystem::path(file).replace_extension(".bmp").string(), wxBITMAP_TYPE_BMP);
}

void PressKey(wxWindow* window, int keyCode) {
  wxUIActionSimulator sim;
  const wxRect rect = window->GetScreenRect();
  sim.MouseMove(rect.x + rect.width / 2, rect.y + rect.height / 2);
  PumpEvents();
  sim.Char(keyCode);
  PumpEvents();
}

bool PumpUntil(const std::function<bool()>& done, int steps) {
  for (int i = 0; i < steps; ++i) {
    if (done()) return true;
    wxTheApp->Yield(true);
    wxMilliSleep(10);
  }
  return done();
}

int BoxAnswerer::Enter(wxDialog* dialog) {
  if (auto* box = dynamic_cast<wxMessageDialogBase*>(dialog))
    texts.push_back(box->GetMessage().utf8_string());
  if (onEnter) onEnter();
  if (answers.empty()) return wxID_OK;
  const int answer = answers.front();
  answers.pop_front();
  return answer;
}

}  // namespace orvane::test
