// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtkmm.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "chrome/PlayerSymbols.h"

namespace orvel {

// Work for a later main-loop turn on behalf of an owner that may be gone by then: the owner keeps
// the one strong reference to its token, and the work is dropped once the token has expired.
class LaterTurns {
 public:
  // At the default priority the work runs after the next frame is drawn; at
  // Glib::PRIORITY_HIGH_IDLE, before it.
  void post(std::function<void()> work, int priority = Glib::PRIORITY_DEFAULT_IDLE) const {
    Glib::signal_idle().connect_once(
        [alive = std::weak_ptr<bool>(alive_), work = std::move(work)] {
          if (!alive.expired()) {
            work();
          }
        },
        priority);
  }

 private:
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// The label assistive technologies read, kept on the widget too: GTK 4.8 cannot read it back.
inline GQuark accessibleLabelKey() {
  static const GQuark key = g_quark_from_static_string("orvel-accessible-label");
  return key;
}

// A widget kept in place but not shown (faded out, or a page behind another) is hidden from
// assistive technologies too.
inline void setHiddenFromAssistiveTechnologies(Gtk::Widget& widget, bool hidden) {
  gtk_accessible_update_state(GTK_ACCESSIBLE(widget.gobj()), GTK_ACCESSIBLE_STATE_HIDDEN, hidden,
                              -1);
}

// Shows one page of a stack; the others are hidden from assistive technologies too, which GTK
// would otherwise still read out.
inline void showStackPage(Gtk::Stack& stack, const char* name) {
  stack.set_visible_child(name);
  for (Gtk::Widget* page = stack.get_first_child(); page; page = page->get_next_sibling()) {
    setHiddenFromAssistiveTechnologies(*page, page != stack.get_visible_child());
  }
}

// A button that works as a switch tells assistive technologies whether it is on.
inline void setPressed(Gtk::Widget& widget, bool pressed) {
  gtk_accessible_update_state(
      GTK_ACCESSIBLE(widget.gobj()), GTK_ACCESSIBLE_STATE_PRESSED,
      pressed ? GTK_ACCESSIBLE_TRISTATE_TRUE : GTK_ACCESSIBLE_TRISTATE_FALSE, -1);
}

inline void setAccessibleLabel(Gtk::Widget& widget, const std::string& label) {
  g_object_set_qdata_full(G_OBJECT(widget.gobj()), accessibleLabelKey(), g_strdup(label.c_str()),
                          g_free);
  gtk_accessible_update_property(GTK_ACCESSIBLE(widget.gobj()), GTK_ACCESSIBLE_PROPERTY_LABEL,
                                 label.c_str(), -1);
}

inline std::string accessibleLabelOf(GtkWidget* widget) {
  const auto* label =
      static_cast<const char*>(g_object_get_qdata(G_OBJECT(widget), accessibleLabelKey()));
  return label ? label : "";
}

// A control's help text is its tooltip; assistive technologies read its label.
inline void describe(Gtk::Widget& widget, const std::string& label, const std::string& help) {
  if (widget.get_tooltip_text().raw() != help) {
    widget.set_tooltip_text(help);
  }
  setAccessibleLabel(widget, label);
}

// The help text of a recycled row's widget, which is kept on the widget instead of its tooltip.
inline GQuark rowHelpKey() {
  static const GQuark key = g_quark_from_static_string("orvel-row-help");
  return key;
}

// The same for a widget of a recycled row, whose texts change each time it shows another item.
// Setting a tooltip asks the display where the pointer is, a round trip per call; the help text
// is kept on the widget instead and handed over when a tooltip is wanted.
inline void describeRow(Gtk::Widget& widget, const std::string& label, const std::string& help) {
  const GQuark key = rowHelpKey();
  GObject* object = G_OBJECT(widget.gobj());
  if (!g_object_get_qdata(object, key)) {
    widget.set_has_tooltip(true);
    widget.signal_query_tooltip().connect(
        [object, key](int, int, bool, const Glib::RefPtr<Gtk::Tooltip>& tooltip) {
          const auto* text = static_cast<const char*>(g_object_get_qdata(object, key));
          if (!text || !*text) {
            return false;
          }
          tooltip->set_text(text);
          return true;
        },
        false);
  }
  g_object_set_qdata_full(object, key, g_strdup(help.c_str()), g_free);
  setAccessibleLabel(widget, label);
}

// The theme's icon that draws one of the player's symbols.
inline std::string iconName(std::string_view symbol) {
  return std::string(PlayerSymbols::iconName(symbol));
}

// Setting a label's text, even the same text, lays it out again.
inline void setText(Gtk::Label& label, const std::string& text) {
  if (label.get_text().raw() != text) {
    label.set_text(text);
  }
}

inline void setClass(Gtk::Widget& widget, const char* name, bool on) {
  if (on) {
    widget.add_css_class(name);
  } else {
    widget.remove_css_class(name);
  }
}

}  // namespace orvel
