// SPDX-License-Identifier: GPL-3.0-or-later

#include "playlist/PlaylistSearchIndex.h"

#include <gtest/gtest.h>

#include <map>

namespace orvel {
namespace {

using Nodes = PlaylistTree::Nodes;
using Strings = std::vector<std::string>;

// Titles come from a table the test changes, as metadata arrives in the player.
class SearchIndexTest : public testing::Test {
 protected:
  std::map<std::string, std::string> titles{{"https://x.invalid/1", "Harbour at dawn"},
                                            {"https://x.invalid/2", "Harbour at night"},
                                            {"https://x.invalid/3", "Mountain pass"},
                                            {"https://x.invalid/4", "Night train"}};
  PlaylistNode trips = PlaylistNode::folder(
      "Trips", {PlaylistNode::item("https://x.invalid/2"),
                PlaylistNode::folder("Rail", {PlaylistNode::item("https://x.invalid/4")})});
  Nodes library{PlaylistNode::item("https://x.invalid/1"), trips,
                PlaylistNode::item("https://x.invalid/3"),
                PlaylistNode::item("file:///v/Night%20owl.mp4", "Owl")};

  PlaylistSearchIndex::TitleOf titleOf() {
    return [this](const PlaylistNode& item) {
      if (!item.name.empty()) {
        return item.name;
      }
      auto found = titles.find(*item.url);
      return found == titles.end() ? std::string("Video") : found->second;
    };
  }

  static Strings names(const std::vector<const PlaylistNode*>& found) {
    Strings result;
    for (const PlaylistNode* item : found) {
      result.push_back(item->name.empty() ? *item->url : item->name);
    }
    return result;
  }
};

TEST_F(SearchIndexTest, ReadInSlicesItFindsWhatOneReadFindsInEveryScope) {
  PlaylistSearchIndex sliced(titleOf());
  int slices = 0;
  while (!sliced.prepare(library, 1)) {
    ++slices;
  }
  EXPECT_EQ(slices, 4);
  // This one reads everything at its first search, and that one the rest of it, as a search typed
  // before the idle turns have read a large library does.
  PlaylistSearchIndex unread(titleOf());
  PlaylistSearchIndex partly(titleOf());
  EXPECT_FALSE(partly.prepare(library, 2));
  EXPECT_EQ(names(partly.find(library, library, "owl")), Strings{"Owl"});
  const Nodes& rail = *(*library[1].children)[1].children;
  for (const Nodes* scope : std::vector<const Nodes*>{&library, &*library[1].children, &rail}) {
    for (const char* text : {"night", "HARBOUR", "x.invalid/4", "%20owl", "a"}) {
      const Strings found = names(unread.find(library, *scope, text));
      EXPECT_EQ(names(sliced.find(library, *scope, text)), found) << text;
      EXPECT_EQ(names(partly.find(library, *scope, text)), found) << text;
    }
  }
  EXPECT_EQ(names(sliced.find(library, library, "night")),
            (Strings{"https://x.invalid/2", "https://x.invalid/4", "Owl"}));
  EXPECT_EQ(names(sliced.find(library, rail, "night")), (Strings{"https://x.invalid/4"}));
  // A title and a link are apart: no text runs from one into the other.
  EXPECT_TRUE(sliced.find(library, library, "dawnhttps").empty());
  const Nodes elsewhere{PlaylistNode::item("https://x.invalid/1")};
  EXPECT_TRUE(sliced.find(library, elsewhere, "harbour").empty());
}

TEST_F(SearchIndexTest, ANewTitleOrANewLibraryIsFoundByItsNewTextAndNotItsOld) {
  PlaylistSearchIndex index(titleOf());
  EXPECT_EQ(index.find(library, library, "pass").size(), 1u);
  EXPECT_EQ(index.find(library, library, "pas").size(), 1u);

  titles["https://x.invalid/3"] = "Mountain lake";
  EXPECT_TRUE(index.titleChanged("https://x.invalid/3"));
  EXPECT_FALSE(index.titleChanged("https://x.invalid/3"));
  EXPECT_FALSE(index.titleChanged("https://x.invalid/unknown"));
  // Searches kept from before the change are not reused.
  EXPECT_TRUE(index.find(library, library, "pas").empty());
  EXPECT_TRUE(index.find(library, library, "pass").empty());
  EXPECT_EQ(index.find(library, library, "lake").size(), 1u);

  // The library is replaced by an edited copy, as an edit in the panel does.
  Nodes edited = library;
  edited[0].name = "Lighthouse";
  library = std::move(edited);
  index.libraryChanged();
  EXPECT_EQ(names(index.find(library, library, "harbour")), (Strings{"https://x.invalid/2"}));
  EXPECT_EQ(names(index.find(library, library, "lighthouse")), (Strings{"Lighthouse"}));
}

}  // namespace
}  // namespace orvel
