// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/WatchHistory.h"

#include <gtest/gtest.h>

#include "settings/AppSettings.h"
#include "support/MemoryDefaults.h"

namespace orvel {
namespace {

RecentVideoItem record(std::string id, std::optional<std::string> source = std::nullopt,
                       std::string note = "") {
  RecentVideoItem item;
  item.videoID = std::move(id);
  item.title = "Title of " + item.videoID;
  item.sourceURL = std::move(source);
  item.watchNote = std::move(note);
  return item;
}

std::vector<std::string> ids(const std::vector<RecentVideoItem>& records) {
  std::vector<std::string> result;
  for (const auto& item : records) {
    result.push_back(item.videoID);
  }
  return result;
}

TEST(WatchHistory, OnlySingleYouTubeVideosAreShownInStoredOrder) {
  const auto& registry = StreamingProviderRegistry::shared();
  const std::vector<RecentVideoItem> history{
      record("dQw4w9WgXcQ", "https://www.youtube.com/watch?v=dQw4w9WgXcQ"),
      record("mkv:file:///home/a/film.mkv", "file:///home/a/film.mkv"),
      record("youtube-playlist:PL123", "https://www.youtube.com/playlist?list=PL123"),
      record("abcdefghijk"),
      record("abcdefghijkl"),
      record("mp4:abcdefgh"),
      record("zzzzzzzzzzz", "not a link at all"),
      record("a_b-c_d-e_f"),
  };
  const auto shown = WatchHistory::shownVideos(history, registry);
  EXPECT_EQ(ids(shown), (std::vector<std::string>{"dQw4w9WgXcQ", "abcdefghijk", "a_b-c_d-e_f"}));
  EXPECT_EQ(WatchHistory::countText(shown.size()), "3 videos");
  EXPECT_EQ(WatchHistory::countText(1), "1 videos");
  EXPECT_EQ(WatchHistory::countText(0), "0 videos");
  EXPECT_TRUE(WatchHistory::shownVideos({history[1], history[2]}, registry).empty());
}

TEST(WatchHistory, NotesAndTextsOfARow) {
  const std::vector<RecentVideoItem> history{record("aaaaaaaaaaa", std::nullopt, "  \n "),
                                             record("bbbbbbbbbbb", std::nullopt, "watch later"),
                                             record("bbbbbbbbbbb", std::nullopt, "older")};
  EXPECT_FALSE(WatchHistory::hasNotes(history, "aaaaaaaaaaa"));
  EXPECT_TRUE(WatchHistory::hasNotes(history, "bbbbbbbbbbb"));
  EXPECT_EQ(WatchHistory::note(history, "bbbbbbbbbbb"), "watch later");
  EXPECT_EQ(WatchHistory::note(history, "ccccccccccc"), "");
  EXPECT_EQ(WatchHistory::resumeText(95), "Resume at " + AppSettings::formatPlaybackTime(95));
  EXPECT_EQ(WatchHistory::openHelp("A talk"), "Open A talk");
}

}  // namespace
}  // namespace orvel
