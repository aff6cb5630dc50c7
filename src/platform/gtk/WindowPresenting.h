// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtkmm.h>

#include <cstdint>
#include <string>

namespace orvel {

// Brings a window to the front with the keyboard focus, naming the time of the user's event that
// asked for it: window managers that prevent focus stealing refuse a request without one (KWin),
// or complain of it (mutter). Every request of the program answers the user (a click in one of
// its windows, a tray entry, a second launch, the desktop's media controls); the time is the
// event's when it came from outside and was given (`noteUserEventTime`), else the X server's
// current time, since the display's last input may belong to an earlier action.
void presentWindow(Gtk::Window& window);

// The time of a user's event that reached the program from outside its windows (the click on a
// tray entry, a launch's startup notification); the next window brought to the front names it.
void noteUserEventTime(std::uint32_t time);

// Notes the time of the launch that reached the program last, when its startup notification
// carried one: the launcher's click, handed over by a second launch.
void noteLaunchEventTime();

// The time a startup notification id carries ("..._TIME<time>"), 0 when none.
std::uint32_t startupNotificationTime(const std::string& id);

}  // namespace orvel
