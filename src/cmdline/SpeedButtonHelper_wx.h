// A flat, non-focusable image button and the routine that gives it a glyph
// from an image list.
#pragma once

#include <wx/bitmap.h>
#include <wx/control.h>
#include <wx/imaglist.h>

namespace orvane {

// Draws its glyph (and caption, if any) centred; flat buttons show their
// frame only while the mouse is over them. A click sends wxEVT_BUTTON. It
// never takes the keyboard focus, so the window's own keys keep working.
class TSpeedButton : public wxControl {
 public:
  TSpeedButton(wxWindow* parent, wxWindowID id, const wxString& caption = wxString(),
               const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxDefaultSize);

  void SetGlyph(const wxBitmap& glyph);
  const wxBitmap& GetGlyph() const { return FGlyph; }
  void SetFlat(bool flat);
  bool IsFlat() const { return FFlat; }

  bool AcceptsFocus() const override { return false; }
  void SetLabel(const wxString& label) override;

 protected:
  wxSize DoGetBestSize() const override;

 private:
  void OnPaint(wxPaintEvent& event);
  void OnMouse(wxMouseEvent& event);

  wxBitmap FGlyph;
  bool FFlat = false;
  bool FHot = false;
  bool FDown = false;
};

// Clears the button's glyph, copies image Index of ImageList into it, makes
// it flat when MakeFlat is set and empties its caption when ClearCaption is.
void SetSpeedButtonGlyph(TSpeedButton& Button, const wxImageList& ImageList, int Index, bool MakeFlat,
                         bool ClearCaption);

}  // namespace orvane
