// SPDX-License-Identifier: GPL-3.0-or-later

#include "playlist/PlaylistLinkResolver.h"

namespace orvel {
namespace {

// Real links are far shorter; a pasted novel is resolved each time rather than kept.
constexpr std::size_t kLongestRemembered = 8192;

}  // namespace

const PlaylistLinkResolver& PlaylistLinkResolver::shared() {
  static const PlaylistLinkResolver resolver(StreamingProviderRegistry::shared());
  return resolver;
}

PlaylistLinkResolver::PlaylistLinkResolver(const StreamingProviderRegistry& registry,
                                           std::size_t capacity)
    : registry_(registry), capacity_(capacity) {}

std::shared_ptr<const PlaylistLinkResolver::Media> PlaylistLinkResolver::resolve(
    const std::string& link) const {
  // No link is this long; answered before the memory's lookup hashes all of it.
  if (link.size() > StreamingProviderRegistry::kLongestLinkText) {
    return nullptr;
  }
  {
    std::lock_guard lock(mutex_);
    if (auto found = answers_.find(link); found != answers_.end()) {
      return found->second;
    }
  }
  std::shared_ptr<const Media> answer;
  if (auto media = registry_.resolve(link)) {
    answer = std::make_shared<const Media>(
        Media{std::move(media->mediaID), std::move(media->defaultTitle)});
  }
  if (link.size() > kLongestRemembered) {
    return answer;
  }
  std::lock_guard lock(mutex_);
  if (answers_.size() >= capacity_) {
    answers_.clear();
  }
  answers_.emplace(link, answer);
  return answer;
}

}  // namespace orvel
