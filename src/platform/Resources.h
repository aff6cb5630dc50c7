#pragma once

#include <optional>
#include <string>

namespace orvel {

// Files the program ships beside its code (the player page). Looked up in $ORVEL_RESOURCE_DIR,
// then next to the installed program (../share/orvel-player), then in the source tree it was
// built from.
std::optional<std::string> readResource(const std::string& name);

}  // namespace orvel
