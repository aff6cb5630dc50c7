// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "playlist/PlaylistNode.h"
#include "playlist/PlaylistTree.h"

namespace orvel {

// The titles and links of every item of one library, case folded and kept in tree order, so that
// a search of 100,000 items reads each of them once without looking anything up. It is read a
// slice at a time (`prepare`), so that a large library is ready before the first keystroke
// without holding the main loop; a search before then reads the rest at once.
class PlaylistSearchIndex {
 public:
  using Nodes = PlaylistTree::Nodes;
  // The title an item shows.
  using TitleOf = std::function<std::string(const PlaylistNode& item)>;

  explicit PlaylistSearchIndex(TitleOf titleOf);

  // Reads up to `items` more items of the library; true once all of it is read.
  bool prepare(const Nodes& library, std::size_t items);
  // Every item below `scope` (the library or a folder's children within it) whose title or link
  // contains the text, ignoring case and how accents were encoded; the text is not empty.
  std::vector<const PlaylistNode*> find(const Nodes& library, const Nodes& scope,
                                        std::string_view text);
  // The title of the items with this link is read again; true when one of them changed.
  bool titleChanged(const std::string& url);
  // The library was replaced or edited: nothing read from it is used again.
  void libraryChanged();

  // Case folded and in composed form, so that a search ignores case ("ß" finds "SS") and finds
  // text however its accents were encoded.
  static std::string folded(std::string_view text);

 private:
  struct Entry {
    const PlaylistNode* item;
    // The folded title and link, apart by a NUL that no search text holds: in `blocks_`, or in
    // `changed_` once the title changed.
    std::string_view text;
  };
  using Range = std::pair<std::size_t, std::size_t>;

  void list(const Nodes& nodes);
  std::string textOf(const PlaylistNode& item) const;
  std::string_view kept(std::string_view text);
  // Which entries a text finds, among those of a range.
  std::vector<std::size_t> matching(const std::string& needle,
                                    const std::vector<std::size_t>* among, Range range) const;

  TitleOf titleOf_;
  // What the entries were listed from: a library replaced by another is listed again.
  const PlaylistNode* listedFrom_ = nullptr;
  std::size_t listedSize_ = 0;
  bool listed_ = false;
  std::vector<Entry> entries_;
  // How many entries have their text.
  std::size_t read_ = 0;
  // The texts as read, one after another in large blocks, so that a search reads them in order
  // of memory; a block is never moved or grown, so the views into it stay valid.
  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t blockUsed_ = 0;
  std::deque<std::string> changed_;
  // The entries below each folder's children (and the library's), which follow one another.
  std::unordered_map<const Nodes*, Range> ranges_;
  // The entries read, by link (the items' own, which outlive the index's use of them).
  std::unordered_map<std::string_view, std::vector<std::size_t>> byURL_;
  // The last search, which the next keystroke narrows.
  struct Found {
    Range range;
    std::string needle;
    std::vector<std::size_t> entries;
  };
  std::deque<Found> found_;
};

}  // namespace orvel
