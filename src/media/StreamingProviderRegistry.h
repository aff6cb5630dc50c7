// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Translation.h"
#include "media/StreamingProvider.h"

namespace orvel {

// Turns pasted, dropped or stored text into a media source; the first provider that accepts the
// text wins, so YouTube comes before Disney+ and both before the file types.
class StreamingProviderRegistry {
 public:
  // What to say of text that resolves to no media.
  static constexpr const char* kUnsupportedLink =
      N_("That link is not a supported video URL. Paste a YouTube, Disney+ or MP4/WebM/MKV link.");

  // Text longer than this holds no link the player plays (a file's path is at most a few
  // kilobytes); it is refused before anything reads through it.
  static constexpr std::size_t kLongestLinkText = 64 * 1024;

  static const StreamingProviderRegistry& shared();

  explicit StreamingProviderRegistry(std::vector<std::unique_ptr<StreamingProvider>> providers);

  std::optional<StreamingMedia> resolve(std::string_view input, StartTime startTime = {}) const;
  // The provider that owns a stored media ID, by its prefix.
  const StreamingProvider* provider(std::string_view mediaID) const;
  const std::vector<std::unique_ptr<StreamingProvider>>& providers() const { return providers_; }

  // The absolute URL that pasted text stands for, or none when it holds no link.
  static std::optional<std::string> normalizedInput(std::string_view input);

 private:
  std::vector<std::unique_ptr<StreamingProvider>> providers_;
};

}  // namespace orvel
