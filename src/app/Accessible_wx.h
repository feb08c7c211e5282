// The name and description a screen reader gives a control, for controls
// whose own text does not say what they do (icon buttons, the option box,
// the logo). wx has no portable call for this: on Windows it goes through
// the control's MSAA object, on GTK through its ATK object.
#pragma once

#include <wx/string.h>

class wxWindow;

namespace orvane {

void SetAccessibleText(wxWindow* control, const wxString& name, const wxString& description);

}  // namespace orvane
