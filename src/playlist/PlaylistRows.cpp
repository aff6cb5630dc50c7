// SPDX-License-Identifier: GPL-3.0-or-later

#include "playlist/PlaylistRows.h"

#include <algorithm>
#include <cmath>

#include "core/Text.h"
#include "playlist/PlaylistLibrary.h"

namespace orvel {
namespace {

using Nodes = PlaylistRows::Nodes;
using Row = PlaylistRows::Row;

void visitFolders(const Nodes& nodes, int depth, const std::vector<bool>& guides,
                  const PlaylistRows::SidebarVisitor& visit) {
  std::vector<const PlaylistNode*> folders;
  for (const PlaylistNode& node : nodes) {
    if (node.isFolder()) {
      folders.push_back(&node);
    }
  }
  for (std::size_t position = 0; position < folders.size(); ++position) {
    const PlaylistNode& folder = *folders[position];
    const bool isLast = position + 1 == folders.size();
    visit(folder, {depth, guides, isLast, static_cast<int>(position) + 1});
    if (folder.isExpanded) {
      // Top-level folders draw no guide for their children: the sidebar has no column for the
      // top level itself.
      std::vector<bool> childGuides;
      if (depth > 0) {
        childGuides = guides;
        childGuides.push_back(!isLast);
      }
      visitFolders(*folder.children, depth + 1, childGuides, visit);
    }
  }
}

const PlaylistNode* existingFolder(const Nodes& library, std::optional<Uuid> folderID) {
  if (!folderID) {
    return nullptr;
  }
  const PlaylistNode* node = PlaylistTree::find(library, *folderID);
  return node && node->isFolder() ? node : nullptr;
}

}  // namespace

PlaylistRows::PlaylistRows(const Defaults& defaults, PlaylistMetadata::Lookup metadata,
                           const PlaylistLinkResolver& resolver, PlaylistSearchIndex* index)
    : defaults_(defaults), metadata_(std::move(metadata)), resolver_(resolver), index_(index) {}

PlaylistSearchIndex& PlaylistRows::index() const {
  if (index_) {
    return *index_;
  }
  if (!ownIndex_) {
    ownIndex_.emplace([this](const PlaylistNode& item) { return itemTitle(item); });
  }
  return *ownIndex_;
}

void PlaylistRows::forEachSidebarFolder(const Nodes& library, const SidebarVisitor& visit) {
  visitFolders(library, 0, {}, visit);
}

std::vector<Row> PlaylistRows::visibleRows(const Nodes& library, std::optional<Uuid> folderID,
                                           std::string_view searchText) const {
  const std::vector<const PlaylistNode*> nodes = visibleNodes(library, folderID, searchText);
  const std::optional<Uuid> resume = visibleResumeID(library, folderID);
  std::vector<Row> rows;
  rows.reserve(nodes.size());
  for (const PlaylistNode* node : nodes) {
    rows.push_back(row(*node, rows.size(), resume));
  }
  return rows;
}

std::vector<const PlaylistNode*> PlaylistRows::visibleNodes(const Nodes& library,
                                                            std::optional<Uuid> folderID,
                                                            std::string_view searchText) const {
  const PlaylistNode* folder = existingFolder(library, folderID);
  const Nodes& scope = folder ? *folder->children : library;
  const std::string_view query = trimmedWhitespace(searchText);
  std::vector<const PlaylistNode*> nodes;
  if (query.empty()) {
    nodes.reserve(scope.size());
    for (const PlaylistNode& node : scope) {
      nodes.push_back(&node);
    }
  } else {
    nodes = index().find(library, scope, query);
  }
  return nodes;
}

std::optional<Uuid> PlaylistRows::visibleResumeID(const Nodes& library,
                                                  std::optional<Uuid> folderID) const {
  return resumeID(library, existingFolder(library, folderID) ? folderID : std::nullopt);
}

Row PlaylistRows::row(const PlaylistNode& node, std::size_t position,
                      std::optional<Uuid> resumeID) {
  const bool isResume = node.id == resumeID;
  const int number = static_cast<int>(position) + 1;
  if (!node.isFolder()) {
    return Row{node, number, isResume, 0};
  }
  PlaylistNode shallow;
  shallow.id = node.id;
  shallow.name = node.name;
  shallow.url = node.url;
  shallow.children.emplace();
  shallow.isExpanded = node.isExpanded;
  shallow.lastPlayedID = node.lastPlayedID;
  return Row{std::move(shallow), number, isResume, PlaylistTree::itemCount(*node.children)};
}

std::optional<Uuid> PlaylistRows::resumeID(const Nodes& library,
                                           std::optional<Uuid> folderID) const {
  if (auto kept = resumeIDs_.find(folderID); kept != resumeIDs_.end()) {
    return kept->second;
  }
  const PlaylistNode* folder = folderID ? PlaylistTree::find(library, *folderID) : nullptr;
  if (folder && folder->isFolder()) {
    return resumeID(*folder);
  }
  std::optional<Uuid> lastPlayed;
  if (!folderID) {
    if (auto stored = defaults_.object(PlaylistLibrary::kLastPlayedKey)) {
      if (const auto* text = stored->get<std::string>()) {
        lastPlayed = Uuid::parse(*text);
      }
    }
  }
  return resumeIDs_[folderID] = findResumeID(library, lastPlayed);
}

std::optional<Uuid> PlaylistRows::resumeID(const PlaylistNode& folder) const {
  auto [kept, added] = resumeIDs_.try_emplace(folder.id);
  if (added) {
    kept->second = findResumeID(*folder.children, folder.lastPlayedID);
  }
  return kept->second;
}

std::optional<Uuid> PlaylistRows::findResumeID(const Nodes& scope,
                                               std::optional<Uuid> lastPlayed) const {
  // The mark is not cleaned when its item is removed, so it counts only while the item is here.
  if (lastPlayed && !PlaylistTree::forEachItem(
                        scope, [&](const PlaylistNode& item) { return item.id != *lastPlayed; })) {
    return lastPlayed;
  }
  // With no saved position at all, no item of a large folder need be resolved to learn so.
  if (table(positions_, PlaylistLibrary::kPlaybackPositionsKey).empty()) {
    return std::nullopt;
  }
  std::optional<Uuid> resume;
  PlaylistTree::forEachItem(scope, [&](const PlaylistNode& item) {
    const std::optional<double> position = savedPosition(item);
    if (!position) {
      return true;
    }
    const std::optional<double> length = itemDuration(item);
    if (!length || *position < *length - 5.0) {
      resume = item.id;
      return false;
    }
    return true;
  });
  return resume;
}

std::optional<double> PlaylistRows::duration(const PlaylistNode& node) const {
  if (!node.isFolder()) {
    return itemDuration(node);
  }
  std::optional<double> total;
  PlaylistTree::forEachItem(*node.children, [&](const PlaylistNode& item) {
    if (auto length = itemDuration(item)) {
      total = total.value_or(0) + *length;
    }
    return true;
  });
  return total;
}

std::optional<double> PlaylistRows::totalDuration(const Nodes& library, std::size_t items) const {
  if (total_.sum) {
    return total_.sum;
  }
  if (total_.added == 0 && total_.items.empty()) {
    // Listing the items is cheap; looking up their durations is what takes time.
    PlaylistTree::forEachItem(library, [this](const PlaylistNode& item) {
      total_.items.push_back(&item);
      return true;
    });
  }
  const std::size_t left = total_.items.size() - total_.added;
  const std::size_t end = total_.added + std::min(items, left);
  for (; total_.added < end; ++total_.added) {
    if (auto length = itemDuration(*total_.items[total_.added])) {
      total_.seconds += *length;
    }
  }
  if (total_.added == total_.items.size()) {
    total_.sum = total_.seconds;
    total_.items = {};
  }
  return total_.sum;
}

std::optional<double> PlaylistRows::savedPosition(const PlaylistNode& node) const {
  auto resolved = media(node);
  if (!resolved) {
    return std::nullopt;
  }
  const Table& positions = table(positions_, PlaylistLibrary::kPlaybackPositionsKey);
  auto found = positions.find(resolved->mediaID);
  // Anything under a second is where a start was abandoned, not a place to come back to.
  if (found == positions.end() || !(found->second >= 1.0)) {
    return std::nullopt;
  }
  return found->second;
}

std::string PlaylistRows::displayTitle(const PlaylistNode& node) const {
  if (node.name.empty() && (!node.url || node.isFolder())) {
    return node.title(resolver_);
  }
  return itemTitle(node);
}

const std::string& PlaylistRows::itemTitle(const PlaylistNode& item) const {
  if (!item.name.empty() || !item.url) {
    return item.name;
  }
  auto [title, added] = titles_.try_emplace(*item.url);
  if (added) {
    title->second = itemTitle(item, metadata_, resolver_);
  }
  return title->second;
}

std::string PlaylistRows::itemTitle(const PlaylistNode& item,
                                    const PlaylistMetadata::Lookup& metadata,
                                    const PlaylistLinkResolver& resolver) {
  if (!item.name.empty() || !item.url) {
    return item.name;
  }
  const PlaylistMetadata::Info* info = metadata ? metadata(*item.url) : nullptr;
  return info && info->title ? *info->title : item.title(resolver);
}

void PlaylistRows::metadataChanged(const std::string& url) const {
  titles_.erase(url);
  index().titleChanged(url);
  resumeIDs_.clear();
  total_ = {};
}

std::optional<double> PlaylistRows::itemDuration(const PlaylistNode& item) const {
  if (!item.url || item.isFolder()) {
    return std::nullopt;
  }
  if (metadata_) {
    if (const PlaylistMetadata::Info* info = metadata_(*item.url); info && info->duration) {
      return info->duration;
    }
  }
  auto resolved = media(item);
  if (!resolved) {
    return std::nullopt;
  }
  const Table& durations = table(durations_, PlaylistLibrary::kMediaDurationsKey);
  auto found = durations.find(resolved->mediaID);
  if (found == durations.end()) {
    return std::nullopt;
  }
  return found->second;
}

std::shared_ptr<const PlaylistLinkResolver::Media> PlaylistRows::media(
    const PlaylistNode& item) const {
  if (!item.url || item.isFolder()) {
    return nullptr;
  }
  return resolver_.resolve(*item.url);
}

const PlaylistRows::Table& PlaylistRows::table(std::optional<Table>& cache,
                                               std::string_view key) const {
  if (cache) {
    return *cache;
  }
  cache.emplace();
  auto stored = defaults_.object(key);
  const auto* dictionary = stored ? stored->get<PropertyList::Dictionary>() : nullptr;
  if (!dictionary) {
    return *cache;
  }
  for (const auto& [mediaID, value] : *dictionary) {
    double seconds = NAN;
    if (const auto* real = value.get<double>()) {
      seconds = *real;
    } else if (const auto* integer = value.get<std::int64_t>()) {
      seconds = static_cast<double>(*integer);
    }
    // A value that is no finite number would poison every sum and comparison it enters.
    if (std::isfinite(seconds)) {
      cache->emplace(mediaID, seconds);
    }
  }
  return *cache;
}

}  // namespace orvel
