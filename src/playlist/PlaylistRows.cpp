// SPDX-License-Identifier: GPL-3.0-or-later

#include "playlist/PlaylistRows.h"

#include <glib.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "core/Text.h"
#include "playlist/PlaylistLibrary.h"

namespace orvel {
namespace {

using Nodes = PlaylistRows::Nodes;
using Row = PlaylistRows::Row;

struct GFree {
  void operator()(void* pointer) const { g_free(pointer); }
};
using GString = std::unique_ptr<char, GFree>;

bool isASCII(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      return false;
    }
  }
  return true;
}

char lowered(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Case folded and in composed form, so that a search ignores case ("ß" finds "SS") and finds
// text however its accents were encoded.
std::string folded(std::string_view text) {
  if (isASCII(text)) {
    return asciiLowercased(text);
  }
  GString valid(g_utf8_make_valid(text.data(), static_cast<gssize>(text.size())));
  GString casefolded(g_utf8_casefold(valid.get(), -1));
  GString composed(g_utf8_normalize(casefolded.get(), -1, G_NORMALIZE_NFC));
  return composed ? composed.get() : casefolded.get();
}

// A search text, folded once and matched against many titles and links.
class SearchText {
 public:
  explicit SearchText(std::string_view query) : needle_(folded(query)) {}

  bool isFoundIn(std::string_view text) const {
    if (isASCII(text)) {
      return isASCII(needle_) && foundInASCII(text);
    }
    const std::string haystack = folded(text);
    for (std::size_t at = haystack.find(needle_); at != std::string::npos;
         at = haystack.find(needle_, at + 1)) {
      // A letter followed by a combining accent is one letter to the reader: "e" does not find
      // the "é" of "café" written as e and an accent.
      const std::size_t end = at + needle_.size();
      if (end < haystack.size() && g_unichar_ismark(g_utf8_get_char(haystack.c_str() + end))) {
        continue;
      }
      return true;
    }
    return false;
  }

 private:
  bool foundInASCII(std::string_view text) const {
    if (needle_.size() > text.size()) {
      return false;
    }
    for (std::size_t at = 0; at + needle_.size() <= text.size(); ++at) {
      std::size_t matched = 0;
      while (matched < needle_.size() && lowered(text[at + matched]) == needle_[matched]) {
        ++matched;
      }
      if (matched == needle_.size()) {
        return true;
      }
    }
    return false;
  }

  std::string needle_;
};

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
                           const PlaylistLinkResolver& resolver)
    : defaults_(defaults), metadata_(std::move(metadata)), resolver_(resolver) {}

void PlaylistRows::forEachSidebarFolder(const Nodes& library, const SidebarVisitor& visit) {
  visitFolders(library, 0, {}, visit);
}

std::vector<Row> PlaylistRows::visibleRows(const Nodes& library, std::optional<Uuid> folderID,
                                           std::string_view searchText) const {
  const PlaylistNode* folder = existingFolder(library, folderID);
  const Nodes& scope = folder ? *folder->children : library;
  const std::string_view query = trimmedWhitespace(searchText);
  const std::optional<Uuid> scopeID = folder ? folderID : std::nullopt;
  const std::optional<Uuid> resume = resumeID(library, scopeID);
  std::vector<Row> rows;
  auto add = [&](const PlaylistNode& node) {
    if (!node.isFolder()) {
      rows.push_back(Row{node, static_cast<int>(rows.size()) + 1, node.id == resume, 0});
      return;
    }
    PlaylistNode shallow;
    shallow.id = node.id;
    shallow.name = node.name;
    shallow.url = node.url;
    shallow.children.emplace();
    shallow.isExpanded = node.isExpanded;
    shallow.lastPlayedID = node.lastPlayedID;
    rows.push_back(Row{std::move(shallow), static_cast<int>(rows.size()) + 1, node.id == resume,
                       PlaylistTree::itemCount(*node.children)});
  };
  if (query.empty()) {
    rows.reserve(scope.size());
    for (const PlaylistNode& node : scope) {
      add(node);
    }
  } else {
    const std::vector<Match>& found = search(scope, scopeID, query);
    rows.reserve(found.size());
    for (const Match& match : found) {
      add(*match.item);
    }
  }
  return rows;
}

const std::vector<PlaylistRows::Match>& PlaylistRows::search(const Nodes& scope,
                                                             const std::optional<Uuid>& folderID,
                                                             std::string_view query) const {
  const Found* narrowest = nullptr;
  for (const Found& found : searches_) {
    if (found.scope != &scope || found.folder != folderID) {
      continue;
    }
    if (found.query == query) {
      return found.items;
    }
    // What a longer text finds, a shorter text within it finds too. (Not so for every text: "e"
    // does not find the "e" of an "e" and an accent, which "e" and the accent does find.)
    if (isASCII(query) && query.find(found.query) != std::string_view::npos &&
        (!narrowest || found.items.size() < narrowest->items.size())) {
      narrowest = &found;
    }
  }
  const SearchText search(query);
  auto matches = [&](const Match& match) {
    return search.isFoundIn(*match.title) ||
           (match.item->url && search.isFoundIn(*match.item->url));
  };
  std::vector<Match> shown;
  if (narrowest) {
    for (const Match& match : narrowest->items) {
      if (matches(match)) {
        shown.push_back(match);
      }
    }
  } else {
    PlaylistTree::forEachItem(scope, [&](const PlaylistNode& item) {
      if (const Match match{&item, &itemTitle(item)}; matches(match)) {
        shown.push_back(match);
      }
      return true;
    });
  }
  if (searches_.size() == kKeptSearches) {
    searches_.erase(searches_.begin());
  }
  searches_.push_back({&scope, folderID, std::string(query), std::move(shown)});
  return searches_.back().items;
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
  // A search reads every title below the folder at each keystroke.
  auto [title, added] = titles_.try_emplace(*item.url);
  if (added) {
    const PlaylistMetadata::Info* info = metadata_ ? metadata_(*item.url) : nullptr;
    title->second = info && info->title ? *info->title : item.title(resolver_);
  }
  return title->second;
}

void PlaylistRows::metadataChanged(const std::string& url) const {
  titles_.erase(url);
  searches_.clear();
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
