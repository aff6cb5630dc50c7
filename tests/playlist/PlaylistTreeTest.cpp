// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "PlaylistTestSupport.h"
#include "playlist/PlaylistTree.h"

namespace orvel {
namespace {

using Nodes = PlaylistTree::Nodes;
using Strings = std::vector<std::string>;

// [folder A (empty), item x, folder B [folder C [item y]]]
class SampleTree : public testing::Test {
 protected:
  const PlaylistNode& node(const PlaylistNode& wanted) const {
    return *PlaylistTree::find(library, wanted.id);
  }

  PlaylistNode x = PlaylistNode::item("https://youtu.be/aaaaaaaaaaa", "x");
  PlaylistNode y = PlaylistNode::item("file:///videos/y.mp4", "y");
  PlaylistNode a = PlaylistNode::folder("A");
  PlaylistNode c = PlaylistNode::folder("C", {y});
  PlaylistNode b = PlaylistNode::folder("B", {c});
  Nodes library = {a, x, b};
};

TEST_F(SampleTree, FlattensCountsAndLocatesNodesAtEveryDepth) {
  EXPECT_EQ(titles(PlaylistTree::items(library)), (Strings{"x", "y"}));
  EXPECT_EQ(PlaylistTree::folderCount(library), 3u);
  EXPECT_EQ(PlaylistTree::itemCount(library), 2u);
  EXPECT_EQ(PlaylistTree::itemCount(*a.children), 0u);
  EXPECT_EQ(PlaylistTree::location(library, y.id), (PlaylistTree::Location{c.id, 0}));
  EXPECT_EQ(PlaylistTree::location(library, x.id), (PlaylistTree::Location{std::nullopt, 1}));
  EXPECT_EQ(PlaylistTree::location(library, Uuid::random()), std::nullopt);
  EXPECT_EQ(PlaylistTree::node(library, PlaylistTree::rootID), std::nullopt);
}

TEST_F(SampleTree, MarksEveryEnclosingFolderAndClearsOnlyThatMark) {
  PlaylistTree::markPlayed(library, y.id);
  EXPECT_EQ(node(b).lastPlayedID, y.id);
  EXPECT_EQ(node(c).lastPlayedID, y.id);
  EXPECT_EQ(node(a).lastPlayedID, std::nullopt);

  const Nodes marked = library;
  PlaylistTree::clearPlayed(library, x.id);
  EXPECT_EQ(library, marked);

  // A folder whose mark names another item keeps it.
  PlaylistTree::update(library, b.id, [&](PlaylistNode& folder) { folder.lastPlayedID = x.id; });
  PlaylistTree::clearPlayed(library, y.id);
  EXPECT_EQ(node(b).lastPlayedID, x.id);
  EXPECT_EQ(node(c).lastPlayedID, std::nullopt);
}

TEST_F(SampleTree, InsertsIntoFoldersAndOnlyExpandsItems) {
  PlaylistTree::update(library, c.id, [](PlaylistNode& folder) { folder.isExpanded = false; });
  const PlaylistNode n = PlaylistNode::item("https://youtu.be/bbbbbbbbbbb", "n");
  const PlaylistNode m = PlaylistNode::item("https://youtu.be/ccccccccccc", "m");
  PlaylistTree::insert(library, {n}, c.id, 99);
  EXPECT_TRUE(node(c).isExpanded);
  PlaylistTree::insert(library, {m, m}, c.id, 1);
  EXPECT_EQ(titles(*node(c).children), (Strings{"y", "m", "m", "n"}));

  PlaylistTree::update(library, x.id, [](PlaylistNode& item) { item.isExpanded = false; });
  PlaylistTree::insert(library, {n}, x.id);
  EXPECT_TRUE(node(x).isExpanded);
  EXPECT_FALSE(node(x).children);
}

TEST_F(SampleTree, RemovingItemsKeepsEveryFolder) {
  PlaylistTree::removeItems(library, [](const PlaylistNode&) { return true; });
  EXPECT_EQ(titles(library), (Strings{"A", "B"}));
  EXPECT_EQ(node(c).children, Nodes());
}

TEST(PlaylistTree, DuplicatedIdsFindTheFirstInTraversalOrderButRemoveTheShallowOne) {
  const PlaylistNode deep = PlaylistNode::item("https://youtu.be/aaaaaaaaaaa", "deep");
  PlaylistNode shallow = deep;
  shallow.name = "shallow";
  Nodes library = {PlaylistNode::folder("F", {deep}), shallow};

  EXPECT_EQ(PlaylistTree::node(library, deep.id)->name, "deep");
  EXPECT_EQ(PlaylistTree::location(library, deep.id)->parent, library[0].id);
  EXPECT_EQ(PlaylistTree::remove(library, deep.id)->name, "shallow");
  EXPECT_EQ(PlaylistTree::remove(library, deep.id)->name, "deep");
  EXPECT_EQ(PlaylistTree::remove(library, deep.id), std::nullopt);
  EXPECT_EQ(titles(library), (Strings{"F"}));
}

TEST(PlaylistTree, FindsThePlayingItemPreferringTheGivenOne) {
  const PlaylistNode first = PlaylistNode::item("https://www.youtube.com/watch?v=dQw4w9WgXcQ");
  const PlaylistNode second = PlaylistNode::item("https://youtu.be/dQw4w9WgXcQ?t=5");
  const PlaylistNode other = PlaylistNode::item("https://youtu.be/aaaaaaaaaaa");
  const Nodes library = {other, PlaylistNode(), PlaylistNode::folder("F", {first}), second};

  EXPECT_EQ(PlaylistTree::item(library, "dQw4w9WgXcQ", second.id), second);
  EXPECT_EQ(PlaylistTree::item(library, "dQw4w9WgXcQ", std::nullopt), first);
  EXPECT_EQ(PlaylistTree::item(library, "dQw4w9WgXcQ", other.id), first);
  EXPECT_EQ(PlaylistTree::item(library, "zzzzzzzzzzz", std::nullopt), std::nullopt);
}

TEST(PlaylistTree, ShufflesEveryLevelAndKeepsChildrenWithTheirFolders) {
  Nodes library;
  for (const char* name : {"0", "1", "2"}) {
    library.push_back(PlaylistNode::item(std::string("https://youtu.be/aaaaaaaaaa") + name, name));
  }
  library.push_back(PlaylistNode::folder("F", {library[0], library[1]}));
  std::mt19937 generator(7);
  std::set<Strings> orders;
  std::set<Strings> innerOrders;
  for (int round = 0; round < 200; ++round) {
    Nodes shuffled = library;
    PlaylistTree::shuffleRecursively(shuffled, generator);
    orders.insert(titles(shuffled));
    innerOrders.insert(titles(*PlaylistTree::find(shuffled, library[3].id)->children));
  }
  EXPECT_EQ(orders.size(), 24u);
  EXPECT_EQ(innerOrders, (std::set<Strings>{{"0", "1"}, {"1", "0"}}));
}

TEST(PlaylistNode, DerivesItsTitleFromNameKindAndLink) {
  EXPECT_EQ(PlaylistNode::folder("").title(), "Untitled Folder");
  EXPECT_EQ(PlaylistNode::item("file:///v/My%20Film.mkv").title(), "My Film");
  EXPECT_EQ(PlaylistNode::item("https://youtu.be/dQw4w9WgXcQ", "Mine").title(), "Mine");
  EXPECT_EQ(PlaylistNode::item("https://example.com/page").title(), "Video");
  EXPECT_EQ(PlaylistNode().title(), "Video");
  EXPECT_EQ(PlaylistNode::item("https://example.com/a.mp4").fileURL(), std::nullopt);
  EXPECT_EQ(PlaylistNode::item("file:///v/a%20b.mp4").fileURL()->path(), "/v/a b.mp4");
}

}  // namespace
}  // namespace orvel
