// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/WatchHistory.h"

#include <algorithm>

#include "core/Translation.h"
#include "settings/AppSettings.h"

namespace orvel::WatchHistory {
namespace {

// The form of a YouTube video ID: 11 letters, digits, underscores or hyphens.
bool looksLikeYouTubeID(std::string_view id) {
  return id.size() == 11 && std::all_of(id.begin(), id.end(), [](char c) {
           return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                  c == '_' || c == '-';
         });
}

const RecentVideoItem* firstRecord(const std::vector<RecentVideoItem>& history,
                                   std::string_view videoID) {
  for (const RecentVideoItem& record : history) {
    if (record.videoID == videoID) {
      return &record;
    }
  }
  return nullptr;
}

}  // namespace

bool isShown(const RecentVideoItem& record, const StreamingProviderRegistry& registry) {
  if (record.sourceURL) {
    const auto media = registry.resolve(*record.sourceURL);
    return media && media->providerID == "youtube" &&
           !media->mediaID.starts_with("youtube-playlist:");
  }
  return looksLikeYouTubeID(record.videoID);
}

std::vector<RecentVideoItem> shownVideos(const std::vector<RecentVideoItem>& history,
                                         const StreamingProviderRegistry& registry) {
  std::vector<RecentVideoItem> shown;
  for (const RecentVideoItem& record : history) {
    if (isShown(record, registry)) {
      shown.push_back(record);
    }
  }
  return shown;
}

std::string countText(std::size_t count) {
  // English has no singular here ("1 videos"); other languages choose their forms.
  return formatted(P_("%s videos", "%s videos", count), {std::to_string(count)});
}

std::string note(const std::vector<RecentVideoItem>& history, std::string_view videoID) {
  const RecentVideoItem* record = firstRecord(history, videoID);
  return record ? record->watchNote : std::string();
}

bool hasNotes(const std::vector<RecentVideoItem>& history, std::string_view videoID) {
  return note(history, videoID).find_first_not_of(" \t\r\n\v\f") != std::string::npos;
}

std::string resumeText(double lastPosition) {
  return formatted(_("Resume at %s"), {AppSettings::formatPlaybackTime(lastPosition)});
}

std::string openHelp(std::string_view title) {
  return formatted(_("Open %s"), {title});
}

}  // namespace orvel::WatchHistory
