// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "playlist/PlaylistLibrary.h"

namespace orvel {

// Failed expectations show nodes in their stored form rather than as raw bytes.
inline void PrintTo(const PlaylistNode& node, std::ostream* out) {
  *out << PlaylistLibrary::encode({node}).value_or("(too deep to print)");
}

inline std::vector<std::string> titles(const PlaylistTree::Nodes& nodes) {
  std::vector<std::string> result;
  for (const PlaylistNode& node : nodes) {
    result.push_back(node.title());
  }
  return result;
}

inline std::vector<std::pair<std::string, std::string>> namesAndLinks(
    const PlaylistTree::Nodes& nodes) {
  std::vector<std::pair<std::string, std::string>> result;
  for (const PlaylistNode& node : nodes) {
    result.emplace_back(node.name, node.url.value_or("(none)"));
  }
  return result;
}

inline std::string fileURL(const std::string& path) {
  return Url::fileURL(path)->absoluteString();
}

}  // namespace orvel
