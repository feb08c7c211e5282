#include "support/WxTestSupport_wx.h"

#include <fmt/format.h>
#include <wx/app.h>
#include <wx/msgdlg.h>
#include <wx/timer.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>

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

void EnsurePngHandler() {
  if (wxImage::FindHandler(wxBITMAP_TYPE_PNG) == nullptr) wxImage::AddHandler(new wxPNGHandler);
}

}  // namespace

DisplayLock::DisplayLock() {
  const char* display = std::getenv("DISPLAY");
  std::string name = display ? display : "";
  for (char& c : name)
    if (c == '/' || c == ':') c = '_';
  const std::string path =
      (std::filesystem::temp_directory_path() / ("orvane-display" + name + ".lock")).string();
  fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd_ >= 0) flock(fd_, LOCK_EX);
}

DisplayLock::~DisplayLock() {
  if (fd_ >= 0) close(fd_);  // releases the lock
}

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

// Read back from the X server with xwd. Under GTK 3 a blit from wxScreenDC
// returns what the first capture of the process saw, whatever the screen
// shows now.
wxImage CaptureScreen(const wxRect& rect) {
  EnsurePngHandler();
  TempDir dir;
  const std::filesystem::path file = dir / "capture.png";
  const std::string command =
      fmt::format("xwd -root -silent | convert xwd:- -crop {}x{}+{}+{} +repage png:'{}'", rect.width,
                  rect.height, rect.x, rect.y, file.string());
  wxImage image;
  if (std::system(command.c_str()) == 0) image.LoadFile(file.string(), wxBITMAP_TYPE_PNG);
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
  EnsurePngHandler();
  const wxImage image = CaptureWindow(window);
  return image.IsOk() && image.SaveFile(file.string(), wxBITMAP_TYPE_PNG);
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
