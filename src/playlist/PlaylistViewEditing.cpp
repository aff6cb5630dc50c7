// SPDX-License-Identifier: GPL-3.0-or-later

// The panel model's edits of the library and what it plays: adding, grouping, removing, moving
// and shuffling rows, and playing an item or a folder.

#include <algorithm>
#include <filesystem>
#include <iterator>

#include "core/Text.h"
#include "core/Translation.h"
#include "playlist/PlaylistLibrary.h"
#include "playlist/PlaylistView.h"

namespace orvel {
namespace {

std::size_t countVideos(const PlaylistTree::Nodes& nodes) {
  std::size_t count = 0;
  PlaylistTree::forEachItem(nodes, [&](const PlaylistNode&) {
    ++count;
    return true;
  });
  return count;
}

PlaylistNode newFolderNode(PlaylistView::Nodes children = {}) {
  return PlaylistNode::folder(_("New Folder"), std::move(children));
}

// Whether the folder's subtree (the folder included) holds the id.
bool subtreeHolds(const PlaylistNode& folder, const Uuid& id) {
  return folder.id == id || (folder.children && PlaylistTree::find(*folder.children, id));
}

}  // namespace

// MARK: - Editing

void PlaylistView::mutate(const std::function<void(Nodes&)>& change) {
  Nodes edited = library();
  change(edited);
  inputs_.setLibrary(std::move(edited));
  libraryChanged();
}

std::optional<Uuid> PlaylistView::parentFolder(const Uuid& id) const {
  const auto found = PlaylistTree::location(library(), id);
  return found ? found->parent : std::nullopt;
}

std::vector<Uuid> PlaylistView::inRowOrder(const Ids& ids) const {
  std::vector<Uuid> ordered;
  for (const PlaylistNode* node : visibleNodes()) {
    if (ids.contains(node->id) &&
        std::find(ordered.begin(), ordered.end(), node->id) == ordered.end()) {
      ordered.push_back(node->id);
    }
  }
  return ordered;
}

void PlaylistView::add(Nodes nodes) {
  const std::size_t present = countVideos(library());
  const std::size_t adding = countVideos(nodes);
  if (present + adding > PlaylistLibrary::kLargestLibrary) {
    setErrorMessage(PlaylistLibrary::tooManyVideos(adding, present));
    return;
  }
  const auto folder = folderID();
  mutate([&](Nodes& edited) {
    // A file added again is a row of its own: its copy gets a new id, so that what the user
    // does to one row (rename, move, remove, play) never lands on the other.
    auto taken = PlaylistTree::ids(edited);
    PlaylistTree::makeIDsUnique(nodes, taken, [](const Uuid&, int) { return Uuid::random(); });
    if (folder) {
      PlaylistTree::insert(edited, nodes, *folder);
    } else {
      edited.insert(edited.end(), std::make_move_iterator(nodes.begin()),
                    std::make_move_iterator(nodes.end()));
    }
  });
  setErrorMessage(std::nullopt);
}

void PlaylistView::addURL() {
  const std::string text = std::string(trimmedWhitespace(newURL_));
  if (text.empty()) {
    return;
  }
  if (!deps_.registry.resolve(text)) {
    setErrorMessage(translated(kAddURLFailure));
    return;
  }
  newURL_.clear();
  add({PlaylistNode::item(text)});
}

void PlaylistView::addFiles(Nodes found) {
  if (found.empty()) {
    setErrorMessage(translated(kAddFilesFailure));
    return;
  }
  add(std::move(found));
}

PlaylistView::Nodes PlaylistView::nodesForFiles(const std::vector<Url>& chosen) {
  Nodes nodes;
  for (const Url& file : chosen) {
    if (auto found = PlaylistLibrary::nodeForFile(file)) {
      nodes.push_back(std::move(*found));
    }
  }
  return nodes;
}

void PlaylistView::newFolder() {
  PlaylistNode folder = newFolderNode();
  const Uuid id = folder.id;
  add({std::move(folder)});
  selection_ = {id};
  beginRename(id);
}

void PlaylistView::groupIntoFolder(const Ids& ids) {
  const std::vector<Uuid> ordered = inRowOrder(ids);
  if (ordered.empty()) {
    return;
  }
  const auto place = PlaylistTree::location(library(), ordered.front());
  if (!place) {
    return;
  }
  PlaylistNode folder = newFolderNode();
  const Uuid id = folder.id;
  mutate([&](Nodes& edited) {
    for (const Uuid& each : ordered) {
      if (auto removed = PlaylistTree::remove(edited, each)) {
        folder.children->push_back(std::move(*removed));
      }
    }
    if (place->parent) {
      PlaylistTree::insert(edited, {std::move(folder)}, *place->parent, place->index);
    } else {
      const std::size_t index = std::min(place->index, edited.size());
      edited.insert(edited.begin() + static_cast<std::ptrdiff_t>(index), std::move(folder));
    }
  });
  selection_ = {id};
  beginRename(id);
}

void PlaylistView::remove(const Ids& ids) {
  if (ids.empty()) {
    return;
  }
  mutate([&](Nodes& edited) {
    for (const Uuid& id : ids) {
      PlaylistTree::remove(edited, id);
    }
  });
  for (const Uuid& id : ids) {
    selection_.erase(id);
  }
  changed();
}

bool PlaylistView::canMove(int offset) const {
  if (selection_.size() != 1) {
    return false;
  }
  const auto place = PlaylistTree::location(library(), *selection_.begin());
  if (!place) {
    return false;
  }
  const PlaylistNode* parent = place->parent ? node(*place->parent) : nullptr;
  const std::size_t count = place->parent
                                ? (parent && parent->children ? parent->children->size() : 0)
                                : library().size();
  const long target = static_cast<long>(place->index) + offset;
  return target >= 0 && target < static_cast<long>(count);
}

void PlaylistView::move(int offset) {
  if (!canMove(offset)) {
    return;
  }
  const Uuid id = *selection_.begin();
  const auto place = PlaylistTree::location(library(), id);
  const std::size_t target = static_cast<std::size_t>(static_cast<long>(place->index) + offset);
  mutate([&](Nodes& edited) {
    auto removed = PlaylistTree::remove(edited, id);
    if (!removed) {
      return;
    }
    if (place->parent) {
      PlaylistTree::insert(edited, {std::move(*removed)}, *place->parent, target);
    } else {
      edited.insert(edited.begin() + static_cast<std::ptrdiff_t>(std::min(target, edited.size())),
                    std::move(*removed));
    }
  });
}

void PlaylistView::moveRows(const std::vector<std::size_t>& offsets, std::size_t destination) {
  if (!canReorder() || offsets.empty()) {
    return;
  }
  const auto folder = folderID();
  mutate([&](Nodes& edited) {
    Nodes* children = &edited;
    if (folder) {
      children = nullptr;
      PlaylistTree::update(edited, *folder, [&children](PlaylistNode& found) {
        if (found.children) {
          children = &*found.children;
        }
      });
      if (!children) {
        return;
      }
    }
    std::set<std::size_t> moving;
    for (std::size_t offset : offsets) {
      if (offset < children->size()) {
        moving.insert(offset);
      }
    }
    destination = std::min(destination, children->size());
    Nodes picked;
    Nodes kept;
    std::size_t insertAt = 0;
    for (std::size_t index = 0; index < children->size(); ++index) {
      if (index == destination) {
        insertAt = kept.size();
      }
      (moving.contains(index) ? picked : kept).push_back(std::move((*children)[index]));
    }
    if (destination == children->size()) {
      insertAt = kept.size();
    }
    kept.insert(kept.begin() + static_cast<std::ptrdiff_t>(insertAt),
                std::make_move_iterator(picked.begin()), std::make_move_iterator(picked.end()));
    *children = std::move(kept);
  });
}

void PlaylistView::move(const Ids& ids, std::optional<Uuid> target) {
  if (target) {
    const PlaylistNode* folder = node(*target);
    if (!folder || !folder->isFolder()) {
      return;
    }
    for (const Uuid& id : ids) {
      const PlaylistNode* moving = node(id);
      if (id == *target || (moving && moving->isFolder() && subtreeHolds(*moving, *target))) {
        return;
      }
    }
  }
  std::vector<Uuid> ordered = inRowOrder(ids);
  for (const Uuid& id : ids) {
    if (std::find(ordered.begin(), ordered.end(), id) == ordered.end()) {
      ordered.push_back(id);
    }
  }
  mutate([&](Nodes& edited) {
    Nodes removed;
    for (const Uuid& id : ordered) {
      if (auto node = PlaylistTree::remove(edited, id)) {
        removed.push_back(std::move(*node));
      }
    }
    if (target) {
      PlaylistTree::insert(edited, removed, *target);
    } else {
      edited.insert(edited.end(), std::make_move_iterator(removed.begin()),
                    std::make_move_iterator(removed.end()));
    }
  });
}

std::vector<PlaylistView::FolderChoice> PlaylistView::folderChoices(const Ids& excluding) const {
  std::vector<FolderChoice> choices;
  std::function<void(const Nodes&, std::size_t)> walk = [&](const Nodes& nodes, std::size_t depth) {
    for (const PlaylistNode& each : nodes) {
      if (!each.isFolder() || excluding.contains(each.id)) {
        continue;
      }
      choices.push_back({each.id, std::string(depth * 4, ' ') + each.title()});
      walk(*each.children, depth + 1);
    }
  };
  walk(library(), 0);
  return choices;
}

void PlaylistView::shuffleAll() {
  mutate([this](Nodes& edited) { PlaylistTree::shuffleRecursively(edited, random_); });
}

PlaylistView::Nodes PlaylistView::remainingSiblings() const {
  const auto current = currentItemID();
  const auto place = current ? PlaylistTree::location(library(), *current) : std::nullopt;
  if (!place) {
    return {};
  }
  const Nodes* siblings = &library();
  if (place->parent) {
    const PlaylistNode* parent = node(*place->parent);
    if (!parent || !parent->children) {
      return {};
    }
    siblings = &*parent->children;
  }
  if (place->index + 1 >= siblings->size()) {
    return {};
  }
  return Nodes(siblings->begin() + static_cast<std::ptrdiff_t>(place->index) + 1, siblings->end());
}

void PlaylistView::shuffleRemaining() {
  const auto current = currentItemID();
  if (!current || !PlaylistTree::location(library(), *current)) {
    return;
  }
  mutate([&](Nodes& edited) { PlaylistTree::shuffleAfter(edited, *current, random_); });
}

void PlaylistView::cycleRepeat() {
  PlaylistRepeat next = PlaylistRepeat::off;
  switch (repeatMode()) {
    case PlaylistRepeat::off:
      next = PlaylistRepeat::all;
      break;
    case PlaylistRepeat::all:
      next = PlaylistRepeat::one;
      break;
    case PlaylistRepeat::one:
      next = PlaylistRepeat::off;
      break;
  }
  storePlaylistRepeat(deps_.defaults, next);
  if (inputs_.onRepeatChanged) {
    inputs_.onRepeatChanged();
  }
  changed();
}

void PlaylistView::play(const Uuid& id) {
  const PlaylistNode* found = node(id);
  if (!found) {
    return;
  }
  if (found->isFolder()) {
    inputs_.onPlay(resumeID(id), id);
  } else {
    inputs_.onPlay(id, parentFolder(id));
  }
}

void PlaylistView::activate(const Uuid& id) {
  const PlaylistNode* found = node(id);
  if (found && found->isFolder()) {
    openFolder(id);
  } else if (found) {
    play(id);
  }
}

bool PlaylistView::canPlayScope() const {
  return itemCount(folderID()) > 0;
}

void PlaylistView::playScope() {
  if (canPlayScope()) {
    inputs_.onPlay(resumeID(folderID()), folderID());
  }
}

void PlaylistView::playScopeFromBeginning() {
  if (canPlayScope()) {
    inputs_.onPlay(std::nullopt, folderID());
  }
}

void PlaylistView::playSidebarScope(std::optional<Uuid> scope) {
  if (scope && !node(*scope)) {
    return;
  }
  inputs_.onPlay(resumeID(scope), scope);
}

void PlaylistView::toggleExpanded(const Uuid& folder) {
  if (const PlaylistNode* found = node(folder); !found || !found->isFolder()) {
    return;
  }
  mutate([&](Nodes& edited) {
    PlaylistTree::update(edited, folder,
                         [](PlaylistNode& found) { found.isExpanded = !found.isExpanded; });
  });
}

}  // namespace orvel
