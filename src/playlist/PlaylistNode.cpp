// SPDX-License-Identifier: GPL-3.0-or-later

#include "playlist/PlaylistNode.h"

namespace orvel {

PlaylistNode PlaylistNode::item(std::string url, std::string name) {
  PlaylistNode node;
  node.name = std::move(name);
  node.url = std::move(url);
  return node;
}

PlaylistNode PlaylistNode::folder(std::string name, std::vector<PlaylistNode> children) {
  PlaylistNode node;
  node.name = std::move(name);
  node.children = std::move(children);
  return node;
}

std::string PlaylistNode::title(const PlaylistLinkResolver& resolver) const {
  if (!name.empty()) {
    return name;
  }
  if (isFolder()) {
    return "Untitled Folder";
  }
  if (url) {
    if (auto media = resolver.resolve(*url)) {
      return media->defaultTitle;
    }
  }
  return "Video";
}

std::optional<Url> PlaylistNode::fileURL() const {
  if (!url) {
    return std::nullopt;
  }
  auto parsed = Url::parse(*url);
  if (parsed && parsed->isFileURL()) {
    return parsed;
  }
  return std::nullopt;
}

std::vector<PlaylistNode> PlaylistNode::subfolders() const {
  std::vector<PlaylistNode> folders;
  if (children) {
    for (const PlaylistNode& child : *children) {
      if (child.isFolder()) {
        folders.push_back(child);
      }
    }
  }
  return folders;
}

}  // namespace orvel

std::size_t std::hash<orvel::PlaylistNode>::operator()(
    const orvel::PlaylistNode& node) const noexcept {
  std::size_t seed = 0;
  auto combine = [&seed](std::size_t value) {
    seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
  };
  combine(std::hash<orvel::Uuid>()(node.id));
  combine(std::hash<std::string>()(node.name));
  combine(node.url ? std::hash<std::string>()(*node.url) : 1);
  combine(node.children ? node.children->size() + 2 : 0);
  if (node.children) {
    for (const orvel::PlaylistNode& child : *node.children) {
      combine((*this)(child));
    }
  }
  combine(node.isExpanded ? 3 : 4);
  combine(node.lastPlayedID ? std::hash<orvel::Uuid>()(*node.lastPlayedID) : 5);
  return seed;
}
