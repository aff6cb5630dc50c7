// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/Url.h"
#include "core/Uuid.h"
#include "playlist/PlaylistLinkResolver.h"

namespace orvel {

// One node of the playlist tree: a video item with a link, or a folder with children. A plain
// value; equality and hashing compare all six fields.
struct PlaylistNode {
  // Unique within the library. Nodes made from files take an id derived from the path (so a scan
  // of the media folder finds its folders again); a copy added where that id is taken, or read
  // from a library stored before ids were kept unique, gets another.
  Uuid id = Uuid::random();
  // Empty means the title is derived.
  std::string name;
  // An absolute URL string: a web link or a file URL. An item without one never resolves.
  std::optional<std::string> url;
  // Present (possibly empty) exactly when the node is a folder.
  std::optional<std::vector<PlaylistNode>> children;
  bool isExpanded = true;
  // On folders only: the item of this folder's subtree that was played last. Not cleaned when
  // that item goes, so readers check it still names an item of the folder.
  std::optional<Uuid> lastPlayedID;

  static PlaylistNode item(std::string url, std::string name = {});
  static PlaylistNode folder(std::string name, std::vector<PlaylistNode> children = {});

  bool isFolder() const { return children.has_value(); }

  // The name, else "Untitled Folder" for a folder, else the media's default title, else "Video".
  std::string title(const PlaylistLinkResolver& resolver = PlaylistLinkResolver::shared()) const;
  // The link when it parses as a file URL.
  std::optional<Url> fileURL() const;
  // The direct children that are folders, in order.
  std::vector<PlaylistNode> subfolders() const;

  bool operator==(const PlaylistNode&) const = default;
};

}  // namespace orvel

template <>
struct std::hash<orvel::PlaylistNode> {
  std::size_t operator()(const orvel::PlaylistNode& node) const noexcept;
};
