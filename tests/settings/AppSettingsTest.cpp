// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <cmath>

#include "settings/AppSettings.h"
#include "support/LogCapture.h"
#include "support/MemoryDefaults.h"

namespace orvel {
namespace {

RecentVideoItem item(std::string id, double playedAt, std::string title = "T") {
  return {std::move(id), std::move(title), 0, Date{playedAt}, 0, false, "", std::nullopt};
}

PropertyList storedList(const std::vector<RecentVideoItem>& items) {
  return PropertyList(*RecentVideoItem::encodeList(items));
}

std::vector<RecentVideoItem> decodedList(const MemoryDefaults& defaults, std::string_view key) {
  auto found = defaults.values().find(key);
  if (found == defaults.values().end()) {
    return {};
  }
  const auto& data = *found->second.get<PropertyList::Data>();
  return RecentVideoItem::decodeList(std::string(data.begin(), data.end()))->items;
}

std::vector<std::string> ids(const std::vector<RecentVideoItem>& items) {
  std::vector<std::string> result;
  for (const auto& video : items) {
    result.push_back(video.videoID);
  }
  return result;
}

// A store over in-memory defaults whose clock ticks one second per reading, with every posted
// notification recorded.
class AppSettingsTest : public testing::Test {
 protected:
  AppSettings& open() {
    settings.reset();
    tokens.clear();
    for (const char* name :
         {"setAlwaysOnTop", "setFollowAeroSpaceWorkspaces", "setEightyTransparency",
          "setHoverTransparency", "setFillPlayerWindow", "setLockAspectRatio16x9",
          "recentVideosUpdated", "watchHistoryUpdated", "openRecentVideo"}) {
      tokens.push_back(center.addObserver(
          name, [this](const Notification& notification) { posted.push_back(notification); }));
    }
    settings.emplace(defaults, center, [this] { return Date{clock += 1}; });
    return *settings;
  }

  std::vector<std::string> postedNames() const {
    std::vector<std::string> names;
    for (const auto& notification : posted) {
      names.push_back(notification.name);
    }
    return names;
  }

