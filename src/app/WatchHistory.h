// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/Translation.h"
#include "media/StreamingProviderRegistry.h"
#include "settings/RecentVideoItem.h"

namespace orvel {

// What the watch history window shows of the stored history, and its texts. Only single YouTube
// videos are shown; files, other services and playlists stay stored but hidden.
namespace WatchHistory {

// The shown records, newest first as stored.
std::vector<RecentVideoItem> shownVideos(const std::vector<RecentVideoItem>& history,
                                         const StreamingProviderRegistry& registry);
bool isShown(const RecentVideoItem& record, const StreamingProviderRegistry& registry);

// "3 videos", and "1 videos" too: the header has no singular form.
std::string countText(std::size_t count);
inline constexpr std::string_view kEmptyText = N_("No YouTube watch history yet");

// The note of the first record with the ID, "" when there is none.
std::string note(const std::vector<RecentVideoItem>& history, std::string_view videoID);
// Whether that note holds more than whitespace.
bool hasNotes(const std::vector<RecentVideoItem>& history, std::string_view videoID);

std::string resumeText(double lastPosition);
std::string openHelp(std::string_view title);
inline constexpr std::string_view kRemoveHelp = N_("Remove from watch history");

}  // namespace WatchHistory
}  // namespace orvel
