#include <gtest/gtest.h>

#include <random>
#include <set>

#include "PlaylistNodePrinter.h"
#include "playlist/PlaylistTree.h"

namespace orvel {
namespace {

using Nodes = PlaylistTree::Nodes;

std::vector<std::string> titles(const Nodes& nodes) {
  std::vector<std::string> result;
  for (const PlaylistNode& node : nodes) {
    result.push_back(node.title());
  }
  return result;
}

// [folder A (empty), item x, folder B [folder C [item y]]]
class SampleTree : public testing::Test {
 protected:
  SampleTree() {
    x = PlaylistNode::item("https://youtu.be/aaaaaaaaaaa", "x");
    y = PlaylistNode::item("file:///videos/y.mp4", "y");
    a = PlaylistNode::folder("A");
    c = PlaylistNode::folder("C", {y});
    b = PlaylistNode::folder("B", {c});
    library = {a, x, b};
  }

  const PlaylistNode& folder(const PlaylistNode& node) const {
    return *PlaylistTree::find(library, node.id);
  }

  PlaylistNode a, b, c, x, y;
  Nodes library;
};

TEST_F(SampleTree, FlattensItemsAndCountsFoldersAtEveryDepth) {
  EXPECT_EQ(titles(PlaylistTree::items(library)), (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(PlaylistTree::folderCount(library), 3u);
  EXPECT_EQ(titles(PlaylistTree::items(b)), (std::vector<std::string>{"y"}));
  EXPECT_EQ(titles(PlaylistTree::items(x)), (std::vector<std::string>{"x"}));
}

TEST_F(SampleTree, LocatesNodesByTheirDirectParent) {
  EXPECT_EQ(PlaylistTree::location(library, y.id), (PlaylistTree::Location{c.id, 0}));
  EXPECT_EQ(PlaylistTree::location(library, x.id), (PlaylistTree::Location{std::nullopt, 1}));
  EXPECT_EQ(PlaylistTree::location(library, c.id), (PlaylistTree::Location{b.id, 0}));
  EXPECT_EQ(PlaylistTree::location(library, Uuid::random()), std::nullopt);
  EXPECT_EQ(PlaylistTree::node(library, y.id), y);
  EXPECT_EQ(PlaylistTree::node(library, PlaylistTree::rootID), std::nullopt);
}

TEST_F(SampleTree, MarksEveryEnclosingFolderAndClearsOnlyThatMark) {
  PlaylistTree::markPlayed(library, y.id);
  EXPECT_EQ(folder(b).lastPlayedID, y.id);
  EXPECT_EQ(folder(c).lastPlayedID, y.id);
  EXPECT_EQ(folder(a).lastPlayedID, std::nullopt);
  EXPECT_EQ(PlaylistTree::find(library, x.id)->lastPlayedID, std::nullopt);

  const Nodes marked = library;
  PlaylistTree::clearPlayed(library, x.id);
  EXPECT_EQ(library, marked);

  // A folder whose mark names another item keeps it.
  PlaylistTree::update(library, b.id, [&](PlaylistNode& node) { node.lastPlayedID = x.id; });
  PlaylistTree::clearPlayed(library, y.id);
  EXPECT_EQ(folder(b).lastPlayedID, x.id);
  EXPECT_EQ(folder(c).lastPlayedID, std::nullopt);
}

TEST_F(SampleTree, InsertsIntoFoldersAndOnlyExpandsItems) {
  PlaylistTree::update(library, c.id, [](PlaylistNode& node) { node.isExpanded = false; });
  PlaylistNode n = PlaylistNode::item("https://youtu.be/bbbbbbbbbbb", "n");
  PlaylistTree::insert(library, {n}, c.id, 99);
  EXPECT_EQ(titles(*folder(c).children), (std::vector<std::string>{"y", "n"}));
  EXPECT_TRUE(folder(c).isExpanded);

  PlaylistNode m = PlaylistNode::item("https://youtu.be/ccccccccccc", "m");
  PlaylistTree::insert(library, {m, m}, c.id, 1);
  EXPECT_EQ(titles(*folder(c).children), (std::vector<std::string>{"y", "m", "m", "n"}));

  PlaylistTree::update(library, x.id, [](PlaylistNode& node) { node.isExpanded = false; });
  PlaylistTree::insert(library, {n}, x.id);
  EXPECT_TRUE(folder(x).isExpanded);
  EXPECT_FALSE(folder(x).children);
  EXPECT_EQ(PlaylistTree::items(library).size(), 5u);
}

TEST_F(SampleTree, RemovingItemsKeepsEveryFolder) {
  PlaylistTree::removeItems(library, [](const PlaylistNode&) { return true; });
  ASSERT_EQ(titles(library), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(folder(c).children, Nodes());
  EXPECT_EQ(PlaylistTree::folderCount(library), 3u);
}

TEST(PlaylistTree, DuplicatedIdsFindTheFirstInTraversalOrderButRemoveTheShallowOne) {
  PlaylistNode deep = PlaylistNode::item("https://youtu.be/aaaaaaaaaaa", "deep");
  PlaylistNode shallow = deep;
  shallow.name = "shallow";
  Nodes library = {PlaylistNode::folder("F", {deep}), shallow};

  EXPECT_EQ(PlaylistTree::node(library, deep.id)->name, "deep");
  EXPECT_EQ(PlaylistTree::location(library, deep.id)->parent, library[0].id);

  EXPECT_EQ(PlaylistTree::remove(library, deep.id)->name, "shallow");
  EXPECT_EQ(PlaylistTree::remove(library, deep.id)->name, "deep");
  EXPECT_EQ(PlaylistTree::remove(library, deep.id), std::nullopt);
  ASSERT_EQ(library.size(), 1u);
  EXPECT_EQ(library[0].children, Nodes());
}

TEST(PlaylistTree, FindsThePlayingItemPreferringTheGivenOne) {
  const PlaylistNode first = PlaylistNode::item("https://www.youtube.com/watch?v=dQw4w9WgXcQ");
  const PlaylistNode second = PlaylistNode::item("https://youtu.be/dQw4w9WgXcQ?t=5");
  const PlaylistNode other = PlaylistNode::item("https://youtu.be/aaaaaaaaaaa");
  PlaylistNode unlinked;
  const Nodes library = {other, unlinked, PlaylistNode::folder("F", {first}), second};

  EXPECT_EQ(PlaylistTree::item(library, "dQw4w9WgXcQ", second.id), second);
  EXPECT_EQ(PlaylistTree::item(library, "dQw4w9WgXcQ", std::nullopt), first);
  EXPECT_EQ(PlaylistTree::item(library, "dQw4w9WgXcQ", other.id), first);
  EXPECT_EQ(PlaylistTree::item(library, "zzzzzzzzzzz", std::nullopt), std::nullopt);
}

TEST(PlaylistTree, ShufflesEveryLevelAndKeepsChildrenWithTheirFolders) {
  std::mt19937 generator(7);
  Nodes library;
  for (int index = 0; index < 3; ++index) {
    library.push_back(PlaylistNode::item("https://youtu.be/aaaaaaaaaa" + std::to_string(index),
                                         std::to_string(index)));
  }
  library.push_back(PlaylistNode::folder("F", {library[0], library[1]}));
  std::set<std::vector<std::string>> orders;
  std::set<std::vector<std::string>> innerOrders;
  for (int round = 0; round < 200; ++round) {
    Nodes shuffled = library;
    PlaylistTree::shuffleRecursively(shuffled, generator);
    orders.insert(titles(shuffled));
    const PlaylistNode& folder = *PlaylistTree::find(shuffled, library[3].id);
    innerOrders.insert(titles(*folder.children));
    EXPECT_EQ(folder.children->size(), 2u);
  }
  EXPECT_EQ(orders.size(), 24u);
  EXPECT_EQ(innerOrders.size(), 2u);

  Nodes shuffled = library;
  PlaylistTree::shuffleRecursively(shuffled);
  const std::vector<std::string> shown = titles(shuffled);
  EXPECT_EQ(std::multiset<std::string>(shown.begin(), shown.end()),
            (std::multiset<std::string>{"0", "1", "2", "F"}));
}

TEST(PlaylistNode, DerivesItsTitleFromNameKindAndLink) {
  EXPECT_EQ(PlaylistNode::folder("").title(), "Untitled Folder");
  EXPECT_EQ(PlaylistNode::folder("Trips").title(), "Trips");
  EXPECT_EQ(PlaylistNode::item("file:///v/My%20Film.mkv").title(), "My Film");
  EXPECT_EQ(PlaylistNode::item("https://youtu.be/dQw4w9WgXcQ").title(), "YouTube Video");
  EXPECT_EQ(PlaylistNode::item("https://example.com/page").title(), "Video");
  EXPECT_EQ(PlaylistNode().title(), "Video");

  EXPECT_EQ(PlaylistNode::item("file:///v/a.mp4").fileURL()->path(), "/v/a.mp4");
  EXPECT_EQ(PlaylistNode::item("https://example.com/a.mp4").fileURL(), std::nullopt);
  EXPECT_EQ(PlaylistNode::item("not a url").fileURL(), std::nullopt);

  const PlaylistNode inner = PlaylistNode::folder("inner");
  const PlaylistNode outer =
      PlaylistNode::folder("outer", {PlaylistNode::item("file:///a.mp4"), inner});
  EXPECT_EQ(outer.subfolders(), (Nodes{inner}));
  EXPECT_TRUE(PlaylistNode::item("file:///a.mp4").subfolders().empty());
}

TEST(PlaylistNode, EqualityAndHashSeeEveryField) {
  const PlaylistNode base = PlaylistNode::folder("F", {PlaylistNode::item("file:///a.mp4")});
  std::vector<PlaylistNode> variants(6, base);
  variants[0].id = Uuid::random();
  variants[1].name = "G";
  variants[2].url = "file:///b.mp4";
  (*variants[3].children)[0].name = "renamed";
  variants[4].isExpanded = false;
  variants[5].lastPlayedID = Uuid::random();
  for (const PlaylistNode& variant : variants) {
    EXPECT_NE(variant, base);
    EXPECT_NE(std::hash<PlaylistNode>()(variant), std::hash<PlaylistNode>()(base));
  }
  EXPECT_EQ(std::hash<PlaylistNode>()(PlaylistNode(base)), std::hash<PlaylistNode>()(base));
}

}  // namespace
}  // namespace orvel
