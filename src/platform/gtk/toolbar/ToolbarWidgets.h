// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtkmm.h>

#include <string>

#include "core/Translation.h"
#include "platform/gtk/WidgetHelpers.h"

namespace orvel {

// Widgets the toolbar and its popovers share.

inline Gtk::Label& makeToolbarLabel(const std::string& text, const char* cssClass) {
  auto* label = Gtk::make_managed<Gtk::Label>(text);
  label->add_css_class(cssClass);
  label->set_xalign(0);
  return *label;
}

inline void configureVolumeSlider(Gtk::Scale& slider) {
  slider.set_range(0, 1);
  slider.set_increments(0.05, 0.1);
  slider.set_draw_value(false);
  slider.add_css_class("orvel-volume");
  slider.set_size_request(88, 26);
  describe(slider, _("Volume"), _("Adjust volume"));
}

}  // namespace orvel
