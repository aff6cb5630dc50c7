// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "media/StreamingProviderRegistry.h"

namespace orvel {

// Media resolution of playlist links. Every redraw of the playlist asks for the titles, media IDs
// and resume points of the same links again, and resolution depends on the link's text alone, so
// each answer is remembered; the memory is emptied when it holds `capacity` links, which keeps it
// bounded however many links pass through. The capacity is above the largest libraries people
// keep (100,000 links and more): a memory smaller than the library is emptied on every redraw,
// and every link is resolved again each time.
class PlaylistLinkResolver {
 public:
  // What the playlist needs of a resolved link.
  struct Media {
    std::string mediaID;
    std::string defaultTitle;
  };

  // Over the shared registry.
  static const PlaylistLinkResolver& shared();

  explicit PlaylistLinkResolver(const StreamingProviderRegistry& registry,
                                std::size_t capacity = 250'000);
  PlaylistLinkResolver(const PlaylistLinkResolver&) = delete;
  PlaylistLinkResolver& operator=(const PlaylistLinkResolver&) = delete;

  // Null when the link does not resolve (with no start time).
  std::shared_ptr<const Media> resolve(const std::string& link) const;

  const StreamingProviderRegistry& registry() const { return registry_; }

 private:
  const StreamingProviderRegistry& registry_;
  std::size_t capacity_;
  mutable std::mutex mutex_;
  mutable std::unordered_map<std::string, std::shared_ptr<const Media>> answers_;
};

}  // namespace orvel
