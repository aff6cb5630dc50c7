// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <string_view>

namespace orvel {

// The text to open for a command-line argument, as a dropped link is opened: links pass as they
// are, and a path to an existing file (relative to the launching shell's folder) becomes its file
// URL, so a second launch from another folder opens the right file. A file URL, as a file manager
// passes it, becomes the URL that its path would give.
std::string launchArgumentText(std::string_view argument, std::string_view workingDirectory);

}  // namespace orvel
