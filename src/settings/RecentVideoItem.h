// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Date.h"
#include "core/Result.h"

namespace orvel {

// One entry of the recent-videos list or the watch history.
struct RecentVideoItem {
  // The media ID; the record's identity.
  std::string videoID;
  std::string title;
  double lastPosition = 0;
  Date lastPlayedAt;
  // "Watch later" priority, 0 (unrated) to 5.
  int watchLaterStars = 0;
  bool isThumbsDown = false;
  std::string watchNote;
  std::optional<std::string> sourceURL;

  const std::string& id() const { return videoID; }
  bool operator==(const RecentVideoItem&) const = default;

  // Stored form: a JSON array of records, timestamps as seconds since the reference date.
  // Encoding fails on a position or time that is not finite, which JSON cannot hold.
  static std::optional<std::vector<std::uint8_t>> encodeList(
      const std::vector<RecentVideoItem>& items);
  // Fails as a whole only when the text is not a JSON array. A record that lacks a required field
  // or holds a field of the wrong type is skipped, and why is said in `skipped`, so that one bad
  // value never costs the user the other records.
  struct DecodedList {
    std::vector<RecentVideoItem> items;
    std::vector<std::string> skipped;
  };
  static Result<DecodedList> decodeList(std::string_view json);
};

}  // namespace orvel
