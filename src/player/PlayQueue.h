// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "core/Uuid.h"
#include "playlist/PlaylistLinkResolver.h"
#include "playlist/PlaylistTree.h"

namespace orvel {

class PlayerSession;

// The play queue drawn from the playlist, and what happens at the end of a video. Keeps no state
// of its own: the library, the scope, the item being played and the positions are the session's,
// read and written through it.
class PlayQueue {
 public:
  PlayQueue(PlayerSession& session, const PlaylistLinkResolver& resolver);

  // The playable items of the scope's folder when it names one with children, else of the whole
  // library.
  PlaylistTree::Nodes items() const;
  // Where the item being played stands in the queue.
  std::optional<std::size_t> index() const;
  // Follows a media switch: finds the item that plays the media, and its scope.
  void syncPosition(const std::string& mediaID);
  // False when the index or the item's link leads nowhere; nothing is played then. `advancing`
  // when the queue goes on by itself rather than at the user's choice.
  bool play(std::size_t index, bool advancing = false);
  // The playlist panel's request: the scope becomes the queue, and the item plays, or the queue's
  // first item when there is none or it is not in the queue.
  void playRequest(std::optional<Uuid> itemID, std::optional<Uuid> scope);
  // The end of a video: the next item by the repeat mode, or nothing with repeat off at the end.
  void advance();

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

  PlayerSession& session_;
  const PlaylistLinkResolver& resolver_;
};

}  // namespace orvel