  MemoryDefaults defaults;
  NotificationCenter center;
  double clock = 1000;
  std::vector<Notification> posted;
  std::vector<ObserverToken> tokens;
  std::optional<AppSettings> settings;
};

TEST(AppSettingsNormalisation, MergesDuplicatesIntoTheNewestRecord) {
  EXPECT_TRUE(AppSettings::normalizedVideos({}, 20).empty());

  RecentVideoItem newest{"a", "Newest", 30, Date{300}, 1, false, " \n", std::nullopt};
  RecentVideoItem middle{"a", "Middle", 20, Date{200}, 4, false, "x", "https://middle"};
  RecentVideoItem oldest{"a", "Oldest", 10, Date{100}, 0, true, "older note", "https://oldest"};
  auto merged = AppSettings::normalizedVideos({oldest, item("b", 250), middle, newest}, 20);
  ASSERT_EQ(ids(merged), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(merged[0].title, "Newest");
  EXPECT_EQ(merged[0].lastPosition, 30);
  EXPECT_EQ(merged[0].lastPlayedAt, Date{300});
  EXPECT_EQ(merged[0].watchNote, "x");
  EXPECT_EQ(merged[0].watchLaterStars, 4);
  EXPECT_TRUE(merged[0].isThumbsDown);
  EXPECT_EQ(merged[0].sourceURL, "https://oldest");

  std::vector<RecentVideoItem> many;
  for (int index = 0; index < 30; ++index) {
    many.push_back(item("v" + std::to_string(index), index));
  }
  auto capped = AppSettings::normalizedVideos(many, 20);
  ASSERT_EQ(capped.size(), 20u);
  EXPECT_EQ(capped.front().videoID, "v29");
  EXPECT_EQ(capped.back().videoID, "v10");
}

TEST(AppSettingsFormatting, CleansTitlesAndFormatsTimes) {
  EXPECT_EQ(AppSettings::cleanedVideoTitle(std::nullopt), std::nullopt);
  EXPECT_EQ(AppSettings::cleanedVideoTitle(" \n\t"), std::nullopt);
  EXPECT_EQ(AppSettings::cleanedVideoTitle("  Song - YouTube \n"), "Song");
  EXPECT_EQ(AppSettings::cleanedVideoTitle("Song  - YouTube"), "Song");
  EXPECT_EQ(AppSettings::cleanedVideoTitle("Song - YouTube Music"), "Song - YouTube Music");

  EXPECT_EQ(AppSettings::formatPlaybackTime(0), "0:00");
  EXPECT_EQ(AppSettings::formatPlaybackTime(59.5), "1:00");
  EXPECT_EQ(AppSettings::formatPlaybackTime(-4), "0:00");
  EXPECT_EQ(AppSettings::formatPlaybackTime(59 * 60 + 59.4), "59:59");
  EXPECT_EQ(AppSettings::formatPlaybackTime(59 * 60 + 59.5), "1:00:00");
  EXPECT_EQ(AppSettings::formatPlaybackTime(3600), "1:00:00");
  EXPECT_EQ(AppSettings::formatPlaybackTime(36000 + 62), "10:01:02");
  EXPECT_EQ(AppSettings::formatPlaybackTime(NAN), "0:00");
}

TEST_F(AppSettingsTest, AFirstStartWritesAndAnnouncesNothing) {
  auto& store = open();
  EXPECT_EQ(defaults.writeCount(), 0u);
  EXPECT_TRUE(posted.empty());
  EXPECT_TRUE(store.alwaysOnTopEnabled());
  EXPECT_TRUE(store.followAeroSpaceWorkspacesEnabled());
  EXPECT_FALSE(store.eightyTransparencyEnabled());
  EXPECT_FALSE(store.hoverTransparencyEnabled());
  EXPECT_TRUE(store.fillPlayerWindowEnabled());
  EXPECT_TRUE(store.lockAspectRatio16x9Enabled());
  EXPECT_EQ(store.resendAPIKey(), "");
  EXPECT_EQ(store.storedHistoryUsageBytes(), 0u);
}

TEST_F(AppSettingsTest, StoredSwitchesThatDifferFromTheDefaultAreAnnouncedAtStartUp) {
  defaults.set("settings.hoverTransparencyEnabled", true);
  defaults.set("settings.alwaysOnTopEnabled", true);
  defaults.set("settings.fillPlayerWindowEnabled", std::int64_t{0});
  auto& store = open();
  EXPECT_TRUE(store.hoverTransparencyEnabled());
  EXPECT_FALSE(store.fillPlayerWindowEnabled());
  EXPECT_EQ(postedNames(),
            (std::vector<std::string>{"setHoverTransparency", "setFillPlayerWindow"}));
  EXPECT_EQ(*posted[0].value<bool>("enabled"), true);
  EXPECT_EQ(defaults.object("settings.fillPlayerWindowEnabled"), PropertyList(false));
}

TEST_F(AppSettingsTest, EverySwitchLoadsFromItsOwnKeyAndAnnouncesUnderItsOwnName) {
  for (const auto& info : AppSettings::switches()) {
    defaults.set(info.key, !info.initial);
  }
  auto& store = open();
  std::vector<std::string> expected;
  for (const auto& info : AppSettings::switches()) {
    EXPECT_EQ(store.isEnabled(info.which), !info.initial) << info.key;
    expected.emplace_back(info.notification);
  }
  EXPECT_EQ(postedNames(), expected);
  EXPECT_EQ(expected.front(), "setAlwaysOnTop");
  EXPECT_EQ(expected.back(), "setLockAspectRatio16x9");
}

TEST_F(AppSettingsTest, AStoredValueOfTheWrongTypeIsLoggedAndLeftAlone) {
  defaults.set("settings.alwaysOnTopEnabled", "maybe");
  defaults.set("settings.recentVideos", "not data");
  defaults.set("settings.deletedRecentVideoIDs", PropertyList::Array{"a", 5, "b"});
  defaults.set("settings.resendAPIKey", 42);
  const auto writesBefore = defaults.writeCount();
  LogCapture log;
  auto& store = open();
  EXPECT_TRUE(store.alwaysOnTopEnabled());
  EXPECT_TRUE(store.recentVideos().empty());
  EXPECT_EQ(store.deletedRecentVideoIDs(), (std::set<std::string>{"a", "b"}));
  EXPECT_EQ(log.lines.size(), 4u);
  EXPECT_EQ(log.lines[0],
            "[AppSettings] Ignoring settings.alwaysOnTopEnabled: the stored value is string, not a "
            "boolean");
  EXPECT_EQ(defaults.writeCount(), writesBefore);
  EXPECT_EQ(defaults.object("settings.recentVideos"), PropertyList("not data"));
}

TEST_F(AppSettingsTest, ASwitchIsWrittenAndAnnouncedOnlyWhenItChanges) {
  auto& store = open();
  int willChange = 0;
  auto token = store.observeWillChange([&] { ++willChange; });
  store.setEnabled(AppSettings::Switch::alwaysOnTop, true);
  EXPECT_EQ(defaults.writeCount(), 0u);
  EXPECT_TRUE(posted.empty());
  store.setEnabled(AppSettings::Switch::alwaysOnTop, false);
  EXPECT_EQ(defaults.object("settings.alwaysOnTopEnabled"), PropertyList(false));
  ASSERT_EQ(postedNames(), (std::vector<std::string>{"setAlwaysOnTop"}));
  EXPECT_EQ(*posted[0].value<bool>("enabled"), false);
  EXPECT_EQ(willChange, 2);

  store.setResendAPIKey("re_123");
  EXPECT_EQ(defaults.object("settings.resendAPIKey"), PropertyList("re_123"));
  EXPECT_EQ(posted.size(), 1u);
}

TEST_F(AppSettingsTest, ACorruptListIsDroppedWithOneLogLineAndTheOtherListIsKept) {
  defaults.set("settings.recentVideos", storedList({item("keep", 5)}));
  defaults.set("settings.watchHistoryVideos", PropertyList::Data{'[', '{', 0xff});
  LogCapture log;
  auto& store = open();
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_EQ(log.lines[0].rfind("[AppSettings] Failed to decode watchHistoryVideos: ", 0), 0u);
  EXPECT_FALSE(defaults.object("settings.watchHistoryVideos"));
  // The bytes that could not be read are kept, for whoever can recover them.
  EXPECT_EQ(defaults.object("settings.watchHistoryVideos.corrupt"),
            PropertyList(PropertyList::Data{'[', '{', 0xff}));
  EXPECT_EQ(ids(store.recentVideos()), (std::vector<std::string>{"keep"}));
  EXPECT_TRUE(defaults.object("settings.recentVideos"));
}

TEST_F(AppSettingsTest, OneBadRecordIsSkippedAndTheOthersKeepTheirStarsAndNotes) {
  const std::string records = R"([
    {"videoID":"a","title":"A","lastPosition":10,"lastPlayedAt":30,"watchLaterStars":4,
     "watchNote":"the good part is at 3:10"},
    {"videoID":"b","title":"B","lastPosition":"abc","lastPlayedAt":20,"watchNote":"lost?"},
    {"videoID":"c","title":"C","lastPosition":5,"lastPlayedAt":10,"isThumbsDown":true}])";
  const PropertyList stored(PropertyList::Data(records.begin(), records.end()));
  for (const char* key : {"settings.recentVideos", "settings.watchHistoryVideos"}) {
    defaults.set(key, stored);
  }
  LogCapture log;
  auto& store = open();
  for (const auto* videos : {&store.recentVideos(), &store.watchHistoryVideos()}) {
    ASSERT_EQ(ids(*videos), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ((*videos)[0].watchLaterStars, 4);
    EXPECT_EQ((*videos)[0].watchNote, "the good part is at 3:10");
    EXPECT_TRUE((*videos)[1].isThumbsDown);
  }
  EXPECT_NE(std::find(log.lines.begin(), log.lines.end(),
                      "[AppSettings] Failed to decode watchHistoryVideos: record 1: "
                      "\"lastPosition\" is not a finite number"),
            log.lines.end());
  // Nothing is rewritten until the user changes something, and the list as it was is kept.
  EXPECT_EQ(defaults.object("settings.watchHistoryVideos"), stored);
  EXPECT_EQ(defaults.object("settings.watchHistoryVideos.corrupt"), stored);
  EXPECT_EQ(defaults.object("settings.recentVideos.corrupt"), stored);

  store.setWatchHistoryNote("c", "changed");
  EXPECT_EQ(ids(decodedList(defaults, "settings.watchHistoryVideos")),
            (std::vector<std::string>{"a", "c"}));
  EXPECT_EQ(defaults.object("settings.watchHistoryVideos.corrupt"), stored);
}

TEST_F(AppSettingsTest, StartUpAnnouncesSwitchesBeforeListsAndKeepsTombstonedEntries) {
  defaults.set("settings.recentVideos", PropertyList::Data{'x'});
  defaults.set("settings.watchHistoryVideos", storedList({item("b", 2), item("b", 1)}));
  defaults.set("settings.deletedWatchHistoryVideoIDs", PropertyList::stringArray({"b"}));
  defaults.set("settings.eightyTransparencyEnabled", true);
  LogCapture log;
  auto& store = open();
  EXPECT_EQ(postedNames(),
            (std::vector<std::string>{"setEightyTransparency", "watchHistoryUpdated"}));
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_EQ(log.lines[0].rfind("[AppSettings] Failed to decode recentVideos: ", 0), 0u);
  // A tombstone keeps new records out; it does not delete what is stored.
  EXPECT_EQ(ids(store.watchHistoryVideos()), (std::vector<std::string>{"b"}));
}

TEST_F(AppSettingsTest, AStoredListIsNormalisedAndWrittenBackAtStartUp) {
  std::vector<RecentVideoItem> stored;
  for (int index = 0; index < 30; ++index) {
    stored.push_back(item("v" + std::to_string(index % 25), index));
  }
  defaults.set("settings.recentVideos", storedList(stored));
  auto& store = open();
  EXPECT_EQ(store.recentVideos().size(), 20u);
  EXPECT_EQ(store.recentVideos().front().videoID, "v4");
  EXPECT_EQ(decodedList(defaults, "settings.recentVideos"), store.recentVideos());
  EXPECT_EQ(postedNames(), (std::vector<std::string>{"recentVideosUpdated"}));
}

TEST_F(AppSettingsTest, RecordingKeepsBothListsNewestFirstWithinTheirCaps) {
  auto& store = open();
  for (int index = 0; index < 21; ++index) {
    store.recordRecentVideo("v" + std::to_string(index), "Video", 10, std::nullopt);
  }
  EXPECT_EQ(store.recentVideos().size(), 20u);
  EXPECT_EQ(store.recentVideos().front().videoID, "v20");
  EXPECT_EQ(store.recentVideos().back().videoID, "v1");
  EXPECT_EQ(store.watchHistoryVideos().size(), 21u);
  // The recent list is announced before the history, each time.
  EXPECT_EQ(posted[0].name, "recentVideosUpdated");
  EXPECT_EQ(posted[1].name, "watchHistoryUpdated");

  for (int index = 21; index < 520; ++index) {
    store.recordRecentVideo("v" + std::to_string(index), "Video", 10, std::nullopt);
  }
  EXPECT_EQ(store.watchHistoryVideos().size(), 500u);
  EXPECT_EQ(decodedList(defaults, "settings.watchHistoryVideos"), store.watchHistoryVideos());
}

TEST_F(AppSettingsTest, ObserversHearOfAChangeOnlyOnceItIsCommitted) {
  auto& store = open();
  std::vector<int> depths;
  auto token = center.addObserver("watchHistoryUpdated", [&](const Notification&) {
    depths.push_back(defaults.batchDepth());
    EXPECT_EQ(decodedList(defaults, "settings.watchHistoryVideos"), store.watchHistoryVideos());
  });
  store.recordRecentVideo("a", "A", 1, std::nullopt);
  store.removeHistoryVideo("a");
  store.setWatchHistoryNote("zzz", "nothing");
  EXPECT_EQ(depths, (std::vector<int>{0, 0}));
}

TEST_F(AppSettingsTest, RecordingUpdatesAnEntryAndKeepsWhatItIsNotGiven) {
  auto& store = open();
  store.recordRecentVideo("abc", "  First - YouTube ", -3, "https://youtu.be/abc");
  EXPECT_EQ(store.recentVideos()[0].title, "First");
  EXPECT_EQ(store.recentVideos()[0].lastPosition, 0);
  store.setWatchLaterStars("abc", 3);
  store.setWatchHistoryNote("abc", "note");

  store.recordRecentVideo("abc", std::nullopt, 42.5, std::nullopt);
  const RecentVideoItem& entry = store.watchHistoryVideos()[0];
  EXPECT_EQ(entry.title, "First");
  EXPECT_EQ(entry.lastPosition, 42.5);
  EXPECT_EQ(entry.sourceURL, "https://youtu.be/abc");
  EXPECT_EQ(entry.watchLaterStars, 3);
  EXPECT_EQ(entry.watchNote, "note");

  store.recordRecentVideo("abc", "x", INFINITY, std::nullopt);
  EXPECT_EQ(store.recentVideos()[0].lastPosition, 0);
  EXPECT_EQ(decodedList(defaults, "settings.recentVideos"), store.recentVideos());
}

TEST_F(AppSettingsTest, AVideoOnlyInTheHistoryKeepsItsTitleWhenRecordedWithoutOne) {
  auto& store = open();
  store.recordRecentVideo("abc", "Stored title", 1, std::nullopt);
  store.clearRecentVideos();
  store.clearTombstones("abc");
  store.recordRecentVideo("abc", std::nullopt, 2, std::nullopt);
  EXPECT_EQ(store.recentVideos()[0].title, "Stored title");
  EXPECT_EQ(store.watchHistoryVideos()[0].title, "Stored title");
}

TEST_F(AppSettingsTest, ANewVideoWithoutATitleIsNamedAfterItsProvider) {
  auto& store = open();
  store.recordRecentVideo("dQw4w9WgXcQ", std::nullopt, 1, std::nullopt);
  store.recordRecentVideo("mkv:file:///a.mkv", " ", 1, std::nullopt);
  store.recordRecentVideo("disneyplus:/x", std::nullopt, 1, std::nullopt);
  EXPECT_EQ(store.recentVideos()[0].title, "Disney+ Video");
  EXPECT_EQ(store.recentVideos()[1].title, "MKV Video");
  EXPECT_EQ(store.recentVideos()[2].title, "YouTube Video");
}

TEST_F(AppSettingsTest, RecordingAnUnchangedEntryWritesNothing) {
  auto& store = open();
  store.setRecentVideos({item("a", 1)});
  const auto writes = defaults.writeCount();
  posted.clear();
  store.setRecentVideos({item("a", 1)});
  EXPECT_EQ(defaults.writeCount(), writes);
  EXPECT_TRUE(posted.empty());
}

TEST_F(AppSettingsTest, TombstonesKeepRemovedVideosOutUntilOpenedByHand) {
  auto& store = open();
  store.recordRecentVideo("a", "A", 1, std::nullopt);
  store.recordRecentVideo("b", "B", 1, std::nullopt);
  store.clearRecentVideos();
  EXPECT_TRUE(store.recentVideos().empty());
  EXPECT_EQ(store.watchHistoryVideos().size(), 2u);

  // Progress of the playing video reaches the history only.
  store.recordRecentVideo("a", "A", 50, std::nullopt);
  EXPECT_TRUE(store.recentVideos().empty());
  EXPECT_EQ(store.watchHistoryVideos()[0].lastPosition, 50);

  store.removeHistoryVideo("b");
  store.removeHistoryVideo("never-seen");
  EXPECT_EQ(ids(store.watchHistoryVideos()), (std::vector<std::string>{"a"}));

  // They survive a restart.
  auto& reopened = open();
  EXPECT_EQ(reopened.deletedRecentVideoIDs(), (std::set<std::string>{"a", "b"}));
  EXPECT_EQ(reopened.deletedWatchHistoryVideoIDs(), (std::set<std::string>{"b", "never-seen"}));
  reopened.recordRecentVideo("b", "B", 1, std::nullopt);
  EXPECT_TRUE(reopened.recentVideos().empty());
  EXPECT_EQ(reopened.watchHistoryVideos().size(), 1u);

  EXPECT_TRUE(reopened.clearTombstones("b"));
  EXPECT_FALSE(reopened.clearTombstones("b"));
  reopened.recordRecentVideo("b", "B", 1, std::nullopt);
  EXPECT_EQ(ids(reopened.recentVideos()), (std::vector<std::string>{"b"}));
  EXPECT_EQ(reopened.watchHistoryVideos()[0].videoID, "b");
  EXPECT_EQ(defaults.object("settings.deletedWatchHistoryVideoIDs")->strings(),
            (std::vector<std::string>{"never-seen"}));
}

TEST_F(AppSettingsTest, StarsAreClampedAndTakeBackAThumbsDownInBothLists) {
  RecentVideoItem disliked = item("a", 5);
  disliked.isThumbsDown = true;
  defaults.set("settings.recentVideos", storedList({disliked}));
  defaults.set("settings.watchHistoryVideos", storedList({disliked}));
  auto& store = open();
  posted.clear();
  store.setWatchLaterStars("a", 7);
  for (const auto* list : {&store.recentVideos(), &store.watchHistoryVideos()}) {
    EXPECT_EQ((*list)[0].watchLaterStars, 5);
    EXPECT_FALSE((*list)[0].isThumbsDown);
  }
  EXPECT_EQ(decodedList(defaults, "settings.recentVideos"), store.recentVideos());

  // The history changes before the recent list; the rating and the cleared thumbs-down are two
  // announced changes of each list.
  EXPECT_EQ(postedNames(),
            (std::vector<std::string>{"watchHistoryUpdated", "watchHistoryUpdated",
                                      "recentVideosUpdated", "recentVideosUpdated"}));

  const auto writes = defaults.writeCount();
  posted.clear();
  store.setWatchLaterStars("unknown", 3);
  store.setWatchHistoryNote("unknown", "x");
  EXPECT_EQ(defaults.writeCount(), writes);
  EXPECT_TRUE(posted.empty());

  posted.clear();
  store.setWatchHistoryNote("a", "  keep my spaces ");
  EXPECT_EQ(postedNames(),
            (std::vector<std::string>{"watchHistoryUpdated", "recentVideosUpdated"}));
  EXPECT_EQ(store.watchHistoryVideos()[0].watchNote, "  keep my spaces ");
  EXPECT_EQ(store.recentVideos()[0].watchNote, "  keep my spaces ");
}

TEST_F(AppSettingsTest, APlaybackRequestIsHeldAndAnnounced) {
  auto& store = open();
  store.requestPlayback("abc", 95.5, std::nullopt);
  store.requestPlayback("def", 12, "https://youtu.be/def");
  ASSERT_EQ(posted.size(), 2u);
  EXPECT_EQ(*posted[1].value<std::string>("videoID"), "def");
  EXPECT_EQ(*posted[1].value<double>("time"), 12);
  EXPECT_EQ(*posted[1].value<std::string>("sourceURL"), "https://youtu.be/def");
  EXPECT_EQ(posted[0].value<std::string>("sourceURL"), nullptr);
  EXPECT_EQ(store.takePendingPlaybackRequest(),
            (PlaybackRequest{"def", 12, "https://youtu.be/def"}));
  EXPECT_EQ(store.pendingPlaybackRequest(), std::nullopt);
}

TEST_F(AppSettingsTest, CountsTheBytesTheHistoryTakes) {
  auto& store = open();
  store.recordRecentVideo("a", "A", 1, std::nullopt);
  store.removeHistoryVideo("zzz");
  const auto dataSize = [&](std::string_view key) {
    return defaults.object(key)->get<PropertyList::Data>()->size();
  };
  const auto plistSize = [&](std::string_view key) {
    return defaults.object(key)->binary()->size();
  };
  EXPECT_EQ(store.storedHistoryUsageBytes(), dataSize("settings.recentVideos") +
                                                 dataSize("settings.watchHistoryVideos") +
                                                 plistSize("settings.deletedRecentVideoIDs") +
                                                 plistSize("settings.deletedWatchHistoryVideoIDs"));
}

}  // namespace
}  // namespace orvel
