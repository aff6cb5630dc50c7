// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtkmm.h>

#include <string>

#include "core/Translation.h"

namespace orvel {

// The player's commands as a menu with their keys, and the window that lists every key of the
// player, the playlist, the watch history and the feedback window.
namespace KeyboardShortcuts {

// The application action that shows the keys, and its key (Ctrl+?, as GNOME programs have it).
inline constexpr const char* kAction = "shortcuts";
inline constexpr const char* kAccelerator = "<Control>question";
inline constexpr const char* kTitle = N_("Keyboard Shortcuts");

// The playback speed's and the chapters' commands; their keys ("[", "]", Backspace, Page Up,
// Page Down) are the player window's own.
inline constexpr const char* kSlowerAction = "speed-slower";
inline constexpr const char* kFasterAction = "speed-faster";
inline constexpr const char* kNormalSpeedAction = "speed-normal";
inline constexpr const char* kPreviousChapterAction = "chapter-previous";
inline constexpr const char* kNextChapterAction = "chapter-next";
// The picture that shows, saved to the Pictures folder.
inline constexpr const char* kSaveFrameAction = "save-frame";
inline constexpr const char* kSaveFrameAccelerator = "<Control>s";

// The speed and chapter commands (a submenu), the View and the Player commands, each with its key,
// then the keys window; the items act on the application's actions of the same names.
Glib::RefPtr<Gio::Menu> commandsMenu();

// The keys window, transient for the player window; closed, it hides.
std::unique_ptr<Gtk::ShortcutsWindow> makeWindow(Gtk::Window& parent);

}  // namespace KeyboardShortcuts
}  // namespace orvel
