// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

namespace orvel {

// Links and files the player hands to the desktop's default programs. What the player set in its
// own environment for its own sake (X11 for its window states, GTK's Cairo renderer where there is
// no GPU, the dark variant of the theme) stays with the player: the programs it opens start with
// the environment it was given.

// Sets a variable for the player alone; call before any thread starts.
void setOwnEnvironmentVariable(const char* name, const char* value);
// Opens the link or file with its default program; a failure is logged.
void openWithDesktop(const std::string& uri);

}  // namespace orvel
