// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <random>
#include <string>

#include "core/Defaults.h"
#include "core/Uuid.h"
#include "media/StreamingMedia.h"
#include "media/StreamingProviderRegistry.h"
#include "playlist/PlaylistLinkResolver.h"
#include "playlist/PlaylistRepeat.h"
#include "playlist/PlaylistTree.h"

namespace orvel {

// The play queue drawn from the playlist, and what happens at the end of a video. It owns where
// playback stands in the playlist: the folder being played (the scope), the item, and whether
// the queue went on to that item by itself. The library, playing and the page it reaches through
// its host, which the session wires.
class PlayQueue {
 public:
  struct Host {
    // The playlist as the session holds it, and a changed one for it to keep and store.
    std::function<const PlaylistTree::Nodes&()> library;
    std::function<void(PlaylistTree::Nodes)> setLibrary;
    // Plays the media from its stored place, with the playlist put away.
    std::function<void(const StreamingMedia&)> play;
    // The media the player has now, if any.
    std::function<const std::optional<std::string>&()> currentVideoID;
    // Runs a script on the player page: a YouTube playlist goes back and on inside it.
    std::function<void(const std::string& script)> evaluatePlayer;
    // Where a media stands, kept for the next time it plays.
    std::function<void(const std::string& mediaID, double seconds)> setPlaybackPosition;
    // What the queue shows changed.
    std::function<void()> changed;
  };

  PlayQueue(Host host, Defaults& defaults, const StreamingProviderRegistry& registry,
            const PlaylistLinkResolver& resolver);

  const std::optional<Uuid>& scope() const { return scope_; }
  const std::optional<Uuid>& itemID() const { return itemID_; }
  // The playable items of the scope's folder when it names one with children, else of the whole
  // library.
  PlaylistTree::Nodes items() const;
  // Where the item being played stands in the queue.
  std::optional<std::size_t> index() const;
  // Follows a media switch: finds the item that plays the media, and its scope.
  void syncPosition(const std::string& mediaID);
  // The item being played is no longer one (its file went to the Trash).
  void forgetItem() { itemID_.reset(); }
  // False when the index or the item's link leads nowhere; nothing is played then. `advancing`
  // when the queue goes on by itself rather than at the user's choice.
  bool play(std::size_t index, bool advancing = false);
  // The playlist panel's request: the scope becomes the queue, and the item plays, or the queue's
  // first item when there is none or it is not in the queue.
  void playRequest(std::optional<Uuid> itemID, std::optional<Uuid> scope);
  // The end of a video: the next item by the repeat mode, or nothing with repeat off at the end.
  void advance();

  // The user opened media by hand (a link, a file, a recent video).
  void userChoseMedia() { advancedTo_.reset(); }
  // The player read the media it was given.
  void mediaWasRead() { unreadableAdvances_ = 0; }
  // The item being played could not be read. True when the queue went on to it by itself and
  // may go on past it: not while it repeats this one item, and not once as many items in a row
  // failed as the queue holds.
  bool mayPassOverUnreadableItem();

  // The stored repeat mode, which the playlist panel shares; a change is told as the queue's own.
  PlaylistRepeat repeat() const;
  void setRepeat(PlaylistRepeat repeat);
  // The panel changed the stored mode.
  void repeatChanged() { host_.changed(); }
  // Shuffles the items after the one being played in its own folder, as the panel's "Shuffle
  // remaining videos" does; nothing without one.
  void shuffleRemaining();

  // While a YouTube playlist plays, its page goes back and on; otherwise the queue's neighbours,
  // absent at its ends.
  bool hasPrevious() const;
  bool hasNext() const;
  void previous();
  void next();

 private:
  // Where the item being played stands, and how long the queue is.
  struct Place {
    std::optional<std::size_t> index;
    std::size_t count = 0;
  };
  const PlaylistTree::Nodes& scopeNodes() const;
  Place place() const;
  bool isYouTubePlaylistPlaying() const;
  std::optional<std::string> mediaID(const PlaylistNode& item) const;

  Host host_;
  Defaults& defaults_;
  const StreamingProviderRegistry& registry_;
  const PlaylistLinkResolver& resolver_;
  std::optional<Uuid> scope_;
  std::optional<Uuid> itemID_;
  // The item the queue went on to by itself (at the end of the one before), as opposed to one the
  // user chose; and how many such items in a row could not be read.
  std::optional<Uuid> advancedTo_;
  std::size_t unreadableAdvances_ = 0;
  std::mt19937 random_{std::random_device{}()};
};

}  // namespace orvel
