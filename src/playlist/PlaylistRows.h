// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/Defaults.h"
#include "core/Uuid.h"
#include "playlist/PlaylistLinkResolver.h"
#include "playlist/PlaylistMetadata.h"
#include "playlist/PlaylistNode.h"
#include "playlist/PlaylistSearchIndex.h"
#include "playlist/PlaylistTree.h"

namespace orvel {

// What the playlist panel shows of the tree: the folder rows of the sidebar, the rows of the open
// folder, resume points, durations, saved positions and titles. The stored positions, durations
// and top-level last-played mark are read once, when first needed, and searches and resume points
// are kept for the next keystroke, so make one of these for one state of the library and of what
// is stored: nothing it computes outlives a change of either.
class PlaylistRows {
 public:
  using Nodes = PlaylistTree::Nodes;

  // A row of the open folder's list.
  struct Row {
    // A copy of the node shown; the row's identity is its id. A folder's copy holds none of its
    // children (one may hold 100,000 items): `itemCount` says how many items it has.
    PlaylistNode node;
    // 1-based, counting the rows as shown.
    int number = 0;
    bool isResume = false;
    // For a folder, its items at every depth.
    std::size_t itemCount = 0;
  };

  // Where a folder sits in the sidebar's tree.
  struct SidebarPlace {
    // Nesting level, 0 = top level.
    int depth = 0;
    // One per enclosing folder below the top level, outermost first: true when that folder is
    // not the last of its siblings, so a tree guide goes on down that column.
    std::vector<bool> guides;
    bool isLast = true;
    // 1-based among its sibling folders.
    int number = 0;
  };
  using SidebarVisitor = std::function<void(const PlaylistNode& folder, const SidebarPlace&)>;

  // Searches read `index` when one is given, which outlives this and is told of every change of
  // the library; otherwise an index of its own.
  explicit PlaylistRows(const Defaults& defaults, PlaylistMetadata::Lookup metadata = {},
                        const PlaylistLinkResolver& resolver = PlaylistLinkResolver::shared(),
                        PlaylistSearchIndex* index = nullptr);
  PlaylistRows(const PlaylistRows&) = delete;
  PlaylistRows& operator=(const PlaylistRows&) = delete;

  // The folder tree without items, in order; collapsed folders hide their subtree. The folders
  // visited are the library's own, not copies: one may hold 100,000 items. The panel puts the
  // fixed "All Videos" entry (PlaylistTree::rootID) above these.
  static void forEachSidebarFolder(const Nodes& library, const SidebarVisitor& visit);
  // The open folder's direct children (the library's when the folder is none or gone), or with a
  // search text every item below it whose title or link contains the text, ignoring case.
  std::vector<Row> visibleRows(const Nodes& library, std::optional<Uuid> folderID,
                               std::string_view searchText) const;
  // The same nodes, not copied: valid until the library changes. A list of 100,000 rows makes
  // its `Row`s one at a time, for the rows on screen.
  std::vector<const PlaylistNode*> visibleNodes(const Nodes& library, std::optional<Uuid> folderID,
                                                std::string_view searchText) const;
  // The resume point among what `visibleNodes` gives.
  std::optional<Uuid> visibleResumeID(const Nodes& library, std::optional<Uuid> folderID) const;
  // The row of a node `visibleNodes` gave at `position` (0-based).
  static Row row(const PlaylistNode& node, std::size_t position, std::optional<Uuid> resumeID);
  // The item played last in the folder (the top level's mark when the folder is none), or else
  // the first item with a saved position that is not within 5 seconds of its end.
  std::optional<Uuid> resumeID(const Nodes& library, std::optional<Uuid> folderID) const;
  // The same for a folder in hand, without a search of the library for it.
  std::optional<Uuid> resumeID(const PlaylistNode& folder) const;
  // An item's known duration; for a folder the sum of its items' known durations.
  std::optional<double> duration(const PlaylistNode& node) const;
  // The sum of the known durations of every item in the library, added up `items` at a time:
  // each call adds the next items, and once every item is in, the total comes back (and is kept
  // until the metadata changes). A library of 100,000 items takes many calls, each of them short.
  std::optional<double> totalDuration(const Nodes& library, std::size_t items) const;
  // The stored position of the item's media, when it is at least a second in.
  std::optional<double> savedPosition(const PlaylistNode& node) const;
  // The name, else the metadata title of the link, else the node's title.
  std::string displayTitle(const PlaylistNode& node) const;
  // The metadata of the link changed: its title is looked up again, and searches and resume
  // points (which read titles and durations) are found again.
  void metadataChanged(const std::string& url) const;
  // The title an item shows: its name, else the metadata title of its link, else the title the
  // link gives.
  static std::string itemTitle(const PlaylistNode& item, const PlaylistMetadata::Lookup& metadata,
                               const PlaylistLinkResolver& resolver);

 private:
  using Table = std::unordered_map<std::string, double>;

  std::optional<Uuid> findResumeID(const Nodes& scope, std::optional<Uuid> lastPlayed) const;
  PlaylistSearchIndex& index() const;
  // The display title of an item (of a node with a name or a link), kept for the next search
  // until its metadata changes.
  const std::string& itemTitle(const PlaylistNode& item) const;
  std::optional<double> storedPosition(const PlaylistNode& item) const;
  std::optional<double> itemDuration(const PlaylistNode& item) const;
  std::shared_ptr<const PlaylistLinkResolver::Media> media(const PlaylistNode& item) const;
  const Table& table(std::optional<Table>& cache, std::string_view key) const;

  const Defaults& defaults_;
  PlaylistMetadata::Lookup metadata_;
  const PlaylistLinkResolver& resolver_;
  mutable std::optional<Table> positions_;
  mutable std::optional<Table> durations_;
  mutable std::unordered_map<std::string, std::string> titles_;
  PlaylistSearchIndex* index_;
  mutable std::optional<PlaylistSearchIndex> ownIndex_;
  mutable std::map<std::optional<Uuid>, std::optional<Uuid>> resumeIDs_;
  // The library's total duration while it is added up.
  struct Total {
    std::vector<const PlaylistNode*> items;
    std::size_t added = 0;
    double seconds = 0;
    // Once every item is in.
    std::optional<double> sum;
  };
  mutable Total total_;
};

}  // namespace orvel
