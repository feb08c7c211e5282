#include <wx/access.h>
#include <wx/window.h>

#include "app/Accessible_wx.h"

namespace orvane {

namespace {

// Answers the name and description of the control itself; everything else
// (role, state, the parts of a combo box) comes from the control's standard
// MSAA object, which wx falls back to for what is not implemented here.
class TNamedAccessible : public wxAccessible {
 public:
  TNamedAccessible(wxWindow* control, const wxString& name, const wxString& description)
      : wxAccessible(control), fName(name), fDescription(description) {}

  wxAccStatus GetName(int childId, wxString* name) override {
    if (childId != wxACC_SELF) return wxACC_NOT_IMPLEMENTED;
    *name = fName;
    return wxACC_OK;
  }
  wxAccStatus GetDescription(int childId, wxString* description) override {
    if (childId != wxACC_SELF) return wxACC_NOT_IMPLEMENTED;
    *description = fDescription;
    return wxACC_OK;
  }

 private:
  wxString fName;
  wxString fDescription;
};

}  // namespace

void SetAccessibleText(wxWindow* control, const wxString& name, const wxString& description) {
  // The window owns the object and deletes it with itself.
  control->SetAccessible(new TNamedAccessible(control, name, description));
}

}  // namespace orvane
