#include <gtk/gtk.h>
#include <wx/window.h>

#include "app/Accessible_wx.h"

namespace orvane {

namespace {

void SetAtkText(GtkWidget* widget, const wxString& name, const wxString& description) {
  AtkObject* atk = gtk_widget_get_accessible(widget);
  if (!atk) return;
  atk_object_set_name(atk, name.utf8_str());
  atk_object_set_description(atk, description.utf8_str());
}

}  // namespace

void SetAccessibleText(wxWindow* control, const wxString& name, const wxString& description) {
  GtkWidget* widget = control->GetHandle();
  SetAtkText(widget, name, description);
  // An editable combo box takes the focus in its entry, which a screen
  // reader announces on its own: it carries the same name.
  if (GTK_IS_COMBO_BOX(widget) && gtk_combo_box_get_has_entry(GTK_COMBO_BOX(widget))) {
    if (GtkWidget* entry = gtk_bin_get_child(GTK_BIN(widget))) SetAtkText(entry, name, description);
  }
}

}  // namespace orvane
