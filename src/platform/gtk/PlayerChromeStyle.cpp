// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/gtk/PlayerChromeStyle.h"

#include <gtkmm.h>

#include <string>

#include "chrome/PlayerSymbols.h"
#include "platform/shell/Resources.h"

namespace orvel::PlayerChromeStyle {
namespace {

// accent rgb(255, 105, 74); panel rgb(39, 56, 73); equalizer knob grey 0.82 (209).
constexpr const char* kStyle = R"CSS(
window.orvel-player { background: transparent; }
.orvel-player-view.orvel-rounded { border-radius: 6px; }
.orvel-content { background: #000; }
.orvel-top-band { background: #000; }

.orvel-status {
  color: #fff; font-size: 13px; font-weight: 500;
  padding: 8px 14px; border-radius: 4px;
  background: rgba(28, 28, 30, 0.78);
  box-shadow: 0 2px 10px rgba(0, 0, 0, 0.35);
  transition: opacity 180ms ease-in-out;
}
.orvel-status.orvel-hidden { opacity: 0; }
.orvel-drop-prompt {
  border-radius: 4px; border: 2px solid rgba(255, 0, 0, 0.6);
  background: rgba(20, 20, 22, 0.72);
}
.orvel-drop-disc { border-radius: 38px; background: rgba(255, 0, 0, 0.18); min-width: 76px;
  min-height: 76px; color: #fff; font-size: 30px; font-weight: 600; }
.orvel-drop-title { color: #fff; font-size: 20px; font-weight: 600; }
.orvel-drop-line { color: rgba(255, 255, 255, 0.6); font-size: 13px; }

.orvel-bars { transition: opacity 180ms ease-in-out; }
.orvel-bars.orvel-hidden { opacity: 0; }
.orvel-top-bar {
  background-image: linear-gradient(to bottom, rgba(0, 0, 0, 0.52), rgba(0, 0, 0, 0.16) 70%,
    rgba(0, 0, 0, 0));
  padding: 40px 24px 6px 24px;
}
.orvel-title {
  color: #fff; font-size: 24px; font-weight: 600; min-height: 36px;
  text-shadow: 0 2px 4px rgba(0, 0, 0, 0.5);
}

.orvel-toolbar {
  color: #fff;
  padding: 8px 14px;
  margin: 0 8px 8px 8px;
  border-radius: 4px;
  background-color: rgba(39, 56, 73, 0.94);
  border: 1px solid rgba(255, 255, 255, 0.06);
  box-shadow: 0 4px 12px rgba(0, 0, 0, 0.2);
}
.orvel-time {
  font-size: 11px; font-weight: 500; font-feature-settings: "tnum";
  color: rgba(255, 255, 255, 0.85);
}
.orvel-icon-button, .orvel-icon-button > button {
  min-width: 28px; min-height: 28px; padding: 0; border-radius: 5px;
  color: #fff; background: none; box-shadow: none; border: none;
}
.orvel-icon-button:hover:not(:disabled), .orvel-icon-button > button:hover {
  background-color: rgba(255, 255, 255, 0.1);
}
.orvel-icon-button:disabled { color: rgba(255, 255, 255, 0.35); }
.orvel-icon-button image { -gtk-icon-size: 18px; }
.orvel-accent, .orvel-accent > button, image.orvel-accent { color: rgb(255, 105, 74); }
.orvel-transport {
  min-width: 38px; min-height: 28px; padding: 0; border-radius: 6px; color: #fff;
  background: none; box-shadow: none; border: none;
}
.orvel-transport:hover { background-color: rgba(255, 255, 255, 0.1); }
.orvel-transport image { -gtk-icon-size: 26px; }

scale.orvel-seek { padding: 0; min-height: 20px; }
scale.orvel-seek trough {
  min-height: 3px; border-radius: 1.5px; margin: 0 6px;
  background-color: rgba(255, 255, 255, 0.35); border: none; box-shadow: none;
}
scale.orvel-seek:disabled trough { background-color: rgba(255, 255, 255, 0.15); }
scale.orvel-seek highlight { background-color: rgb(255, 105, 74); border-radius: 1.5px;
  border: none; min-height: 3px; margin: 0; }
scale.orvel-seek slider, scale.orvel-seek slider:hover, scale.orvel-seek slider:active {
  min-width: 12px; min-height: 12px; margin: -5px; border-radius: 6px;
  background-color: #fff; background-image: none; border: none; box-shadow: none;
}
scale.orvel-seek:disabled slider { background-color: rgba(255, 255, 255, 0.35); }

scale.orvel-volume { padding: 0; }
scale.orvel-volume trough {
  min-height: 3px; border-radius: 1.5px; margin: 0 6px;
  background-color: rgba(255, 255, 255, 0.35); border: none; box-shadow: none;
}
scale.orvel-volume highlight { background-color: rgba(255, 255, 255, 0.85); border-radius: 1.5px;
  border: none; min-height: 3px; margin: 0; }
scale.orvel-volume slider, scale.orvel-volume slider:hover, scale.orvel-volume slider:active {
  min-width: 12px; min-height: 12px; margin: -5px; border-radius: 6px;
  background-color: #fff; background-image: none; border: none; box-shadow: none;
}

scale.orvel-band { padding: 0; }
scale.orvel-band trough { min-width: 3px; background: none; border: none; box-shadow: none;
  margin: 8px 0; }
scale.orvel-band slider {
  min-width: 26px; min-height: 11px; margin: 0 -12px; border-radius: 3.5px;
  background-color: rgb(209, 209, 209); border: 1px solid rgba(255, 255, 255, 0.5);
  box-shadow: none;
  background-image: linear-gradient(to bottom, transparent 4px, rgb(39, 56, 73) 4px,
    rgb(39, 56, 73) 5px, transparent 5px);
  background-size: 18px 9px; background-position: center; background-repeat: no-repeat;
}
scale.orvel-band:disabled slider { background-color: rgba(209, 209, 209, 0.58);
  border-color: rgba(255, 255, 255, 0.18); }

/* Where the keyboard is: a ring in the accent colour. */
.orvel-icon-button:focus-visible, .orvel-icon-button > button:focus-visible,
.orvel-transport:focus-visible, popover.orvel-popover button:focus-visible {
  outline: 2px solid rgba(255, 105, 74, 0.9); outline-offset: -2px;
}
scale.orvel-seek:focus-visible slider, scale.orvel-volume:focus-visible slider {
  box-shadow: 0 0 0 3px rgba(255, 105, 74, 0.7);
}
scale.orvel-seek:focus-visible trough, scale.orvel-volume:focus-visible trough,
scale.orvel-band:focus-visible trough { outline: none; }
scale.orvel-band:focus-visible slider { border-color: rgb(255, 105, 74); }

popover.orvel-popover > contents { padding: 16px; background-color: rgb(39, 56, 73);
  color: #fff; }
popover.orvel-popover > arrow { background-color: rgb(39, 56, 73); }
.orvel-headline { font-weight: 700; font-size: 14px; }
.orvel-caption { font-size: 11px; color: rgba(255, 255, 255, 0.55); }
.orvel-body { font-size: 13px; }
.orvel-eq-icon { border-radius: 7px; background-color: rgba(255, 105, 74, 0.1);
  color: rgba(255, 255, 255, 0.55); }
.orvel-eq-icon.orvel-enabled { background-color: rgba(255, 105, 74, 0.2);
  color: rgb(255, 105, 74); }
.orvel-eq-reset { font-size: 11px; color: rgba(255, 255, 255, 0.85); }
.orvel-eq-reset:disabled { color: rgba(255, 255, 255, 0.35); }
.orvel-equalizer switch:checked { background-color: rgb(255, 105, 74); }
.orvel-gain { font-size: 11px; font-weight: 600; font-feature-settings: "tnum"; }
.orvel-gain-accent { color: rgb(255, 105, 74); }
.orvel-gain-dimmed { color: rgba(255, 255, 255, 0.58); }
.orvel-gain-zero { color: rgba(255, 255, 255, 0.72); }
.orvel-band-label { font-size: 9.5px; font-weight: 500; font-feature-settings: "tnum";
  color: rgba(255, 255, 255, 0.55); }
.orvel-eq-note { font-size: 11px; color: rgba(255, 255, 255, 0.55); }
.orvel-eq-error { color: rgb(255, 59, 48); padding: 6px 8px; border-radius: 4px;
  background-color: rgba(255, 59, 48, 0.08); font-size: 11px; }
.orvel-row-button { padding: 4px 0; color: #fff; }

window.orvel-playlist { background-color: rgb(39, 56, 73); color: #fff; }
window.orvel-feedback { background-color: rgb(39, 56, 73); color: #fff; }
window.orvel-history { background-color: rgb(39, 56, 73); color: #fff; }
.orvel-history-heading { font-size: 15px; font-weight: 700; }
.orvel-history-count { color: rgba(255, 255, 255, 0.6); font-size: 11px; font-feature-settings: "tnum"; }
.orvel-history-row { padding: 8px; border-bottom: 1px solid rgba(255, 255, 255, 0.06); }
.orvel-history-title { color: #fff; }
.orvel-history-resume { color: rgba(255, 255, 255, 0.6); font-size: 11px; }
.orvel-history-chip { font-size: 11px; padding: 0 8px; min-height: 28px; }
.orvel-history-dot { font-size: 6px; }
.orvel-history-remove { color: rgb(255, 69, 58); min-width: 28px; min-height: 28px; padding: 0; }
.orvel-history-thumbnail { border-radius: 3px; background-color: rgba(255, 255, 255, 0.07); }
.orvel-feedback-heading { font-weight: 700; }
.orvel-feedback-status { color: rgba(255, 255, 255, 0.6); font-size: 11px; }
.orvel-star { padding: 2px; min-width: 0; min-height: 0; color: rgba(255, 255, 255, 0.45); }
.orvel-star-filled { color: rgb(255, 204, 0); }
window.orvel-feedback .linked > button:checked { background: rgba(255, 105, 74, 0.85);
  color: #fff; }
.orvel-playlist-header { padding: 14px 18px 10px 18px; }
.orvel-playlist-heading { font-size: 20px; font-weight: 700; }
.orvel-playlist-summary { color: rgba(255, 255, 255, 0.6); font-size: 12px; }
.orvel-sidebar-scroller { background-color: rgba(0, 0, 0, 0.16);
  border-right: 1px solid rgba(255, 255, 255, 0.06); }
listview.orvel-sidebar { background: none; padding: 6px; }
listview.orvel-sidebar > row { border-radius: 6px; padding: 4px 8px; margin: 1px 0; }
listview.orvel-sidebar > row:selected { background-color: rgba(255, 105, 74, 0.30); }
.orvel-sidebar-count { color: rgba(255, 255, 255, 0.55); font-size: 11px;
  font-feature-settings: "tnum"; }
.orvel-disclosure { min-width: 18px; min-height: 18px; padding: 0; }
.orvel-detail-header { padding: 8px 14px; border-bottom: 1px solid rgba(255, 255, 255, 0.06); }
.orvel-crumb { padding: 2px 6px; color: rgba(255, 255, 255, 0.7); }
.orvel-crumb-current { font-weight: 700; padding: 2px 6px; }
.orvel-crumb-chevron { color: rgba(255, 255, 255, 0.4); }
gridview.orvel-playlist-list { background: none; }
gridview.orvel-playlist-list > child { padding: 6px 14px; border-bottom: 1px solid rgba(255, 255, 255, 0.04); }
gridview.orvel-playlist-list > child box { margin: 0; border-spacing: 0; }
gridview.orvel-playlist-list > child:selected { background-color: rgba(255, 105, 74, 0.22); }
.orvel-playlist-artwork { border-radius: 4px; background-color: rgba(255, 255, 255, 0.07);
  color: #fff; }
.orvel-playlist-current .orvel-playlist-artwork { color: rgb(255, 105, 74); }
.orvel-playlist-title { font-weight: 600; }
.orvel-playlist-subtitle { color: rgba(255, 255, 255, 0.6); font-size: 12px; }
.orvel-playlist-current .orvel-playlist-title { color: rgb(255, 105, 74); }
progressbar.orvel-playlist-progress { min-height: 3px; margin-top: 2px; }
progressbar.orvel-playlist-progress trough { min-height: 3px; min-width: 120px;
  background-color: rgba(255, 255, 255, 0.18); border: none; }
progressbar.orvel-playlist-progress progress { min-height: 3px; margin: 0; min-width: 0;
  background-color: rgb(255, 105, 74); border: none; }
.orvel-playlist-resume { color: rgba(255, 255, 255, 0.75); font-size: 11px; }
.orvel-playlist-resume-button { padding: 0 8px; min-height: 20px; font-size: 11px; }
.orvel-playlist-missing { color: rgb(255, 159, 10); font-size: 11px; }
button.orvel-row-action { opacity: 0; min-width: 16px; min-height: 16px; padding: 6px;
  border-radius: 5px; background-color: transparent;
  background-repeat: no-repeat; background-position: center; background-size: 16px 16px; }
button.orvel-row-action:hover { background-color: rgba(255, 255, 255, 0.1); }
button.orvel-row-action:active { background-color: rgba(255, 255, 255, 0.16); }
button.orvel-row-action:focus-visible { outline: 2px solid rgba(255, 105, 74, 0.9);
  outline-offset: -2px; }
gridview.orvel-playlist-list > child:hover .orvel-row-action,
gridview.orvel-playlist-list > child:selected .orvel-row-action,
gridview.orvel-playlist-list > child:focus-within .orvel-row-action { opacity: 1; }
.orvel-add-bar { padding: 10px 14px 6px 14px; border-top: 1px solid rgba(255, 255, 255, 0.06); }
.orvel-playlist-error { margin: 0 14px 6px 14px; padding: 6px 8px; border-radius: 4px;
  color: rgb(255, 59, 48); background-color: rgba(255, 59, 48, 0.08); }
.orvel-playlist-footer { padding: 6px 14px 12px 14px; }
.orvel-empty-state { padding: 24px; }
.orvel-empty-title { font-size: 18px; font-weight: 700; }
.orvel-empty-message { color: rgba(255, 255, 255, 0.6); }
)CSS";

}  // namespace

void load() {
  static bool loaded = false;
  auto display = Gdk::Display::get_default();
  if (loaded || !display) {
    return;
  }
  loaded = true;
  // The player's controls are light on dark, and so are its popovers and dialogs.
  if (auto settings = Gtk::Settings::get_for_display(display)) {
    settings->property_gtk_application_prefer_dark_theme() = true;
  }
  // The playlist rows' buttons take their symbols from here, by the same names as every other
  // control.
  auto symbol = [](const char* button, std::string_view name) {
    return std::string("button.") + button + " { background-image: -gtk-icontheme(\"" +
           std::string(PlayerSymbols::iconName(name)) + "\"); }\n";
  };
  auto provider = Gtk::CssProvider::create();
  provider->load_from_data(std::string(kStyle) + symbol("orvel-row-move", "folder.move") +
                           symbol("orvel-row-more", "ellipsis.circle"));
  Gtk::StyleContext::add_provider_for_display(display, provider,
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  // The two symbols the toolkit's icon theme has no icon for.
  if (auto icons = resourcePath("icons")) {
    Gtk::IconTheme::get_for_display(display)->add_search_path(*icons);
  }
}

}  // namespace orvel::PlayerChromeStyle
