// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "PlaylistTestSupport.h"
#include "core/Text.h"
#include "playlist/PlaylistRepeat.h"
#include "support/MemoryDefaults.h"

namespace orvel {
namespace {

using Nodes = PlaylistTree::Nodes;

PropertyList storedBytes(std::string_view text) {
  return PropertyList(PropertyList::Data(text.begin(), text.end()));
}

std::string storedText(const MemoryDefaults& defaults) {
  const auto& bytes = *defaults.values().at("playlistLibrary").get<PropertyList::Data>();
  return std::string(bytes.begin(), bytes.end());
}

MemoryDefaults withLegacyLinks() {
  MemoryDefaults defaults;
  defaults.set(PlaylistLibrary::kLegacyURLsKey,
               PropertyList::stringArray({"https://youtu.be/aaaaaaaaaaa", "file:///v/b.mkv"}));
  return defaults;
}

TEST(PlaylistLibrary, StoresEveryFieldWithTheKeysAndPresenceOfTheStoredForm) {
  PlaylistNode item = PlaylistNode::item("https://youtu.be/aaaaaaaaaaa?x=\"q\"", "Clip \\ 1");
  PlaylistNode folder = PlaylistNode::folder("Trips", {item, PlaylistNode::folder("")});
  folder.isExpanded = false;
  folder.lastPlayedID = item.id;
  const Nodes library = {folder, PlaylistNode::item("file:///v/a%20b.mp4")};

  MemoryDefaults defaults;
  PlaylistLibrary::save(library, defaults);
  PlaylistLibrary::save(library, defaults);
  EXPECT_EQ(defaults.writeCount(), 1u);
  EXPECT_EQ(PlaylistLibrary::load(defaults), library);

  const std::string text = storedText(defaults);
  EXPECT_EQ(text.find_first_of("\n\t"), std::string::npos);
  const auto stored = nlohmann::json::parse(text).at(0);
  EXPECT_EQ(stored.at("id"), folder.id.uuidString());
  EXPECT_EQ(folder.id.uuidString().find_first_of("abcdef"), std::string::npos);
  EXPECT_FALSE(stored.contains("url"));
  EXPECT_EQ(stored.at("isExpanded"), false);
  EXPECT_EQ(stored.at("lastPlayedID"), item.id.uuidString());
  EXPECT_FALSE(stored.at("children").at(0).contains("children"));
  EXPECT_FALSE(stored.at("children").at(0).contains("lastPlayedID"));
  EXPECT_EQ(stored.at("children").at(1).at("children"), nlohmann::json::array());
}

TEST(PlaylistLibrary, NeitherBadTextNorATooDeepTreeCanSpoilTheStoredLibrary) {
  MemoryDefaults defaults;
  PlaylistLibrary::save({PlaylistNode::folder("bad \xFF name\x01")}, defaults);
  EXPECT_EQ(PlaylistLibrary::load(defaults).at(0).name, "bad \xEF\xBF\xBD name\x01");
  // A name of megabytes (a store edited by hand) loads cut, never inside a character.
  PlaylistLibrary::save({PlaylistNode::folder("\xC3\xA9" + std::string(5 << 20, 'n'))}, defaults);
  EXPECT_EQ(PlaylistLibrary::load(defaults).at(0).name,
            "\xC3\xA9" + std::string(kLongestTitle - 1, 'n'));

  PlaylistNode deepest = PlaylistNode::folder("deepest");
  for (std::size_t level = 0; level < PlaylistLibrary::maxDepth + 1; ++level) {
    deepest = PlaylistNode::folder("level", {std::move(deepest)});
  }
  const std::string before = storedText(defaults);
  PlaylistLibrary::save({deepest}, defaults);
  EXPECT_EQ(storedText(defaults), before);
}

// A stored library of more videos than the player holds loads its first ones in tree order; the
// whole stored value is kept beside it, a later one beside that, and the library is stored cut.
TEST(PlaylistLibrary, AStoredLibraryPastTheCapLoadsItsFirstVideosAndKeepsTheWholeAside) {
  MemoryDefaults defaults;
  Nodes items;
  for (int number = 0; number < 5; ++number) {
    items.push_back(
        PlaylistNode::item("https://youtu.be/" + std::string(10, 'a') + std::to_string(number)));
  }
  const Nodes library{PlaylistNode::folder("A", {items[0], items[1]}), items[2],
                      PlaylistNode::folder("B", {items[3], items[4]})};
  PlaylistLibrary::save(library, defaults);
  const PropertyList whole = *defaults.object(PlaylistLibrary::kLibraryKey);
  PlaylistLibrary::SetAside setAside;
  const Nodes loaded = PlaylistLibrary::loadKeepingUnreadable(defaults, &setAside, 3);
  EXPECT_EQ(PlaylistTree::items(loaded), Nodes(items.begin(), items.begin() + 3));
  // The folders stay, emptied where their videos were past the cap.
  ASSERT_EQ(loaded.size(), 3u);
  EXPECT_TRUE(loaded[2].children->empty());
  EXPECT_EQ(setAside.videos, 2u);
  EXPECT_EQ(setAside.key, "playlistLibrary.overflow");
  EXPECT_EQ(defaults.object("playlistLibrary.overflow"), whole);
  EXPECT_EQ(PlaylistLibrary::load(defaults), loaded);

  PlaylistLibrary::SetAside again;
  PlaylistLibrary::loadKeepingUnreadable(defaults, &again, 3);
  EXPECT_EQ(again.videos, 0u);
  PlaylistLibrary::save(library, defaults);
  PlaylistLibrary::loadKeepingUnreadable(defaults, &again, 3);
  EXPECT_EQ(again.key, "playlistLibrary.overflow-2");
  EXPECT_EQ(defaults.object("playlistLibrary.overflow"), whole);
}

TEST(PlaylistLibrary, AStoredTableOfMediaIDsIsCutToItsFirstKeysWithTheWholeKeptAside) {
  MemoryDefaults defaults;
  PropertyList::Dictionary table;
  for (const char* id : {"a", "b", "c", "d"}) {
    table.emplace(id, PropertyList(1.0));
  }
  defaults.set(PlaylistLibrary::kMediaDurationsKey, PropertyList(table));
  EXPECT_EQ(PlaylistLibrary::boundStoredTable(defaults, PlaylistLibrary::kMediaDurationsKey, 4),
            0u);
  EXPECT_EQ(PlaylistLibrary::boundStoredTable(defaults, PlaylistLibrary::kMediaDurationsKey, 3),
            1u);
  const auto stored = defaults.object(PlaylistLibrary::kMediaDurationsKey);
  const auto* kept = stored ? stored->get<PropertyList::Dictionary>() : nullptr;
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->size(), 3u);
  EXPECT_FALSE(kept->contains("d"));
  EXPECT_EQ(defaults.object("mediaDurations.overflow"), PropertyList(table));
}

TEST(PlaylistLibrary, FallsBackToTheLegacyLinksWhenTheLibraryIsAbsentOrMalformed) {
  const std::string node = "{\"id\":\"" + Uuid::random().uuidString() + "\",\"name\":\"\"";
  std::string tooDeep;
  for (int level = 0; level < 5000; ++level) {
    tooDeep += "[" + node + ",\"isExpanded\":true,\"children\":";
  }
  tooDeep += "[]";
  for (int level = 0; level < 5000; ++level) {
    tooDeep += "}]";
  }
  const std::vector<std::string> malformed = {
      "[" + node + "}]",
      "[" + node + ",\"isExpanded\":1}]",
      "[{\"name\":\"\",\"isExpanded\":true}]",
      "[{\"id\":\"nonsense\",\"name\":\"\",\"isExpanded\":true}]",
      "[{\"id\":7,\"name\":\"\",\"isExpanded\":true}]",
      "[" + node + ",\"isExpanded\":true,\"url\":5}]",
      "[" + node + ",\"isExpanded\":true,\"children\":{}}]",
      "[" + node + ",\"isExpanded\":true,\"children\":[7]}]",
      "[" + node + ",\"isExpanded\":true,\"lastPlayedID\":\"x\"}]",
      "{\"library\":[]}",
      "[\"\xFF\"]",
      "",
      tooDeep,
      std::string(1'000'000, '['),
  };
  for (const std::string& text : malformed) {
    SCOPED_TRACE(text.substr(0, 80));
    MemoryDefaults defaults = withLegacyLinks();
    defaults.set(PlaylistLibrary::kLibraryKey, storedBytes(text));
    EXPECT_EQ(namesAndLinks(PlaylistLibrary::load(defaults)),
              namesAndLinks({PlaylistNode::item("https://youtu.be/aaaaaaaaaaa"),
                             PlaylistNode::item("file:///v/b.mkv")}));
    // The stored bytes stay until the next save replaces them.
    EXPECT_EQ(defaults.values().at("playlistLibrary"), storedBytes(text));
  }
  MemoryDefaults stringInstead = withLegacyLinks();
  stringInstead.set(PlaylistLibrary::kLibraryKey, PropertyList("[]"));
  EXPECT_EQ(PlaylistLibrary::load(stringInstead).size(), 2u);
}

TEST(PlaylistLibrary, LegacyLinksBecomeUnnamedExpandedItemsWithFreshIds) {
  const MemoryDefaults defaults = withLegacyLinks();
  const Nodes first = PlaylistLibrary::load(defaults);
  ASSERT_EQ(first.size(), 2u);
  for (const PlaylistNode& node : first) {
    EXPECT_TRUE(node.name.empty() && node.isExpanded && !node.children && !node.lastPlayedID);
  }
  EXPECT_NE(first[0].id, first[1].id);
  EXPECT_NE(PlaylistLibrary::load(defaults)[0].id, first[0].id);
  EXPECT_TRUE(PlaylistLibrary::load(MemoryDefaults()).empty());
}

// A library saved when one file added twice shared an id still loads; the first keeps the id,
// the later copy gets one of its own, the same at every start.
TEST(PlaylistLibrary, AStoredLibraryWithOneIdTwiceLoadsWithAnIdPerRow) {
  PlaylistNode first = PlaylistNode::item("file:///v/a.mkv");
  first.id = PlaylistLibrary::stableID("/v/a.mkv");
  PlaylistNode folder = PlaylistNode::folder("F", {first});
  folder.lastPlayedID = first.id;
  MemoryDefaults defaults;
  PlaylistLibrary::save({first, folder}, defaults);
  const Nodes loaded = PlaylistLibrary::load(defaults);
  ASSERT_EQ(loaded.size(), 2u);
  EXPECT_EQ(loaded[0].id, first.id);
  const Uuid copy = (*loaded[1].children)[0].id;
  EXPECT_NE(copy, first.id);
  EXPECT_NE(copy, loaded[1].id);
  EXPECT_EQ(namesAndLinks(loaded), namesAndLinks({first, folder}));
  EXPECT_EQ((*PlaylistLibrary::load(defaults)[1].children)[0].id, copy);
}

TEST(PlaylistLibrary, StableIdsAreTheFirstSixteenBytesOfTheDigestUnchanged) {
  // SHA-256 of no bytes begins e3b0c442 98fc1c14 9afbf4c8 996fb924: version nibble 1 stays.
  EXPECT_EQ(PlaylistLibrary::stableID("").uuidString(), "E3B0C442-98FC-1C14-9AFB-F4C8996FB924");
  EXPECT_EQ(Uuid::parse("e3b0c442-98fc-1c14-9afb-f4c8996fb92g"), std::nullopt);
  EXPECT_EQ(Uuid::random().uuidString()[14], '4');
  EXPECT_NE(PlaylistLibrary::stableID("/v/a.mp4"), PlaylistLibrary::stableID("/v/b.mp4"));
}

TEST(PlaylistRepeat, IsStoredByItsRawValueAndDefaultsToOff) {
  MemoryDefaults defaults;
  EXPECT_EQ(storedPlaylistRepeat(defaults), PlaylistRepeat::off);
  storePlaylistRepeat(defaults, PlaylistRepeat::one);
  storePlaylistRepeat(defaults, PlaylistRepeat::one);
  EXPECT_EQ(defaults.writeCount(), 1u);
  EXPECT_EQ(defaults.values().at("playlistRepeat"), PropertyList("one"));
  storePlaylistRepeat(defaults, PlaylistRepeat::all);
  EXPECT_EQ(storedPlaylistRepeat(defaults), PlaylistRepeat::all);
  defaults.set(PlaylistLibrary::kRepeatKey, PropertyList("sometimes"));
  EXPECT_EQ(storedPlaylistRepeat(defaults), PlaylistRepeat::off);
}

}  // namespace
}  // namespace orvel
