// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/ObserverList.h"
#include "platform/net/SoupFetcher.h"

namespace orvel {

// The small pictures of the recent videos in the status menu: fetched once per video ID, made
// 36 × 26 (filled exactly, the aspect ratio not kept) and kept as PNG for as long as the program
// runs. A fetch that fails leaves the video without a picture; the next request tries again.
class RecentThumbnails {
 public:
  static constexpr int kWidth = 36;
  static constexpr int kHeight = 26;
  static constexpr std::size_t kMaxImageBytes = 4 * 1024 * 1024;

  // The address of a video's picture, none when its service has none.
  using Address = std::function<std::optional<std::string>(const std::string& videoID)>;

  explicit RecentThumbnails(Address address = providerAddress(), unsigned timeoutSeconds = 15);

  // The picture as PNG when it is here; otherwise it is fetched, and the observers are told
  // when it arrives.
  const std::vector<unsigned char>* png(const std::string& videoID);
  [[nodiscard]] ObserverToken observeArrivals(std::function<void()> observer);

  // The thumbnail address of the streaming service that owns the ID.
  static Address providerAddress();
  // The picture in `bytes` made 36 × 26, as PNG; none when the bytes are not an image.
  static std::optional<std::vector<unsigned char>> resized(GBytes* bytes);

 private:
  Address address_;
  SoupFetcher fetcher_;
  std::map<std::string, std::vector<unsigned char>> cache_;
  std::set<std::string> fetching_;
  ObserverList<> arrivals_;
};

}  // namespace orvel
