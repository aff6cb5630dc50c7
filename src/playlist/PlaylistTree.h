// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/Uuid.h"
#include "playlist/PlaylistLinkResolver.h"
#include "playlist/PlaylistNode.h"

namespace orvel {

// The operations on one level of the playlist tree, usually the whole library (the top-level
// array). They hold no state: pure functions, or changes in place of the array they are given.
// Every lookup walks depth first in order and takes the first match.
class PlaylistTree {
 public:
  using Nodes = std::vector<PlaylistNode>;

  // Stands for the top level ("All Videos") where a selection needs an identifier; no node has it.
  static constexpr Uuid rootID{};

  struct Location {
    // The folder directly holding the node; none at the top level.
    std::optional<Uuid> parent;
    std::size_t index = 0;
    bool operator==(const Location&) const = default;
  };

  // Every video item of the subtree, depth first, in order; folders contribute their items only.
  static Nodes items(const Nodes& nodes);
  // The items of a folder, or the node itself when it is an item.
  static Nodes items(const PlaylistNode& node);
  // Visits the items in the order of `items` without copying them, until the visitor returns
  // false; returns false when it stopped early.
  static bool forEachItem(const Nodes& nodes,
                          const std::function<bool(const PlaylistNode&)>& visit);
  static std::optional<PlaylistNode> node(const Nodes& nodes, const Uuid& id);
  // The same lookup without a copy; null when absent.
  static const PlaylistNode* find(const Nodes& nodes, const Uuid& id);
  static std::optional<Location> location(const Nodes& nodes, const Uuid& id,
                                          std::optional<Uuid> parent = std::nullopt);
  static std::size_t folderCount(const Nodes& nodes);
  // Items at every depth, counted in place: a folder may hold 100,000 of them.
  static std::size_t itemCount(const Nodes& nodes);

  // Applies the change to the first node with the id at each level it reaches; a level that holds
  // the id is not searched further, but every folder before it is.
  static void update(Nodes& nodes, const Uuid& id,
                     const std::function<void(PlaylistNode&)>& change);
  // Into the folder with that id, at the index when it is given and not beyond the child count,
  // else at the end; the node is expanded in every case, even when it is an item and nothing goes
  // in. The top level is the caller's own array.
  static void insert(Nodes& nodes, const Nodes& inserted, const Uuid& folderID,
                     std::optional<std::size_t> index = std::nullopt);
  // A match at a shallower level wins over one inside a folder before it.
  static std::optional<PlaylistNode> remove(Nodes& nodes, const Uuid& id);
  // Items only, at every depth; folders stay even when they become empty.
  static void removeItems(Nodes& nodes, const std::function<bool(const PlaylistNode&)>& predicate);

  // Gives each node whose id is in `taken`, or was met earlier in tree order, the first of
  // fresh(id, 1), fresh(id, 2)… that is not; every id the nodes end with joins `taken`. Returns
  // how many nodes changed.
  static std::size_t makeIDsUnique(Nodes& nodes, std::unordered_set<Uuid>& taken,
                                   const std::function<Uuid(const Uuid& id, int attempt)>& fresh);
  // Every id of the tree.
  static std::unordered_set<Uuid> ids(const Nodes& nodes);

  // Every folder that holds the id, at every depth, names it as played last.
  static void markPlayed(Nodes& nodes, const Uuid& id);
  // Forgets the id as last played in the folders that hold it.
  static void clearPlayed(Nodes& nodes, const Uuid& id);

  static void shuffleRecursively(Nodes& nodes);
  template <typename Generator>
  static void shuffleRecursively(Nodes& nodes, Generator& generator) {
    std::shuffle(nodes.begin(), nodes.end(), generator);
    for (PlaylistNode& node : nodes) {
      if (node.children) {
        shuffleRecursively(*node.children, generator);
      }
    }
  }

  // Shuffles the nodes after the id in its own list of siblings (a folder moves as a unit, its
  // inside untouched); nothing when the id is not found.
  static void shuffleAfter(Nodes& nodes, const Uuid& id, std::mt19937& generator);

  // The item whose link resolves to the media, preferring the given item when the same media
  // occurs more than once.
  static std::optional<PlaylistNode> item(
      const Nodes& nodes, const std::string& playingMediaID, std::optional<Uuid> preferring,
      const PlaylistLinkResolver& resolver = PlaylistLinkResolver::shared());
};

}  // namespace orvel
