#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "PlaylistNodePrinter.h"
#include "playlist/PlaylistLibrary.h"
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
  PlaylistNode item = PlaylistNode::item("https://youtu.be/aaaaaaaaaaa?t=1&x=\"q\"", "Clip \\ 1");
  PlaylistNode folder = PlaylistNode::folder("Trips", {item, PlaylistNode::folder("")});
  folder.isExpanded = false;
  folder.lastPlayedID = item.id;
  const Nodes library = {folder, PlaylistNode::item("file:///v/a%20b.mp4")};

  MemoryDefaults defaults;
  PlaylistLibrary::save(library, defaults);
  EXPECT_EQ(PlaylistLibrary::load(defaults), library);

  const auto json = nlohmann::json::parse(storedText(defaults));
  const auto& stored = json.at(0);
  EXPECT_EQ(stored.at("id"), folder.id.uuidString());
  EXPECT_EQ(stored.at("name"), "Trips");
  EXPECT_FALSE(stored.contains("url"));
  EXPECT_EQ(stored.at("isExpanded"), false);
  EXPECT_EQ(stored.at("lastPlayedID"), item.id.uuidString());
  const auto& storedItem = stored.at("children").at(0);
  EXPECT_FALSE(storedItem.contains("children"));
  EXPECT_FALSE(storedItem.contains("lastPlayedID"));
  EXPECT_EQ(storedItem.at("url"), *item.url);
  EXPECT_EQ(stored.at("children").at(1).at("children"), nlohmann::json::array());
  EXPECT_EQ(storedText(defaults).find_first_of("\n\t"), std::string::npos);
  EXPECT_EQ(storedText(defaults).find("\": "), std::string::npos);
  // Upper-case hexadecimal digits, as the store has always held them.
  EXPECT_EQ(folder.id.uuidString().find_first_of("abcdef"), std::string::npos);
}

TEST(PlaylistLibrary, SavesOnlyWhatChangedAndNeverAnUnreadableTree) {
  MemoryDefaults defaults;
  Nodes library = {PlaylistNode::item("https://youtu.be/aaaaaaaaaaa")};
  PlaylistLibrary::save(library, defaults);
  PlaylistLibrary::save(library, defaults);
  EXPECT_EQ(defaults.writeCount(), 1u);

  PlaylistNode deepest = PlaylistNode::folder("deepest");
  for (std::size_t level = 0; level < PlaylistLibrary::maxDepth + 1; ++level) {
    deepest = PlaylistNode::folder("level", {std::move(deepest)});
  }
  const std::string before = storedText(defaults);
  PlaylistLibrary::save({deepest}, defaults);
  EXPECT_EQ(storedText(defaults), before);
}

TEST(PlaylistLibrary, TextThatIsNotUTF8IsStoredWithReplacementCharacters) {
  MemoryDefaults defaults;
  PlaylistLibrary::save({PlaylistNode::folder("bad \xFF name\x01")}, defaults);
  const Nodes loaded = PlaylistLibrary::load(defaults);
  ASSERT_EQ(loaded.size(), 1u);
  EXPECT_EQ(loaded[0].name, "bad \xEF\xBF\xBD name\x01");
}

TEST(PlaylistLibrary, FallsBackToTheLegacyLinksWhenTheLibraryIsAbsentOrMalformed) {
  const std::string id = "\"id\":\"" + Uuid::random().uuidString() + "\"";
  const std::vector<std::string> malformed = {
      "[{" + id + ",\"name\":\"\"}]",  // no isExpanded
      "[{" + id + ",\"isExpanded\":true}]",
      "[{\"name\":\"\",\"isExpanded\":true}]",
      "[{\"id\":\"nonsense\",\"name\":\"\",\"isExpanded\":true}]",
      "[{\"id\":7,\"name\":\"\",\"isExpanded\":true}]",
      "[{" + id + ",\"name\":null,\"isExpanded\":true}]",
      "[{" + id + ",\"name\":\"\",\"isExpanded\":1}]",
      "[{" + id + ",\"name\":\"\",\"isExpanded\":true,\"url\":5}]",
      "[{" + id + ",\"name\":\"\",\"isExpanded\":true,\"children\":{}}]",
      "[{" + id + ",\"name\":\"\",\"isExpanded\":true,\"children\":[7]}]",
      "[{" + id + ",\"name\":\"\",\"isExpanded\":true,\"lastPlayedID\":\"x\"}]",
      "{\"library\":[]}",
      "[{" + id + ",\"name\":\"\",\"isExpanded\":true}",
      "[\"\xFF\"]",
      "",
  };
  for (const std::string& text : malformed) {
    SCOPED_TRACE(text);
    MemoryDefaults defaults = withLegacyLinks();
    defaults.set(PlaylistLibrary::kLibraryKey, storedBytes(text));
    const Nodes library = PlaylistLibrary::load(defaults);
    ASSERT_EQ(library.size(), 2u);
    EXPECT_EQ(library[0].url, "https://youtu.be/aaaaaaaaaaa");
    // The stored bytes stay until the next save replaces them.
    EXPECT_EQ(defaults.values().at("playlistLibrary"), storedBytes(text));
  }

  MemoryDefaults stringInstead = withLegacyLinks();
  stringInstead.set(PlaylistLibrary::kLibraryKey, PropertyList("[]"));
  EXPECT_EQ(PlaylistLibrary::load(stringInstead).size(), 2u);
}

