// SPDX-License-Identifier: GPL-3.0-or-later

#include "playlist/PlaylistView.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iterator>

#include "core/Text.h"
#include "core/Translation.h"
#include "playlist/PlaylistLibrary.h"

namespace orvel {

namespace {

std::string joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) {
    if (!text.empty()) {
      text += " · ";
    }
    text += part;
  }
  return text;
}

}  // namespace

PlaylistView::PlaylistView(Inputs inputs, Dependencies dependencies)
    : inputs_(std::move(inputs)),
      deps_(std::move(dependencies)),
      searchIndex_([this](const PlaylistNode& item) {
        return PlaylistRows::itemTitle(item, metadataLookup(), PlaylistLinkResolver::shared());
      }) {}

PlaylistMetadata::Lookup PlaylistView::metadataLookup() const {
  PlaylistMetadata::Lookup lookup;
  if (PlaylistMetadata* metadata = deps_.metadata) {
    lookup = [metadata](const std::string& url) { return metadata->info(url); };
  }
  return lookup;
}

PlaylistRepeat PlaylistView::repeatMode() const {
  return storedPlaylistRepeat(deps_.defaults);
}

ObserverToken PlaylistView::observeChanges(std::function<void()> observer) {
  return observers_.add(std::move(observer));
}

void PlaylistView::libraryChanged() {
  searchIndex_.libraryChanged();
  // Rows that went away cannot stay selected.
  std::erase_if(selection_, [this](const Uuid& id) { return node(id) == nullptr; });
  changed();
}

void PlaylistView::appear() {
  if (const auto current = currentItemID()) {
    openFolder_ = parentFolder(*current);
  } else {
    openFolder_ = PlaylistLibrary::storedID(deps_.defaults, PlaylistLibrary::kScopeKey);
  }
  changed();
}

// MARK: - What is shown

std::optional<Uuid> PlaylistView::folderID() const {
  if (!openFolder_) {
    return std::nullopt;
  }
  const PlaylistNode* folder = node(*openFolder_);
  return folder && folder->isFolder() ? openFolder_ : std::nullopt;
}

std::string PlaylistView::folderTitle(std::optional<Uuid> folder) const {
  if (!folder) {
    return _("All Videos");
  }
  const PlaylistNode* found = node(*folder);
  return found ? found->title() : _("All Videos");
}

const PlaylistRows& PlaylistView::rows() const {
  // One per redraw: it reads the stored positions and durations once, and every row drawn after
  // a change shares them.
  if (!rows_) {
    rows_.emplace(deps_.defaults, metadataLookup(), PlaylistLinkResolver::shared(), &searchIndex_);
  }
  return *rows_;
}

std::vector<PlaylistView::Row> PlaylistView::visibleRows() const {
  return rows().visibleRows(library(), folderID(), query_);
}

std::optional<Uuid> PlaylistView::resumeID(std::optional<Uuid> scope) const {
  return rows().resumeID(library(), scope);
}

std::vector<PlaylistView::Crumb> PlaylistView::breadcrumb() const {
  std::vector<Crumb> crumbs;
  for (auto folder = folderID(); folder; folder = parentFolder(*folder)) {
    crumbs.push_back({folder, folderTitle(folder)});
  }
  crumbs.push_back({std::nullopt, _("All Videos")});
  std::reverse(crumbs.begin(), crumbs.end());
  return crumbs;
}

std::string PlaylistView::headerSummary() const {
  const PlaylistRows& derived = rows();
  std::vector<std::string> parts{videoCount(itemCount(std::nullopt))};
  if (const std::size_t folders = PlaylistTree::folderCount(library())) {
    parts.push_back(formatted(P_("%s folder", "%s folders", folders), {std::to_string(folders)}));
  }
  if (const auto total = derived.totalDuration(library(), 0); total && *total > 0) {
    parts.push_back(formatDuration(*total));
  }
  if (const auto current = currentItemID()) {
    if (const PlaylistNode* item = node(*current)) {
      parts.push_back(formatted(_("Now playing: %s"), {derived.displayTitle(*item)}));
    }
  }
  return joined(parts);
}

bool PlaylistView::sumDurations(std::size_t items) const {
  return rows().totalDuration(library(), items).has_value();
}

std::optional<PlaylistView::EmptyState> PlaylistView::emptyState(bool hasRows) const {
  if (hasRows) {
    return std::nullopt;
  }
  if (library().empty()) {
    return EmptyState{_("Your playlist is empty"),
                      _("Add video links, MP4/WebM/MKV files or whole folders.\n"
                        "Create folders to organize them.")};
  }
  if (!query_.empty()) {
    return EmptyState{_("No matches"), formatted(_("No videos match “%s”."), {query_})};
  }
  return EmptyState{_("This folder is empty"),
                    _("Add links or files while this folder is open,\nor use Move To on other "
                      "videos.")};
}

std::string PlaylistView::subtitle(const Row& row) const {
  const PlaylistRows& derived = rows();
  const PlaylistNode& shown = row.node;
  if (shown.isFolder()) {
    std::string text = videoCount(row.itemCount);
    if (auto resume = derived.resumeID(library(), shown.id)) {
      if (const PlaylistNode* item = node(*resume)) {
        text += " · " + formatted(_("Stopped at %s"), {derived.displayTitle(*item)});
      }
    }
    return text;
  }
  std::vector<std::string> parts;
  if (!query_.empty()) {
    if (auto parent = parentFolder(shown.id)) {
      parts.push_back(folderTitle(parent));
    }
  }
  const PlaylistMetadata::Info* info =
      deps_.metadata && shown.url ? deps_.metadata->info(*shown.url) : nullptr;
  if (info && info->author && !info->author->empty()) {
    parts.push_back(*info->author);
  } else if (auto file = shown.fileURL()) {
    const std::string directory = std::filesystem::path(file->path()).parent_path().filename();
    if (!directory.empty()) {
      parts.push_back(PlaylistLibrary::displayName(directory));
    }
  } else if (shown.url) {
    if (auto link = Url::parse(*shown.url); link && link->hasHost()) {
      parts.push_back(link->host());
    }
  }
  return joined(parts);
}

