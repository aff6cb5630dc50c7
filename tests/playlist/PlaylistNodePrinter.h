#pragma once

#include <ostream>

#include "playlist/PlaylistLibrary.h"

namespace orvel {

// Failed expectations show nodes in their stored form rather than as raw bytes.
inline void PrintTo(const PlaylistNode& node, std::ostream* out) {
  *out << PlaylistLibrary::encode({node}).value_or("(too deep to print)");
}

}  // namespace orvel
