#pragma once

#include <gtkmm.h>

#include <string>

namespace orvel {

// A control's help text is its tooltip; assistive technologies read its label.
inline void describe(Gtk::Widget& widget, const std::string& label, const std::string& help) {
  widget.set_tooltip_text(help);
  gtk_accessible_update_property(GTK_ACCESSIBLE(widget.gobj()), GTK_ACCESSIBLE_PROPERTY_LABEL,
                                 label.c_str(), -1);
}

inline void setClass(Gtk::Widget& widget, const char* name, bool on) {
  if (on) {
    widget.add_css_class(name);
  } else {
    widget.remove_css_class(name);
  }
}

}  // namespace orvel
