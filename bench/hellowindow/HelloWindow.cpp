// The yardstick for the Windows program's size and start-up (bench/windows.sh):
// the smallest window the toolkit can show, an empty frame with a title,
// linked the same way as OrvaneSupport.exe (static, stripped, the same
// link options and toolkit libraries), so that the difference between the
// two is what the program itself adds.
#include <wx/app.h>
#include <wx/frame.h>

namespace {

class HelloApp : public wxApp {
 public:
  bool OnInit() override {
    auto* frame = new wxFrame(nullptr, wxID_ANY, "Orvane Hello");
    frame->Show();
    return true;
  }
};

}  // namespace

wxIMPLEMENT_APP(HelloApp);
