// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

#include "core/Url.h"

namespace orvel {

// Links and files the player hands to the desktop's default programs. What the player set in its
// own environment for its own sake (X11 for its window states, GTK's Cairo renderer where there is
// no GPU, the dark variant of the theme) stays with the player: the programs it opens start with
// the environment it was given.

// Sets a variable for the player alone; call before any thread starts.
void setOwnEnvironmentVariable(const char* name, const char* value);
// Opens the link or file with its default program; a failure is logged.
void openWithDesktop(const std::string& uri);
// Asks the desktop's file manager to show the file selected in its folder, or else opens the
// folder.
void showInFileManager(const Url& file);

}  // namespace orvel
