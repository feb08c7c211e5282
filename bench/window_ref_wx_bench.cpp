// The reference for the start-up comparison in bench/window.sh: a minimal wx
// program with the assistant window's controls (logo and icons from the same
// SVG pictures, caption, three icon buttons, option box, three check boxes,
// the proxy group with its label and edit, a status bar) in the same sizer
// arrangement and the same state ("Auto Close When Done" ticked), shown at
// once. Nothing else: no logger, no settings, no
// option list.
#include <wx/app.h>
#include <wx/bmpbndl.h>
#include <wx/bmpbuttn.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <string>

#include "app/Icons.h"

namespace {

wxBitmapBundle Svg(std::string_view svg, int size) {
  const std::string text(svg);
  return wxBitmapBundle::FromSVG(text.c_str(), wxSize(size, size));
}

class RefApp : public wxApp {
 public:
  bool OnInit() override {
    auto* frame = new wxFrame(nullptr, wxID_ANY, "Orvane Support", wxDefaultPosition, wxDefaultSize,
                              wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
    frame->CreateStatusBar(1);
    auto* panel = new wxPanel(frame);
    auto* logo = new wxStaticBitmap(panel, wxID_ANY, Svg(orvane::kLogoSvg, 57));
    auto* caption = new wxStaticText(panel, wxID_ANY, "Orvane Remote Support");
    auto* link = new wxBitmapButton(panel, wxID_ANY, Svg(orvane::kIconLinkSvg, 32));
    auto* download = new wxBitmapButton(panel, wxID_ANY, Svg(orvane::kIconDownloadSvg, 32));
    auto* play = new wxBitmapButton(panel, wxID_ANY, Svg(orvane::kIconPlaySvg, 32));
    auto* options = new wxComboBox(panel, wxID_ANY, "cbVersion");
    auto* useProxy = new wxCheckBox(panel, wxID_ANY, "Use Proxy");
    auto* autoClose = new wxCheckBox(panel, wxID_ANY, "Auto Close When Done");
    autoClose->SetValue(true);  // ticked, as in the assistant: the tick is a picture GTK loads
    auto* group = new wxStaticBox(panel, wxID_ANY, "Internet Settings");
    auto* wpad = new wxCheckBox(group, wxID_ANY, "Auto Config Proxy (WPAD)");
    auto* label = new wxStaticText(group, wxID_ANY, "Proxy Server Address (IP:Port)");
    auto* proxy = new wxTextCtrl(group, wxID_ANY, "");

    auto* header = new wxBoxSizer(wxHORIZONTAL);
    header->Add(logo);
    header->Add(caption, wxSizerFlags().CenterVertical().Border(wxLEFT, 35));
    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->Add(link, wxSizerFlags().Border(wxLEFT, 44));
    buttons->Add(download);
    buttons->Add(play);
    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(options, wxSizerFlags().Expand());
    column->Add(useProxy);
    column->Add(autoClose);
    auto* middle = new wxBoxSizer(wxHORIZONTAL);
    middle->Add(buttons);
    middle->Add(column, wxSizerFlags(1).Border(wxLEFT, 15));
    auto* box = new wxStaticBoxSizer(group, wxVERTICAL);
    box->Add(wpad);
    box->Add(label);
    box->Add(proxy, wxSizerFlags().Expand());
    auto* main = new wxBoxSizer(wxVERTICAL);
    main->Add(header);
    main->Add(middle, wxSizerFlags().Expand());
    main->Add(box, wxSizerFlags().Expand());
    panel->SetSizer(main);
    main->Show(box, false);
    frame->SetClientSize(main->GetMinSize());
    frame->Centre();
    frame->Show();
    return true;
  }
};

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(RefApp);

int main(int argc, char** argv) { return wxEntry(argc, argv); }
