// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "core/Cancellable.h"
#include "core/Defaults.h"
#include "core/Lifetime.h"
#include "core/ObserverList.h"
#include "media/StreamingProviderRegistry.h"

namespace orvel {

// What the playlist knows about a link beyond the link itself: titles and authors of YouTube
// links, artwork, and the facts of local files. Filled in while rows are shown; nothing of it is
// written into the playlist tree.
class PlaylistMetadata {
 public:
  // A platform image (a texture where the panel draws), released by its own deleter when the
  // last holder lets go. The model never looks inside.
  using Image = std::shared_ptr<const void>;

  struct Size {
    double width = 0;
    double height = 0;
    bool operator==(const Size&) const = default;
  };

  // Every field is optional: absent means unknown.
  struct Info {
    std::optional<std::string> title;
    std::optional<std::string> author;
    Image thumbnail;
    std::optional<double> duration;
    std::optional<Size> size;
    std::optional<std::string> codec;
    std::optional<float> frameRate;
  };

  // The record for an item's `url` exactly as stored in its node, or null when there is none.
  using Lookup = std::function<const Info*(const std::string& url)>;

  // What a local file shows: its thumbnail, and with `readFacts` (MP4 files) its duration, size,
  // codec and frame rate. Called on a worker thread.
  using FileProbe = std::function<Info(const std::string& path, bool readFacts)>;
  // Work for a worker thread; what it returns runs on the main loop after it.
  using Work = std::function<std::function<void()>()>;
  // Runs work off the main loop, a bounded number at a time, then what the work returned on the
  // main loop (unless the worker has gone by then).
  using Worker = std::function<void(Work work)>;
  // The title, channel and artwork of a YouTube link (by its media ID) from the network;
  // `done` runs on the main loop, with what could be found.
  using YouTubeLoader = std::function<void(const std::string& link, const std::string& mediaID,
                                           std::function<void(Info)> done)>;

  PlaylistMetadata(const StreamingProviderRegistry& registry, FileProbe probe, Worker worker,
                   YouTubeLoader youTube = {});
  PlaylistMetadata(const PlaylistMetadata&) = delete;
  PlaylistMetadata& operator=(const PlaylistMetadata&) = delete;

  // Loads and publishes the record of a link once per run; a link already asked for, even one
  // that failed, returns at once. Links that do not resolve publish nothing.
  void load(const std::string& url);
  const Info* info(const std::string& url) const;
  bool wasRequested(const std::string& url) const { return requested_.contains(url); }
  // Told of each record published.
  [[nodiscard]] ObserverToken observeChanges(std::function<void(const std::string& url)> observer);

  // Keeps the player's reported length of a media under "mediaDurations"; changes under a second
  // and values that are not finite and positive are not written.
  static void recordDuration(Defaults& defaults, double seconds, const std::string& mediaID);
  // The length kept for a media, if any.
  static std::optional<double> recordedDuration(const Defaults& defaults,
                                                const std::string& mediaID);
  // A four-character code (most significant byte first) as a codec's display name.
  static std::string codecName(std::uint32_t code);

 private:
  void publish(const std::string& url, Info info);

  const StreamingProviderRegistry& registry_;
  FileProbe probe_;
  Worker worker_;
  YouTubeLoader youTube_;
  std::map<std::string, Info> info_;
  std::set<std::string> requested_;
  ObserverList<const std::string&> observers_;
  // Results of work still running find the object gone and are dropped.
  Lifetime lifetime_;
};

}  // namespace orvel
