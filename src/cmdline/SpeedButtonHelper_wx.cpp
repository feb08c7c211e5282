#include "cmdline/SpeedButtonHelper_wx.h"

#include <wx/dcbuffer.h>
#include <wx/renderer.h>
#include <wx/settings.h>

#include <algorithm>

namespace orvane {

TSpeedButton::TSpeedButton(wxWindow* parent, wxWindowID id, const wxString& caption, const wxPoint& pos,
                           const wxSize& size)
    : wxControl(parent, id, pos, size, wxBORDER_NONE) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  wxControl::SetLabel(caption);
  Bind(wxEVT_PAINT, &TSpeedButton::OnPaint, this);
  for (const auto type : {wxEVT_ENTER_WINDOW, wxEVT_LEAVE_WINDOW, wxEVT_LEFT_DOWN, wxEVT_LEFT_UP})
    Bind(type, &TSpeedButton::OnMouse, this);
  Bind(wxEVT_MOUSE_CAPTURE_LOST, [this](wxMouseCaptureLostEvent&) {
    FDown = false;
    Refresh();
  });
}

void TSpeedButton::SetGlyph(const wxBitmap& glyph) {
  FGlyph = glyph;
  Refresh();
}

void TSpeedButton::SetFlat(bool flat) {
  FFlat = flat;
  Refresh();
}

void TSpeedButton::SetLabel(const wxString& label) {
  wxControl::SetLabel(label);
  Refresh();
}

wxSize TSpeedButton::DoGetBestSize() const {
  wxSize best = FGlyph.IsOk() ? FGlyph.GetSize() : wxSize(16, 16);
  if (!GetLabel().empty()) {
    const wxSize text = GetTextExtent(GetLabel());
    best.x += text.x + FromDIP(4);
    best.y = std::max(best.y, text.y);
  }
  return best + FromDIP(wxSize(8, 8));
}

void TSpeedButton::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  dc.SetBackground(wxBrush(GetParent()->GetBackgroundColour()));
  dc.Clear();
  const wxRect client = GetClientRect();
  if (!FFlat || FHot || FDown) {
    int flags = 0;
    if (FDown) flags |= wxCONTROL_PRESSED;
    if (FHot) flags |= wxCONTROL_CURRENT;
    wxRendererNative::Get().DrawPushButton(this, dc, client, flags);
  }

  const wxString label = GetLabel();
  const wxSize glyph = FGlyph.IsOk() ? FGlyph.GetSize() : wxSize(0, 0);
  const wxSize text = label.empty() ? wxSize(0, 0) : dc.GetTextExtent(label);
  const int gap = (glyph.x > 0 && text.x > 0) ? FromDIP(4) : 0;
  const int shift = FDown ? 1 : 0;
  int x = client.x + (client.width - glyph.x - gap - text.x) / 2 + shift;
  if (FGlyph.IsOk()) {
    dc.DrawBitmap(FGlyph, x, client.y + (client.height - glyph.y) / 2 + shift, true);
    x += glyph.x + gap;
  }
  if (!label.empty()) {
    dc.SetFont(GetFont());
    dc.SetTextForeground(IsEnabled() ? GetForegroundColour()
                                     : wxSystemSettings::GetColour(wxSYS_COLOUR_GRAYTEXT));
    dc.DrawText(label, x, client.y + (client.height - text.y) / 2 + shift);
  }
}

void TSpeedButton::OnMouse(wxMouseEvent& event) {
  const wxEventType type = event.GetEventType();
  if (type == wxEVT_ENTER_WINDOW) {
    FHot = true;
  } else if (type == wxEVT_LEAVE_WINDOW) {
    FHot = false;
    FDown = false;
  } else if (type == wxEVT_LEFT_DOWN) {
    FDown = true;
    CaptureMouse();
  } else if (type == wxEVT_LEFT_UP) {
    if (HasCapture()) ReleaseMouse();
    const bool clicked = FDown && GetClientRect().Contains(event.GetPosition());
    FDown = false;
    Refresh();
    if (clicked && IsEnabled()) {
      wxCommandEvent click(wxEVT_BUTTON, GetId());
      click.SetEventObject(this);
      ProcessWindowEvent(click);
    }
    return;
  }
  Refresh();
  event.Skip();
}

void SetSpeedButtonGlyph(TSpeedButton& Button, const wxImageList& ImageList, int Index, bool MakeFlat,
                         bool ClearCaption) {
  Button.SetGlyph(wxNullBitmap);
  if (Index >= 0 && Index < ImageList.GetImageCount()) Button.SetGlyph(ImageList.GetBitmap(Index));
  if (MakeFlat) Button.SetFlat(true);
  if (ClearCaption) Button.SetLabel(wxString());
}

}  // namespace orvane
