// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/PlayQueue.h"

#include "core/PropertyList.h"
#include "player/PlayerSession.h"
#include "playlist/PlaylistLibrary.h"
#include "playlist/PlaylistRepeat.h"

namespace orvel {

PlayQueue::PlayQueue(PlayerSession& session, const PlaylistLinkResolver& resolver)
    : session_(session), resolver_(resolver) {}

const PlaylistTree::Nodes& PlayQueue::scopeNodes() const {
  const auto& library = session_.library_;
  if (session_.playlistScope_) {
    const PlaylistNode* folder = PlaylistTree::find(library, *session_.playlistScope_);
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
    if (!place.index && session_.playlistItemID_ && item.id == *session_.playlistItemID_) {
      place.index = place.count;
    }
    ++place.count;
    return true;
  });
  return place;
}

std::optional<std::size_t> PlayQueue::index() const {
  return session_.playlistItemID_ ? place().index : std::nullopt;
}

std::optional<std::string> PlayQueue::mediaID(const PlaylistNode& item) const {
  auto media = item.url ? resolver_.resolve(*item.url) : nullptr;
  return media ? std::optional(media->mediaID) : std::nullopt;
}

void PlayQueue::syncPosition(const std::string& playing) {
  const auto& library = session_.library_;
  if (session_.playlistItemID_) {
    const PlaylistNode* current = PlaylistTree::find(library, *session_.playlistItemID_);
    if (current && !current->isFolder() && mediaID(*current) == playing) {
      return;
    }
  }
  Defaults& defaults = session_.deps_.defaults;
  auto found = PlaylistTree::item(
      library, playing, PlaylistLibrary::storedID(defaults, PlaylistLibrary::kLastPlayedKey),
      resolver_);
  if (!found) {
    session_.playlistItemID_.reset();
    return;
  }
  std::optional<Uuid> scope;
  if (auto stored = PlaylistLibrary::storedID(defaults, PlaylistLibrary::kScopeKey)) {
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
  session_.playlistScope_ = scope;
  session_.playlistItemID_ = found->id;
}

bool PlayQueue::play(std::size_t position, bool advancing) {
  const auto queue = items();
  if (position >= queue.size() || !queue[position].url) {
    return false;
  }
  const PlaylistNode& item = queue[position];
  auto media = session_.deps_.registry.resolve(*item.url);
  if (!media) {
    return false;
  }
  session_.playlistItemID_ = item.id;
  session_.advancedToItemID_ = advancing ? std::optional(item.id) : std::nullopt;
  if (!advancing) {
    session_.unreadableAdvances_ = 0;
  }
  auto library = session_.library_;
  PlaylistTree::markPlayed(library, item.id);
  session_.setLibrary(std::move(library));
  Defaults& defaults = session_.deps_.defaults;
  defaults.set(PlaylistLibrary::kLastPlayedKey, PropertyList(item.id.uuidString()));
  defaults.set(PlaylistLibrary::kScopeKey,
               PropertyList(session_.playlistScope_ ? session_.playlistScope_->uuidString()
                                                    : std::string()));
  session_.setShowingPlaylist(false);
  session_.loadMedia(*media, 0, true);
  return true;
}

void PlayQueue::playRequest(std::optional<Uuid> itemID, std::optional<Uuid> scope) {
  session_.playlistScope_ = scope;
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
  const PlaylistRepeat repeat = storedPlaylistRepeat(session_.deps_.defaults);
  std::size_t next = *position;
  switch (repeat) {
    case PlaylistRepeat::off:
      next = *position + 1;
      if (next >= queue.size()) {
        // The queue ran out: the item is no longer the one to resume, and nothing plays.
        const Uuid ended = queue[*position].id;
        auto library = session_.library_;
        PlaylistTree::clearPlayed(library, ended);
        session_.setLibrary(std::move(library));
        Defaults& defaults = session_.deps_.defaults;
        if (PlaylistLibrary::storedID(defaults, PlaylistLibrary::kLastPlayedKey) == ended) {
          defaults.remove(PlaylistLibrary::kLastPlayedKey);
        }
        session_.playlistItemID_.reset();
        session_.changed();
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
      session_.setPlaybackPosition(*id, 0);
    }
  }
  play(next, true);
}

bool PlayQueue::isYouTubePlaylistPlaying() const {
  const auto& current = session_.currentVideoID_;
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
    session_.loader_.evaluatePlayer("window.ytPrevious();");
  } else if (hasPrevious()) {
    play(*index() - 1);
  }
}

void PlayQueue::next() {
  if (isYouTubePlaylistPlaying()) {
    session_.loader_.evaluatePlayer("window.ytNext();");
  } else if (hasNext()) {
    play(*index() + 1);
  }
}

}  // namespace orvel
