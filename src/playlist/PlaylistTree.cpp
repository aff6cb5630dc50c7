// SPDX-License-Identifier: GPL-3.0-or-later

#include "playlist/PlaylistTree.h"

#include <random>

namespace orvel {
namespace {

using Nodes = PlaylistTree::Nodes;

void appendItems(const Nodes& nodes, Nodes& result) {
  for (const PlaylistNode& node : nodes) {
    if (node.children) {
      appendItems(*node.children, result);
    } else {
      result.push_back(node);
    }
  }
}

}  // namespace

Nodes PlaylistTree::items(const Nodes& nodes) {
  Nodes result;
  appendItems(nodes, result);
  return result;
}

Nodes PlaylistTree::items(const PlaylistNode& node) {
  if (node.children) {
    return items(*node.children);
  }
  return {node};
}

bool PlaylistTree::forEachItem(const Nodes& nodes,
                               const std::function<bool(const PlaylistNode&)>& visit) {
  for (const PlaylistNode& node : nodes) {
    if (node.children ? !forEachItem(*node.children, visit) : !visit(node)) {
      return false;
    }
  }
  return true;
}

const PlaylistNode* PlaylistTree::find(const Nodes& nodes, const Uuid& id) {
  for (const PlaylistNode& node : nodes) {
    if (node.id == id) {
      return &node;
    }
    if (node.children) {
      if (const PlaylistNode* hit = find(*node.children, id)) {
        return hit;
      }
    }
  }
  return nullptr;
}

std::optional<PlaylistNode> PlaylistTree::node(const Nodes& nodes, const Uuid& id) {
  if (const PlaylistNode* hit = find(nodes, id)) {
    return *hit;
  }
  return std::nullopt;
}

std::optional<PlaylistTree::Location> PlaylistTree::location(const Nodes& nodes, const Uuid& id,
                                                             std::optional<Uuid> parent) {
  for (std::size_t index = 0; index < nodes.size(); ++index) {
    const PlaylistNode& node = nodes[index];
    if (node.id == id) {
      return Location{parent, index};
    }
    if (node.children) {
      if (auto hit = location(*node.children, id, node.id)) {
        return hit;
      }
    }
  }
  return std::nullopt;
}

std::size_t PlaylistTree::folderCount(const Nodes& nodes) {
  std::size_t count = 0;
  for (const PlaylistNode& node : nodes) {
    if (node.children) {
      count += 1 + folderCount(*node.children);
    }
  }
  return count;
}

std::size_t PlaylistTree::itemCount(const Nodes& nodes) {
  std::size_t count = 0;
  for (const PlaylistNode& node : nodes) {
    count += node.children ? itemCount(*node.children) : 1;
  }
  return count;
}

void PlaylistTree::update(Nodes& nodes, const Uuid& id,
                          const std::function<void(PlaylistNode&)>& change) {
  for (PlaylistNode& node : nodes) {
    if (node.id == id) {
      change(node);
      return;
    }
    if (node.children) {
      update(*node.children, id, change);
    }
  }
}

void PlaylistTree::insert(Nodes& nodes, const Nodes& inserted, const Uuid& folderID,
                          std::optional<std::size_t> index) {
  update(nodes, folderID, [&](PlaylistNode& folder) {
    if (folder.children) {
      Nodes& children = *folder.children;
      const std::size_t at = index && *index <= children.size() ? *index : children.size();
      children.insert(children.begin() + static_cast<std::ptrdiff_t>(at), inserted.begin(),
                      inserted.end());
    }
    folder.isExpanded = true;
  });
}

std::optional<PlaylistNode> PlaylistTree::remove(Nodes& nodes, const Uuid& id) {
  for (auto node = nodes.begin(); node != nodes.end(); ++node) {
    if (node->id == id) {
      PlaylistNode removed = std::move(*node);
      nodes.erase(node);
      return removed;
    }
  }
  for (PlaylistNode& node : nodes) {
    if (node.children) {
      if (auto removed = remove(*node.children, id)) {
        return removed;
      }
    }
  }
  return std::nullopt;
}

void PlaylistTree::removeItems(Nodes& nodes,
                               const std::function<bool(const PlaylistNode&)>& predicate) {
  std::erase_if(nodes,
                [&](const PlaylistNode& node) { return !node.isFolder() && predicate(node); });
  for (PlaylistNode& node : nodes) {
    if (node.children) {
      removeItems(*node.children, predicate);
    }
  }
}

void PlaylistTree::markPlayed(Nodes& nodes, const Uuid& id) {
  for (PlaylistNode& node : nodes) {
    if (node.children && find(*node.children, id)) {
      node.lastPlayedID = id;
      markPlayed(*node.children, id);
    }
  }
}

void PlaylistTree::clearPlayed(Nodes& nodes, const Uuid& id) {
  for (PlaylistNode& node : nodes) {
    if (node.children && find(*node.children, id)) {
      if (node.lastPlayedID == id) {
        node.lastPlayedID.reset();
      }
      clearPlayed(*node.children, id);
    }
  }
}

void PlaylistTree::shuffleAfter(Nodes& nodes, const Uuid& id, std::mt19937& generator) {
  const auto place = location(nodes, id);
  if (!place) {
    return;
  }
  auto shuffleSiblings = [&](Nodes& siblings) {
    if (place->index + 1 < siblings.size()) {
      std::shuffle(siblings.begin() + static_cast<std::ptrdiff_t>(place->index) + 1, siblings.end(),
                   generator);
    }
  };
  if (place->parent) {
    update(nodes, *place->parent, [&](PlaylistNode& parent) {
      if (parent.children) {
        shuffleSiblings(*parent.children);
      }
    });
  } else {
    shuffleSiblings(nodes);
  }
}

void PlaylistTree::shuffleRecursively(Nodes& nodes) {
  thread_local std::mt19937_64 generator{std::random_device{}()};
  shuffleRecursively(nodes, generator);
}

std::optional<PlaylistNode> PlaylistTree::item(const Nodes& nodes,
                                               const std::string& playingMediaID,
                                               std::optional<Uuid> preferring,
                                               const PlaylistLinkResolver& resolver) {
  const PlaylistNode* first = nullptr;
  const PlaylistNode* preferred = nullptr;
  forEachItem(nodes, [&](const PlaylistNode& candidate) {
    auto media = candidate.url ? resolver.resolve(*candidate.url) : nullptr;
    if (!media || media->mediaID != playingMediaID) {
      return true;
    }
    if (!first) {
      first = &candidate;
    }
    if (!preferring || candidate.id == *preferring) {
      preferred = &candidate;
      return false;
    }
    return true;
  });
  const PlaylistNode* found = preferred ? preferred : first;
  return found ? std::optional<PlaylistNode>(*found) : std::nullopt;
}

std::size_t PlaylistTree::makeIDsUnique(Nodes& nodes, std::unordered_set<Uuid>& taken,
                                        const std::function<Uuid(const Uuid&, int)>& fresh) {
  std::size_t changed = 0;
  for (PlaylistNode& node : nodes) {
    if (taken.contains(node.id)) {
      const Uuid original = node.id;
      for (int attempt = 1; taken.contains(node.id); ++attempt) {
        node.id = fresh(original, attempt);
      }
      ++changed;
    }
    taken.insert(node.id);
    if (node.children) {
      changed += makeIDsUnique(*node.children, taken, fresh);
    }
  }
  return changed;
}

std::unordered_set<Uuid> PlaylistTree::ids(const Nodes& nodes) {
  std::unordered_set<Uuid> found;
  std::function<void(const Nodes&)> collect = [&](const Nodes& level) {
    for (const PlaylistNode& node : level) {
      found.insert(node.id);
      if (node.children) {
        collect(*node.children);
      }
    }
  };
  collect(nodes);
  return found;
}

}  // namespace orvel
