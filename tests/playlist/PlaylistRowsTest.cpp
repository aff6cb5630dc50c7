// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <map>

#include "PlaylistTestSupport.h"
#include "playlist/PlaylistRows.h"
#include "support/MemoryDefaults.h"

namespace orvel {
namespace {

using Nodes = PlaylistTree::Nodes;
using Row = PlaylistRows::Row;
using Strings = std::vector<std::string>;

std::string mediaID(const PlaylistNode& item) {
  return "mp4:" + *item.url;
}

Strings shown(const PlaylistRows& rows, const std::vector<Row>& list) {
  Strings result;
  for (const Row& row : list) {
    result.push_back(std::to_string(row.number) + " " + rows.displayTitle(row.node) +
                     (row.isResume ? " (resume)" : ""));
  }
  return result;
}

// A folder of four files whose stored positions and durations put each one on a different side
// of the resume rules: 0.5 s in, 100 s of 105, 30 s of unknown, 50 s of 200.
class ResumePoints : public testing::Test {
 protected:
  ResumePoints() {
    setPositions({{barelyStarted, 0.5}, {nearlyDone, 100.0}, {noDuration, 30.0}, {halfway, 50.0}});
    defaults.set(PlaylistLibrary::kMediaDurationsKey,
                 PropertyList(PropertyList::Dictionary{{mediaID(nearlyDone), 105.0},
                                                       {mediaID(halfway), std::int64_t{200}}}));
  }

  void setPositions(const std::vector<std::pair<PlaylistNode, double>>& positions) {
    PropertyList::Dictionary stored;
    for (const auto& [item, seconds] : positions) {
      stored[mediaID(item)] = seconds;
    }
    defaults.set(PlaylistLibrary::kPlaybackPositionsKey, PropertyList(stored));
  }

  void markFolder(std::optional<Uuid> id) {
    PlaylistTree::update(library, folder.id, [&](PlaylistNode& node) { node.lastPlayedID = id; });
  }

  std::optional<Uuid> resume(std::optional<Uuid> scope) const {
    return PlaylistRows(defaults).resumeID(library, scope);
  }