std::optional<double> PlaylistView::progress(const PlaylistNode& shown) const {
  if (shown.isFolder()) {
    return std::nullopt;
  }
  const PlaylistRows& derived = rows();
  const auto position = derived.savedPosition(shown);
  const auto duration = derived.duration(shown);
  if (!position || !duration || !(*duration > 0)) {
    return std::nullopt;
  }
  return std::clamp(*position / *duration, 0.0, 1.0);
}

std::optional<std::string> PlaylistView::resumeLabel(const Row& row) const {
  if (!row.isResume || row.node.id == currentItemID()) {
    return std::nullopt;
  }
  const auto position = rows().savedPosition(row.node);
  return formatted(_("Stopped here · %s"), {formatDuration(position.value_or(0))});
}

bool PlaylistView::isFileMissing(const PlaylistNode& shown) const {
  const auto file = shown.fileURL();
  if (!file || shown.isFolder()) {
    return false;
  }
  if (deps_.fileExists) {
    return !deps_.fileExists(file->path());
  }
  std::error_code error;
  return !std::filesystem::exists(file->path(), error);
}

std::string PlaylistView::artworkSymbol(const PlaylistNode& shown,
                                        const StreamingProviderRegistry& registry) {
  if (shown.isFolder()) {
    return shown.isExpanded ? "folder.fill" : "folder";
  }
  if (shown.url) {
    if (auto media = registry.resolve(*shown.url); media && media->providerID == "youtube") {
      return media->mediaID.starts_with("youtube-playlist:") ? "list.and.film"
                                                             : "play.rectangle.fill";
    }
  }
  return shown.fileURL() ? "film" : "link";
}

std::string PlaylistView::displayTitle(const PlaylistNode& shown) const {
  return rows().displayTitle(shown);
}

void PlaylistView::metadataChanged(const std::string& url) const {
  if (rows_) {
    rows_->metadataChanged(url);
  } else {
    searchIndex_.titleChanged(url);
  }
}

bool PlaylistView::prepareSearch(std::size_t items) const {
  return searchIndex_.prepare(library(), items);
}

std::size_t PlaylistView::itemCount(std::optional<Uuid> scope) const {
  if (!scope) {
    return PlaylistTree::itemCount(library());
  }
  const PlaylistNode* folder = node(*scope);
  if (!folder || !folder->isFolder()) {
    return folder ? 1 : 0;
  }
  return PlaylistTree::itemCount(*folder->children);
}

bool PlaylistView::isPlaying(std::optional<Uuid> scope) const {
  const auto current = currentItemID();
  if (!current) {
    return false;
  }
  if (!scope) {
    return node(*current) != nullptr;
  }
  const PlaylistNode* folder = node(*scope);
  return folder && isPlaying(*folder);
}

bool PlaylistView::isPlaying(const PlaylistNode& folder) const {
  const auto current = currentItemID();
  return current && folder.children && PlaylistTree::find(*folder.children, *current);
}

std::optional<Uuid> PlaylistView::resumeID(const PlaylistNode& folder) const {
  return folder.isFolder() ? rows().resumeID(folder) : std::nullopt;
}

std::string PlaylistView::exportMenuTitle() const {
  return PlaylistLibrary::exportMenuTitle(library(), folderID());
}

std::string PlaylistView::exportFileName() const {
  return PlaylistLibrary::exportFileName(library(), folderID());
}

std::string PlaylistView::formatDuration(double seconds) {
  const double rounded = std::isfinite(seconds) ? std::round(seconds) : 0;
  // Beyond any real total, and within what an int holds.
  const long total = static_cast<long>(std::clamp(rounded, 0.0, 1e9));
  char text[32];
  if (total < 3600) {
    std::snprintf(text, sizeof text, "%02ld:%02ld", total / 60, total % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  }
  return text;
}

std::string PlaylistView::videoCount(std::size_t count) {
  return formatted(P_("%s video", "%s videos", count), {std::to_string(count)});
}

// MARK: - Panel state

void PlaylistView::setSelection(Ids selection) {
  if (selection_ != selection) {
    selection_ = std::move(selection);
    changed();
  }
}

std::string PlaylistView::selectionSummary() const {
  return selection_.empty() ? std::string()
                            : formatted(P_("%s selected", "%s selected", selection_.size()),
                                        {std::to_string(selection_.size())});
}

void PlaylistView::setQuery(std::string query) {
  if (query_ != query) {
    query_ = std::move(query);
    viewChanged();
  }
}

void PlaylistView::setErrorMessage(std::optional<std::string> message) {
  errorMessage_ = std::move(message);
  changed();
}

void PlaylistView::openFolder(std::optional<Uuid> folder) {
  openFolder_ = folder;
  query_.clear();
  changed();
}

std::string PlaylistView::repeatSymbol() const {
  return repeatMode() == PlaylistRepeat::one ? "repeat.1" : "repeat";
}

std::string PlaylistView::repeatHelp() const {
  switch (repeatMode()) {
    case PlaylistRepeat::all:
      return _("Repeat all");
    case PlaylistRepeat::one:
      return _("Repeat one");
    case PlaylistRepeat::off:
      break;
  }
  return _("Repeat is off");
}

}  // namespace orvel
