// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orvel {

// Files the program ships beside its code (the player page, icons). Looked up next to the
// installed program (../share/orvel-player), then in the source tree it was built from; never
// in a folder the environment names, since the player page runs with the player's rights.
std::optional<std::string> readResource(const std::string& name);
// The first of those folders that holds the named file or folder.
std::optional<std::string> resourcePath(const std::string& name);
// The folder of the translations' catalogues: the installation's own (../share/locale), the build
// folder's for a program run from there, else the one it was built for.
std::string localeFolder();

// Where the native media module may be, in order: beside the program (its build folder), in the
// installation's library folder found from where the program runs, then the one it was built for.
std::vector<std::string> nativeMediaModulePaths();

}  // namespace orvel