  MemoryDefaults defaults;
  PlaylistNode barelyStarted = PlaylistNode::item("file:///v/1.mp4");
  PlaylistNode nearlyDone = PlaylistNode::item("file:///v/2.mp4");
  PlaylistNode noDuration = PlaylistNode::item("file:///v/3.mp4");
  PlaylistNode halfway = PlaylistNode::item("file:///v/4.mp4");
  PlaylistNode folder = PlaylistNode::folder("F", {barelyStarted, nearlyDone, noDuration, halfway});
  Nodes library = {folder};
};

TEST_F(ResumePoints, FallBackToTheFirstMeaningfulPositionWhenTheMarkedItemIsGone) {
  markFolder(Uuid::random());
  EXPECT_EQ(resume(folder.id), noDuration.id);
  markFolder(halfway.id);
  EXPECT_EQ(resume(folder.id), halfway.id);
  // A folder id that names nothing has no mark and falls back over the whole library.
  EXPECT_EQ(resume(Uuid::random()), noDuration.id);

  defaults.set(PlaylistLibrary::kLastPlayedKey, PropertyList(nearlyDone.id.uuidString()));
  EXPECT_EQ(resume(std::nullopt), nearlyDone.id);
  defaults.set(PlaylistLibrary::kLastPlayedKey, PropertyList("not a uuid"));
  EXPECT_EQ(resume(std::nullopt), noDuration.id);
}

TEST_F(ResumePoints, SkipTheLastFiveSecondsOnlyWhenTheDurationIsKnown) {
  setPositions({{nearlyDone, 99.9}, {halfway, 50.0}});
  EXPECT_EQ(resume(folder.id), nearlyDone.id);
  setPositions({{nearlyDone, 100.0}, {halfway, 50.0}});
  EXPECT_EQ(resume(folder.id), halfway.id);

  // The metadata record's duration comes before the stored one.
  PlaylistMetadata::Info info;
  info.duration = 33.0;
  const PlaylistRows withMetadata(
      defaults, [&](const std::string& url) { return url == *noDuration.url ? &info : nullptr; });
  setPositions({{noDuration, 30.0}, {halfway, 50.0}});
  EXPECT_EQ(withMetadata.resumeID(library, folder.id), halfway.id);
  EXPECT_EQ(withMetadata.duration(folder), 338.0);

  setPositions({{barelyStarted, 0.5}});
  EXPECT_EQ(resume(folder.id), std::nullopt);
}

TEST_F(ResumePoints, SavedPositionsStartAtOneSecondAndFoldersAddUpTheKnownDurations) {
  const PlaylistRows rows(defaults);
  EXPECT_EQ(rows.savedPosition(barelyStarted), std::nullopt);
  EXPECT_EQ(rows.savedPosition(noDuration), 30.0);
  EXPECT_EQ(rows.savedPosition(folder), std::nullopt);
  EXPECT_EQ(rows.duration(folder), 305.0);
  EXPECT_EQ(rows.duration(PlaylistNode::folder("", {noDuration, barelyStarted})), std::nullopt);
  EXPECT_EQ(shown(rows, rows.visibleRows(library, folder.id, "")),
            (Strings{"1 1", "2 2", "3 3 (resume)", "4 4"}));
}

TEST_F(ResumePoints, TheLibrarysTotalIsAddedUpInSlicesAndAgainWhenMetadataChanges) {
  PlaylistMetadata::Info info;
  const PlaylistRows rows(
      defaults, [&](const std::string& url) { return url == *noDuration.url ? &info : nullptr; });
  library.push_back(PlaylistNode::item("https://example.com/unknown.webm"));
  EXPECT_EQ(rows.totalDuration(library, 2), std::nullopt);
  EXPECT_EQ(rows.totalDuration(library, 2), std::nullopt);
  EXPECT_EQ(rows.totalDuration(library, 2), 305.0);
  info.duration = 33.0;
  EXPECT_EQ(rows.totalDuration(library, 0), 305.0);
  rows.metadataChanged(*noDuration.url);
  EXPECT_EQ(rows.totalDuration(library, 0), std::nullopt);
  EXPECT_EQ(rows.totalDuration(library, 100), 338.0);
  EXPECT_EQ(PlaylistRows(defaults).totalDuration({}, 0), 0.0);
}

class PlaylistSearch : public testing::Test {
 protected:
  MemoryDefaults defaults;
  PlaylistNode pets = PlaylistNode::folder(
      "Pets", {PlaylistNode::item("https://youtu.be/aaaaaaaaaaa", "cat food"),
               PlaylistNode::folder("Deep", {PlaylistNode::item("file:///v/x.mp4", "CATALOG")}),
               PlaylistNode::item("https://youtu.be/bbbbbbbbbbb", "Dog")});
  Nodes library = {PlaylistNode::item("https://youtu.be/ccccccccccc", "The Cat Show"),
                   pets,
                   PlaylistNode::item("https://example.com/cats.mp4", "Mystery"),
                   PlaylistNode::item("https://youtu.be/ddddddddddd"),
                   PlaylistNode::item("file:///v/Stra%C3%9Fe.mp4"),
                   PlaylistNode::item("file:///v/cafe%CC%81.webm")};
};

TEST_F(PlaylistSearch, FindsItemsAtEveryDepthOfTheOpenFolderInAnyCaseAndRenumbers) {
  const PlaylistRows rows(defaults);
  EXPECT_EQ(shown(rows, rows.visibleRows(library, pets.id, "  cat \t")),
            (Strings{"1 cat food", "2 CATALOG"}));
  EXPECT_EQ(shown(rows, rows.visibleRows(library, pets.id, " ")),
            (Strings{"1 cat food", "2 Deep", "3 Dog"}));
  // A folder that is gone, or an item, opens the top level.
  EXPECT_EQ(rows.visibleRows(library, Uuid::random(), "").size(), library.size());
  EXPECT_EQ(rows.visibleRows(library, library[0].id, "").size(), library.size());
}

TEST_F(PlaylistSearch, MatchesLinksMetadataTitlesAndFoldsCaseAndAccents) {
  PlaylistMetadata::Info info;
  info.title = "Funny CAT compilation";
  const PlaylistRows rows(defaults, [&](const std::string& url) {
    return url == "https://youtu.be/ddddddddddd" ? &info : nullptr;
  });
  EXPECT_EQ(shown(rows, rows.visibleRows(library, std::nullopt, "CAT")),
            (Strings{"1 The Cat Show", "2 cat food", "3 CATALOG", "4 Mystery",
                     "5 Funny CAT compilation"}));
  EXPECT_EQ(shown(rows, rows.visibleRows(library, std::nullopt, "STRASSE")), (Strings{"1 Straße"}));
  // The title spells é as e and a combining accent; the query spells it as one letter.
  EXPECT_EQ(rows.visibleRows(library, std::nullopt, "CAFÉ").size(), 1u);
  EXPECT_EQ(rows.visibleRows(library, std::nullopt, "cafe.").size(), 0u);
  EXPECT_EQ(rows.visibleRows(library, std::nullopt, "\xFF\xFE").size(), 0u);
}

// Each keystroke reuses what the texts before it found; the rows must be those a first search
// for the same text finds, whichever texts and folders came before.
TEST_F(PlaylistSearch, TypingAndErasingFindWhatAFirstSearchFinds) {
  const PlaylistRows typed(defaults);
  const std::vector<std::pair<std::optional<Uuid>, std::string>> keystrokes{
      {std::nullopt, "c"},    {std::nullopt, "ca"},  {std::nullopt, "caf"}, {std::nullopt, "cafe"},
      {std::nullopt, "caf"},  {std::nullopt, "ca"},  {std::nullopt, "cat"}, {pets.id, "cat"},
      {pets.id, "cata"},      {pets.id, "at"},       {std::nullopt, "at"},  {std::nullopt, "CAT"},
      {std::nullopt, "CAFÉ"}, {std::nullopt, "CAF"}, {std::nullopt, "E"},   {std::nullopt, "e"}};
  for (const auto& [folder, text] : keystrokes) {
    const PlaylistRows fresh(defaults);
    EXPECT_EQ(shown(typed, typed.visibleRows(library, folder, text)),
              shown(fresh, fresh.visibleRows(library, folder, text)))
        << text;
  }

  // "e" does not find an "e" that an accent follows; "e" and the accent finds it.
  const Nodes accented{PlaylistNode::item("https://x.invalid/a.mp4", "cafe\xCC\x81")};
  const PlaylistRows accentedRows(defaults);
  EXPECT_EQ(accentedRows.visibleRows(accented, std::nullopt, "e").size(), 0u);
  EXPECT_EQ(accentedRows.visibleRows(accented, std::nullopt, "e\xCC\x81").size(), 1u);
}

TEST_F(PlaylistSearch, ATitleThatArrivesLaterIsFoundByTheSameText) {
  PlaylistMetadata::Info info;
  const PlaylistRows rows(defaults, [&](const std::string& url) {
    return url == "https://youtu.be/ddddddddddd" ? &info : nullptr;
  });
  EXPECT_EQ(rows.visibleRows(library, std::nullopt, "never").size(), 0u);
  info.title = "Never Gonna";
  rows.metadataChanged("https://youtu.be/ddddddddddd");
  EXPECT_EQ(shown(rows, rows.visibleRows(library, std::nullopt, "never")),
            (Strings{"1 Never Gonna"}));
  EXPECT_EQ(rows.visibleRows(library, std::nullopt, "never g").size(), 1u);
}

TEST(PlaylistRows, SidebarDrawsGuidesOnlyForFoldersBelowTheTopLevel) {
  Nodes library = {
      PlaylistNode::folder(
          "F1", {PlaylistNode::folder("G1", {PlaylistNode::folder("H1")}),
                 PlaylistNode::item("https://youtu.be/aaaaaaaaaaa"), PlaylistNode::folder("G2")}),
      PlaylistNode::item("https://youtu.be/bbbbbbbbbbb"),
      PlaylistNode::folder("F2", {PlaylistNode::folder("G3", {PlaylistNode::folder("H2")})})};
  auto describe = [&] {
    Strings result;
    PlaylistRows::forEachSidebarFolder(
        library, [&](const PlaylistNode& folder, const PlaylistRows::SidebarPlace& place) {
          std::string guides;
          for (bool guide : place.guides) {
            guides += guide ? "|" : ".";
          }
          result.push_back(std::to_string(place.depth) + guides + " " + folder.name + " #" +
                           std::to_string(place.number) + (place.isLast ? " last" : ""));
        });
    return result;
  };
  EXPECT_EQ(describe(), (Strings{"0 F1 #1", "1 G1 #1", "2| H1 #1 last", "1 G2 #2 last",
                                 "0 F2 #2 last", "1 G3 #1 last", "2. H2 #1 last"}));
  library[2].isExpanded = false;
  EXPECT_EQ(describe().size(), 5u);
}

}  // namespace
}  // namespace orvel
