// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include "core/Text.h"
#include "settings/RecentVideoItem.h"

namespace orvel {
namespace {

std::string text(const std::vector<std::uint8_t>& bytes) {
  return {bytes.begin(), bytes.end()};
}

TEST(RecentVideoItem, StoresEveryFieldAndReadsItBack) {
  std::vector<RecentVideoItem> items = {
      {"abc", "Title \"quoted\"", 95.4, Date{7.5}, 4, true, "note\n", "https://youtu.be/abc"},
      {"mkv:file:///a.mkv", "Film", 0, Date{-3}, 0, false, "", std::nullopt}};
  auto encoded = RecentVideoItem::encodeList(items);
  ASSERT_TRUE(encoded);
  auto json = nlohmann::json::parse(text(*encoded));
  EXPECT_EQ(json[0]["lastPlayedAt"], 7.5);
  EXPECT_EQ(json[0]["sourceURL"], "https://youtu.be/abc");
  EXPECT_FALSE(json[1].contains("sourceURL"));
  EXPECT_EQ(json[1]["watchNote"], "");

  auto decoded = RecentVideoItem::decodeList(text(*encoded));
  ASSERT_TRUE(decoded) << decoded.error();
  EXPECT_EQ(decoded->items, items);
  EXPECT_TRUE(decoded->skipped.empty());
}

TEST(RecentVideoItem, TimestampsCountFromTheStartOf2001) {
  EXPECT_EQ(Date::fromUnixTime(978307200.0).timeIntervalSinceReferenceDate, 0);
  EXPECT_EQ(Date{86400}.unixTime(), 978393600.0);
}

TEST(RecentVideoItem, FillsMissingOptionalFieldsAndClampsStars) {
  auto decoded = RecentVideoItem::decodeList(R"([
    {"videoID":"a","title":"A","lastPosition":1,"lastPlayedAt":2},
    {"videoID":"b","title":"B","lastPosition":1.5,"lastPlayedAt":2,"watchLaterStars":7,
     "sourceURL":null,"unknown":[1,2]},
    {"videoID":"c","title":"C","lastPosition":1,"lastPlayedAt":2,"watchLaterStars":-2}])");
  ASSERT_TRUE(decoded) << decoded.error();
  const auto& items = decoded->items;
  EXPECT_EQ(items[0].watchNote, "");
  EXPECT_EQ(items[0].watchLaterStars, 0);
  EXPECT_FALSE(items[0].isThumbsDown);
  EXPECT_EQ(items[0].sourceURL, std::nullopt);
  EXPECT_EQ(items[1].watchLaterStars, 5);
  EXPECT_EQ(items[1].sourceURL, std::nullopt);
  EXPECT_EQ(items[2].watchLaterStars, 0);
}

TEST(RecentVideoItem, ATitleOrANoteOfMegabytesLoadsCut) {
  const std::string title(5 << 20, 't');
  const std::string note(5 << 20, 'n');
  auto decoded = RecentVideoItem::decodeList(
      R"([{"videoID":"a","title":")" + title +
      R"(","lastPosition":1,"lastPlayedAt":2,"watchNote":")" + note + R"("}])");
  ASSERT_TRUE(decoded) << decoded.error();
  EXPECT_EQ(decoded->items.at(0).title, std::string(kLongestTitle, 't'));
  EXPECT_EQ(decoded->items.at(0).watchNote, std::string(kLongestNote, 'n'));
}

TEST(RecentVideoItem, RefusesOnlyWhatIsNotAJsonArray) {
  // A number too large for a double is a syntax error to the JSON reader.
  for (const char* json :
       {"", "not json", R"({"videoID":"a"})", "[\"\xff\"]",
        R"([{"videoID":"a","title":"A","lastPosition":1e999,"lastPlayedAt":2}])"}) {
    auto decoded = RecentVideoItem::decodeList(json);
    EXPECT_FALSE(decoded) << json;
    if (!decoded) {
      EXPECT_FALSE(decoded.error().empty());
    }
  }
  EXPECT_FALSE(RecentVideoItem::decodeList(std::string(200000, '[')));
}

TEST(RecentVideoItem, SkipsABadRecordWithItsReasonAndKeepsTheOthers) {
  const std::string good = R"({"videoID":"good","title":"G","lastPosition":1,"lastPlayedAt":2,
                               "watchLaterStars":4,"watchNote":"keep me"})";
  const std::pair<const char*, const char*> bad[] = {
      {R"({"videoID":"a","lastPosition":1,"lastPlayedAt":2})", "\"title\" is missing"},
      {R"({"videoID":"a","title":"A","lastPosition":"1","lastPlayedAt":2})",
       "\"lastPosition\" is not a finite number"},
      {R"({"videoID":1,"title":"A","lastPosition":1,"lastPlayedAt":2})",
       "\"videoID\" is not a string"},
      {R"({"videoID":"a","title":"A","lastPosition":1,"lastPlayedAt":2,"isThumbsDown":"yes"})",
       "\"isThumbsDown\" is not a boolean"},
      {R"({"videoID":"a","title":"A","lastPosition":1,"lastPlayedAt":2,"watchLaterStars":2.5})",
       "\"watchLaterStars\" is not a whole number"},
      {"5", " is not an object"},
  };
  for (const auto& [record, reason] : bad) {
    auto decoded = RecentVideoItem::decodeList("[" + good + "," + record + "," + good + "]");
    ASSERT_TRUE(decoded) << record;
    ASSERT_EQ(decoded->items.size(), 2u) << record;
    EXPECT_EQ(decoded->items[1].watchNote, "keep me");
    ASSERT_EQ(decoded->skipped.size(), 1u) << record;
    EXPECT_EQ(decoded->skipped[0].rfind("record 1", 0), 0u) << decoded->skipped[0];
    EXPECT_NE(decoded->skipped[0].find(reason), std::string::npos) << decoded->skipped[0];
  }
}

TEST(RecentVideoItem, NeverWritesWhatCannotBeReadBack) {
  RecentVideoItem item{"a", "T", INFINITY, Date{1}, 0, false, "", std::nullopt};
  EXPECT_FALSE(RecentVideoItem::encodeList({item}));
  item.lastPosition = 1;
  item.title = "bad \xff byte";
  auto encoded = RecentVideoItem::encodeList({item});
  ASSERT_TRUE(encoded);
  auto decoded = RecentVideoItem::decodeList(text(*encoded));
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->items[0].title, "bad \xEF\xBF\xBD byte");
}

}  // namespace
}  // namespace orvel