TEST(PlaylistLibrary, RefusesNestingThousandsDeepWithoutWalkingIt) {
  std::string text;
  for (int level = 0; level < 5000; ++level) {
    text +=
        "[{\"id\":\"00000000-0000-0000-0000-000000000001\",\"name\":\"\",\"isExpanded\":true,"
        "\"children\":";
  }
  text += "[]";
  for (int level = 0; level < 5000; ++level) {
    text += "}]";
  }
  MemoryDefaults defaults = withLegacyLinks();
  defaults.set(PlaylistLibrary::kLibraryKey, storedBytes(text));
  EXPECT_EQ(PlaylistLibrary::load(defaults).size(), 2u);
  EXPECT_EQ(PlaylistLibrary::decode(std::string(1'000'000, '[')), std::nullopt);
}

TEST(PlaylistLibrary, ReadsNullAsAbsentAndIgnoresUnknownKeys) {
  const Uuid id = Uuid::random();
  const auto library = PlaylistLibrary::decode(
      "[{\"id\":\"" + id.uuidString() +
      "\",\"name\":\"n\",\"isExpanded\":false,\"url\":null,\"children\":null,"
      "\"lastPlayedID\":null,\"extra\":{\"a\":[1]}},"
      "{\"id\":\"" +
      id.uuidString() + "\",\"name\":\"\",\"isExpanded\":true,\"children\":[]}]");
  ASSERT_TRUE(library);
  ASSERT_EQ(library->size(), 2u);
  EXPECT_EQ((*library)[0].id, id);
  EXPECT_FALSE((*library)[0].url || (*library)[0].children || (*library)[0].lastPlayedID);
  EXPECT_FALSE((*library)[0].isExpanded);
  EXPECT_EQ((*library)[1].children, Nodes());
}

TEST(PlaylistLibrary, LegacyLinksBecomeUnnamedExpandedItemsWithFreshIds) {
  const MemoryDefaults defaults = withLegacyLinks();
  const Nodes first = PlaylistLibrary::load(defaults);
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(first[1].url, "file:///v/b.mkv");
  for (const PlaylistNode& node : first) {
    EXPECT_EQ(node.name, "");
    EXPECT_TRUE(node.isExpanded);
    EXPECT_FALSE(node.children || node.lastPlayedID);
  }
  EXPECT_NE(first[0].id, first[1].id);
  EXPECT_NE(PlaylistLibrary::load(defaults)[0].id, first[0].id);
  EXPECT_TRUE(PlaylistLibrary::load(MemoryDefaults()).empty());
}

TEST(PlaylistLibrary, StableIdsAreTheFirstSixteenBytesOfTheDigest) {
  // SHA-256 of no bytes begins e3b0c442 98fc1c14 9afbf4c8 996fb924; no version bits are set.
  EXPECT_EQ(PlaylistLibrary::stableID("").uuidString(), "E3B0C442-98FC-1C14-9AFB-F4C8996FB924");
  EXPECT_EQ(PlaylistLibrary::stableID("/v/a.mp4"), PlaylistLibrary::stableID("/v/a.mp4"));
  EXPECT_NE(PlaylistLibrary::stableID("/v/a.mp4"), PlaylistLibrary::stableID("/v/b.mp4"));
}

TEST(Uuid, ReadsEitherCaseAndOnlyTheCanonicalForm) {
  const auto id = Uuid::parse("e3b0c442-98fc-1c14-9afb-f4c8996fb924");
  ASSERT_TRUE(id);
  EXPECT_EQ(id->uuidString(), "E3B0C442-98FC-1C14-9AFB-F4C8996FB924");
  EXPECT_EQ(Uuid::parse("00000000-0000-0000-0000-000000000000"), PlaylistTree::rootID);
  for (const char* bad :
       {"", "e3b0c44298fc1c149afbf4c8996fb924", "e3b0c442-98fc-1c14-9afb-f4c8996fb92",
        "e3b0c442-98fc-1c14-9afb-f4c8996fb92g", "e3b0c442+98fc-1c14-9afb-f4c8996fb924",
        "{e3b0c442-98fc-1c14-9afb-f4c8996fb9}"}) {
    EXPECT_EQ(Uuid::parse(bad), std::nullopt) << bad;
  }
  const Uuid fresh = Uuid::random();
  EXPECT_EQ(fresh.uuidString()[14], '4');
  EXPECT_NE(fresh, Uuid::random());
  EXPECT_EQ(Uuid::parse(fresh.uuidString()), fresh);
}

TEST(PlaylistRepeat, IsStoredByItsRawValueAndDefaultsToOff) {
  MemoryDefaults defaults;
  EXPECT_EQ(storedPlaylistRepeat(defaults), PlaylistRepeat::off);
  storePlaylistRepeat(defaults, PlaylistRepeat::one);
  EXPECT_EQ(defaults.values().at("playlistRepeat"), PropertyList("one"));
  EXPECT_EQ(storedPlaylistRepeat(defaults), PlaylistRepeat::one);
  storePlaylistRepeat(defaults, PlaylistRepeat::one);
  EXPECT_EQ(defaults.writeCount(), 1u);
  storePlaylistRepeat(defaults, PlaylistRepeat::all);
  EXPECT_EQ(defaults.values().at("playlistRepeat"), PropertyList("all"));
  EXPECT_EQ(rawValue(PlaylistRepeat::off), "off");

  defaults.set(PlaylistLibrary::kRepeatKey, PropertyList("sometimes"));
  EXPECT_EQ(storedPlaylistRepeat(defaults), PlaylistRepeat::off);
  defaults.set(PlaylistLibrary::kRepeatKey, PropertyList(true));
  EXPECT_EQ(storedPlaylistRepeat(defaults), PlaylistRepeat::off);
}

}  // namespace
}  // namespace orvel
