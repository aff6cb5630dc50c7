// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/PlayQueue.h"

#include <utility>

#include "core/PropertyList.h"
#include "playlist/PlaylistLibrary.h"
#include "playlist/PlaylistRepeat.h"

namespace orvel {

PlayQueue::PlayQueue(Host host, Defaults& defaults, const StreamingProviderRegistry& registry,
                     const PlaylistLinkResolver& resolver)
    : host_(std::move(host)), defaults_(defaults), registry_(registry), resolver_(resolver) {}

const PlaylistTree::Nodes& PlayQueue::scopeNodes() const {
  const auto& library = host_.library();
  if (scope_) {
    const PlaylistNode* folder = PlaylistTree::find(library, *scope_);
    if (folder && folder->isFolder() && !folder->children->empty()) {
      return *folder->children;
    }
  }
  return library;
}

PlaylistTree::Nodes PlayQueue::items() const {
  return PlaylistTree::items(scopeNodes());
}

// Counted in place: the toolbar asks on every refresh, and a copy of a large queue each time would
// cost more than the refresh itself.
PlayQueue::Place PlayQueue::place() const {
  Place place;
  PlaylistTree::forEachItem(scopeNodes(), [&](const PlaylistNode& item) {
    if (!place.index && itemID_ && item.id == *itemID_) {
      place.index = place.count;
    }
    ++place.count;
    return true;
  });
  return place;
}

std::optional<std::size_t> PlayQueue::index() const {
  return itemID_ ? place().index : std::nullopt;
}

std::optional<std::string> PlayQueue::mediaID(const PlaylistNode& item) const {
  auto media = item.url ? resolver_.resolve(*item.url) : nullptr;
  return media ? std::optional(media->mediaID) : std::nullopt;
}

void PlayQueue::syncPosition(const std::string& playing) {
  const auto& library = host_.library();
  if (itemID_) {
    const PlaylistNode* current = PlaylistTree::find(library, *itemID_);
    if (current && !current->isFolder() && mediaID(*current) == playing) {
      return;
    }
  }
  auto found = PlaylistTree::item(
      library, playing, PlaylistLibrary::storedID(defaults_, PlaylistLibrary::kLastPlayedKey),
      resolver_);
  if (!found) {
    itemID_.reset();
    return;
  }
  std::optional<Uuid> scope;
  if (auto stored = PlaylistLibrary::storedID(defaults_, PlaylistLibrary::kScopeKey)) {
    const PlaylistNode* folder = PlaylistTree::find(library, *stored);
    if (folder && folder->isFolder() && PlaylistTree::find(*folder->children, found->id)) {
      scope = stored;
    }
  }
  if (!scope) {
    if (auto location = PlaylistTree::location(library, found->id)) {
      scope = location->parent;
    }
  }
  scope_ = scope;
  itemID_ = found->id;
}

bool PlayQueue::play(std::size_t position, bool advancing) {
  const auto queue = items();
  if (position >= queue.size() || !queue[position].url) {
    return false;
  }
  const PlaylistNode& item = queue[position];
  auto media = registry_.resolve(*item.url);
  if (!media) {
    return false;
  }
  itemID_ = item.id;
  advancedTo_ = advancing ? std::optional(item.id) : std::nullopt;
  if (!advancing) {
    unreadableAdvances_ = 0;
  }
  auto library = host_.library();
  PlaylistTree::markPlayed(library, item.id);
  host_.setLibrary(std::move(library));
  defaults_.set(PlaylistLibrary::kLastPlayedKey, PropertyList(item.id.uuidString()));
  defaults_.set(PlaylistLibrary::kScopeKey,
                PropertyList(scope_ ? scope_->uuidString() : std::string()));
  host_.play(*media);
  return true;
}

void PlayQueue::playRequest(std::optional<Uuid> itemID, std::optional<Uuid> scope) {
  scope_ = scope;
  const auto queue = items();
  for (std::size_t position = 0; position < queue.size(); ++position) {
    if (queue[position].id == itemID) {
      play(position);
      return;
    }
  }
  if (!queue.empty()) {
    play(0);
  }
}

void PlayQueue::advance() {
  const auto position = index();
  if (!position) {
    return;
  }
  const auto queue = items();
  const PlaylistRepeat repeat = storedPlaylistRepeat(defaults_);
  std::size_t next = *position;
  switch (repeat) {
    case PlaylistRepeat::off:
      next = *position + 1;
      if (next >= queue.size()) {
        // The queue ran out: the item is no longer the one to resume, and nothing plays.
        const Uuid ended = queue[*position].id;
        auto library = host_.library();
        PlaylistTree::clearPlayed(library, ended);
        host_.setLibrary(std::move(library));
        if (PlaylistLibrary::storedID(defaults_, PlaylistLibrary::kLastPlayedKey) == ended) {
          defaults_.remove(PlaylistLibrary::kLastPlayedKey);
        }
        itemID_.reset();
        host_.changed();
        return;
      }
      break;
    case PlaylistRepeat::all:
      next = *position + 1 < queue.size() ? *position + 1 : 0;
      break;
    case PlaylistRepeat::one:
      break;
  }
  if (repeat != PlaylistRepeat::off) {
    if (auto id = mediaID(queue[next])) {
      host_.setPlaybackPosition(*id, 0);
    }
  }
  play(next, true);
}

bool PlayQueue::mayPassOverUnreadableItem() {
  return itemID_ && advancedTo_ == itemID_ &&
         storedPlaylistRepeat(defaults_) != PlaylistRepeat::one &&
         ++unreadableAdvances_ < items().size();
}

PlaylistRepeat PlayQueue::repeat() const {
  return storedPlaylistRepeat(defaults_);
}

void PlayQueue::setRepeat(PlaylistRepeat repeat) {
  if (repeat != storedPlaylistRepeat(defaults_)) {
    storePlaylistRepeat(defaults_, repeat);
    host_.changed();
  }
}

void PlayQueue::shuffleRemaining() {
  if (!itemID_) {
    return;
  }
  auto library = host_.library();
  PlaylistTree::shuffleAfter(library, *itemID_, random_);
  host_.setLibrary(std::move(library));
}

bool PlayQueue::isYouTubePlaylistPlaying() const {
  const auto& current = host_.currentVideoID();
  return current && current->starts_with("youtube-playlist:");
}

bool PlayQueue::hasPrevious() const {
  if (isYouTubePlaylistPlaying()) {
    return true;
  }
  const auto position = index();
  return position && *position >= 1;
}

bool PlayQueue::hasNext() const {
  if (isYouTubePlaylistPlaying()) {
    return true;
  }
  const Place current = place();
  return current.index && *current.index + 1 < current.count;
}

void PlayQueue::previous() {
  if (isYouTubePlaylistPlaying()) {
    host_.evaluatePlayer("window.ytPrevious();");
  } else if (hasPrevious()) {
    play(*index() - 1);
  }
}

void PlayQueue::next() {
  if (isYouTubePlaylistPlaying()) {
    host_.evaluatePlayer("window.ytNext();");
  } else if (hasNext()) {
    play(*index() + 1);
  }
}

}  // namespace orvel
