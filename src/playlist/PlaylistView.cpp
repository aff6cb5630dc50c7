// SPDX-License-Identifier: GPL-3.0-or-later

#include "playlist/PlaylistView.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iterator>

#include "core/Text.h"
#include "playlist/PlaylistLibrary.h"

namespace orvel {

namespace {

std::size_t countVideos(const PlaylistTree::Nodes& nodes) {
  std::size_t count = 0;
  PlaylistTree::forEachItem(nodes, [&](const PlaylistNode&) {
    ++count;
    return true;
  });
  return count;
}

std::string trimmed(std::string_view text) {
  return std::string(trimmedWhitespace(text));
}

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

std::string counted(std::size_t count, std::string_view one, std::string_view many) {
  return count == 1 ? "1 " + std::string(one) : std::to_string(count) + " " + std::string(many);
}

PlaylistNode newFolderNode(PlaylistView::Nodes children = {}) {
  return PlaylistNode::folder("New Folder", std::move(children));
}

// Whether the folder's subtree (the folder included) holds the id.
bool subtreeHolds(const PlaylistNode& folder, const Uuid& id) {
  return folder.id == id || (folder.children && PlaylistTree::find(*folder.children, id));
}

}  // namespace

PlaylistView::PlaylistView(Inputs inputs, Dependencies dependencies)
    : inputs_(std::move(inputs)),
      deps_(std::move(dependencies)),
      repeatMode_(storedPlaylistRepeat(deps_.defaults)) {}

ObserverToken PlaylistView::observeChanges(std::function<void()> observer) {
  return observers_.add(std::move(observer));
}

void PlaylistView::libraryChanged() {
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
    return "All Videos";
  }
  const PlaylistNode* found = node(*folder);
  return found ? found->title() : "All Videos";
}

const PlaylistRows& PlaylistView::rows() const {
  // One per redraw: it reads the stored positions and durations once, and every row drawn after
  // a change shares them.
  if (!rows_) {
    PlaylistMetadata::Lookup lookup;
    if (PlaylistMetadata* metadata = deps_.metadata) {
      lookup = [metadata](const std::string& url) { return metadata->info(url); };
    }
    rows_.emplace(deps_.defaults, std::move(lookup));
  }
  return *rows_;
}

std::vector<PlaylistView::Row> PlaylistView::visibleRows() const {
  return rows().visibleRows(library(), folderID(), query_);
}

std::vector<PlaylistView::Row> PlaylistView::sidebarRows() const {
  return rows().sidebarRows(library());
}

std::optional<Uuid> PlaylistView::resumeID(std::optional<Uuid> scope) const {
  return rows().resumeID(library(), scope);
}

std::vector<PlaylistView::Crumb> PlaylistView::breadcrumb() const {
  std::vector<Crumb> crumbs;
  for (auto folder = folderID(); folder; folder = parentFolder(*folder)) {
    crumbs.push_back({folder, folderTitle(folder)});
  }
  crumbs.push_back({std::nullopt, "All Videos"});
  std::reverse(crumbs.begin(), crumbs.end());
  return crumbs;
}

std::string PlaylistView::headerSummary() const {
  const PlaylistRows& derived = rows();
  std::size_t count = 0;
  double total = 0;
  PlaylistTree::forEachItem(library(), [&](const PlaylistNode& item) {
    ++count;
    if (auto duration = derived.duration(item)) {
      total += *duration;
    }
    return true;
  });
  std::vector<std::string> parts{videoCount(count)};
  if (const std::size_t folders = PlaylistTree::folderCount(library())) {
    parts.push_back(counted(folders, "folder", "folders"));
  }
  if (total > 0) {
    parts.push_back(formatDuration(total));
  }
  if (const auto current = currentItemID()) {
    if (const PlaylistNode* item = node(*current)) {
      parts.push_back("Now playing: " + derived.displayTitle(*item));
    }
  }
  return joined(parts);
}

std::optional<PlaylistView::EmptyState> PlaylistView::emptyState(bool hasRows) const {
  if (hasRows) {
    return std::nullopt;
  }
  if (library().empty()) {
    return EmptyState{"Your playlist is empty",
                      "Add video links, MP4/WebM/MKV files or whole folders.\n"
                      "Create folders to organize them."};
  }
  if (!query_.empty()) {
    return EmptyState{"No matches", "No videos match “" + query_ + "”."};
  }
  return EmptyState{"This folder is empty",
                    "Add links or files while this folder is open,\nor use Move To on other "
                    "videos."};
}

std::string PlaylistView::subtitle(const Row& row) const {
  const PlaylistRows& derived = rows();
  const PlaylistNode& shown = row.node;
  if (shown.isFolder()) {
    std::string text = videoCount(PlaylistTree::items(shown).size());
    if (auto resume = derived.resumeID(library(), shown.id)) {
      if (const PlaylistNode* item = node(*resume)) {
        text += " · Stopped at " + derived.displayTitle(*item);
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
  const PlaylistRows& derived = rows();
  const auto position = derived.savedPosition(shown);
  const auto duration = derived.duration(shown);
  if (shown.isFolder() || !position || !duration || !(*duration > 0)) {
    return std::nullopt;
  }
  return std::clamp(*position / *duration, 0.0, 1.0);
}

std::optional<std::string> PlaylistView::resumeLabel(const Row& row) const {
  if (!row.isResume || row.node.id == currentItemID()) {
    return std::nullopt;
  }
  const auto position = rows().savedPosition(row.node);
  return "Stopped here · " + formatDuration(position.value_or(0));
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
  }
}

std::size_t PlaylistView::itemCount(std::optional<Uuid> scope) const {
  if (!scope) {
    std::size_t count = 0;
    PlaylistTree::forEachItem(library(), [&count](const PlaylistNode&) {
      ++count;
      return true;
    });
    return count;
  }
  const PlaylistNode* folder = node(*scope);
  if (!folder || !folder->isFolder()) {
    return folder ? 1 : 0;
  }
  std::size_t count = 0;
  PlaylistTree::forEachItem(*folder->children, [&count](const PlaylistNode&) {
    ++count;
    return true;
  });
  return count;
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
  return folder && folder->children && PlaylistTree::find(*folder->children, *current);
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
  return counted(count, "video", "videos");
}

// MARK: - Panel state

void PlaylistView::setSelection(Ids selection) {
  if (selection_ != selection) {
    selection_ = std::move(selection);
    changed();
  }
}

std::string PlaylistView::selectionSummary() const {
  return selection_.empty() ? std::string() : std::to_string(selection_.size()) + " selected";
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
  return repeatMode_ == PlaylistRepeat::one ? "repeat.1" : "repeat";
}

std::string PlaylistView::repeatHelp() const {
  switch (repeatMode_) {
    case PlaylistRepeat::all:
      return "Repeat all";
    case PlaylistRepeat::one:
      return "Repeat one";
    case PlaylistRepeat::off:
      break;
  }
  return "Repeat is off";
}

// MARK: - Actions

void PlaylistView::mutate(const std::function<void(Nodes&)>& change) {
  Nodes edited = library();
  change(edited);
  inputs_.setLibrary(std::move(edited));
  libraryChanged();
}

std::optional<Uuid> PlaylistView::parentFolder(const Uuid& id) const {
  const auto found = PlaylistTree::location(library(), id);
  return found ? found->parent : std::nullopt;
}

std::vector<Uuid> PlaylistView::inRowOrder(const Ids& ids) const {
  std::vector<Uuid> ordered;
  for (const Row& row : visibleRows()) {
    if (ids.contains(row.node.id) &&
        std::find(ordered.begin(), ordered.end(), row.node.id) == ordered.end()) {
      ordered.push_back(row.node.id);
    }
  }
  return ordered;
}

void PlaylistView::add(Nodes nodes) {
  const std::size_t present = countVideos(library());
  const std::size_t adding = countVideos(nodes);
  if (present + adding > PlaylistLibrary::kLargestLibrary) {
    setErrorMessage(PlaylistLibrary::tooManyVideos(adding, present));
    return;
  }
  const auto folder = folderID();
  mutate([&](Nodes& edited) {
    // A file added again is a row of its own: its copy gets a new id, so that what the user
    // does to one row (rename, move, remove, play) never lands on the other.
    auto taken = PlaylistTree::ids(edited);
    PlaylistTree::makeIDsUnique(nodes, taken, [](const Uuid&, int) { return Uuid::random(); });
    if (folder) {
      PlaylistTree::insert(edited, nodes, *folder);
    } else {
      edited.insert(edited.end(), std::make_move_iterator(nodes.begin()),
                    std::make_move_iterator(nodes.end()));
    }
  });
  setErrorMessage(std::nullopt);
}

void PlaylistView::addURL() {
  const std::string text = trimmed(newURL_);
  if (text.empty()) {
    return;
  }
  if (!deps_.registry.resolve(text)) {
    setErrorMessage(std::string(kAddURLFailure));
    return;
  }
  newURL_.clear();
  add({PlaylistNode::item(text)});
}

void PlaylistView::addFiles(Nodes found) {
  if (found.empty()) {
    setErrorMessage(std::string(kAddFilesFailure));
    return;
  }
  add(std::move(found));
}

PlaylistView::Nodes PlaylistView::nodesForFiles(const std::vector<Url>& chosen) {
  Nodes nodes;
  for (const Url& file : chosen) {
    if (auto found = PlaylistLibrary::nodeForFile(file)) {
      nodes.push_back(std::move(*found));
    }
  }
  return nodes;
}

void PlaylistView::newFolder() {
  PlaylistNode folder = newFolderNode();
  const Uuid id = folder.id;
  add({std::move(folder)});
  selection_ = {id};
  beginRename(id);
}

void PlaylistView::groupIntoFolder(const Ids& ids) {
  const std::vector<Uuid> ordered = inRowOrder(ids);
  if (ordered.empty()) {
    return;
  }
  const auto place = PlaylistTree::location(library(), ordered.front());
  if (!place) {
    return;
  }
  PlaylistNode folder = newFolderNode();
  const Uuid id = folder.id;
  mutate([&](Nodes& edited) {
    for (const Uuid& each : ordered) {
      if (auto removed = PlaylistTree::remove(edited, each)) {
        folder.children->push_back(std::move(*removed));
      }
    }
    if (place->parent) {
      PlaylistTree::insert(edited, {std::move(folder)}, *place->parent, place->index);
    } else {
      const std::size_t index = std::min(place->index, edited.size());
      edited.insert(edited.begin() + static_cast<std::ptrdiff_t>(index), std::move(folder));
    }
  });
  selection_ = {id};
  beginRename(id);
}

void PlaylistView::remove(const Ids& ids) {
  if (ids.empty()) {
    return;
  }
  mutate([&](Nodes& edited) {
    for (const Uuid& id : ids) {
      PlaylistTree::remove(edited, id);
    }
  });
  for (const Uuid& id : ids) {
    selection_.erase(id);
  }
  changed();
}

bool PlaylistView::canMove(int offset) const {
  if (selection_.size() != 1) {
    return false;
  }
  const auto place = PlaylistTree::location(library(), *selection_.begin());
  if (!place) {
    return false;
  }
  const PlaylistNode* parent = place->parent ? node(*place->parent) : nullptr;
  const std::size_t count = place->parent
                                ? (parent && parent->children ? parent->children->size() : 0)
                                : library().size();
  const long target = static_cast<long>(place->index) + offset;
  return target >= 0 && target < static_cast<long>(count);
}

void PlaylistView::move(int offset) {
  if (!canMove(offset)) {
    return;
  }
  const Uuid id = *selection_.begin();
  const auto place = PlaylistTree::location(library(), id);
  const std::size_t target = static_cast<std::size_t>(static_cast<long>(place->index) + offset);
  mutate([&](Nodes& edited) {
    auto removed = PlaylistTree::remove(edited, id);
    if (!removed) {
      return;
    }
    if (place->parent) {
      PlaylistTree::insert(edited, {std::move(*removed)}, *place->parent, target);
    } else {
      edited.insert(edited.begin() + static_cast<std::ptrdiff_t>(std::min(target, edited.size())),
                    std::move(*removed));
    }
  });
}

void PlaylistView::moveRows(const std::vector<std::size_t>& offsets, std::size_t destination) {
  if (!canReorder() || offsets.empty()) {
    return;
  }
  const auto folder = folderID();
  mutate([&](Nodes& edited) {
    Nodes* children = &edited;
    if (folder) {
      children = nullptr;
      PlaylistTree::update(edited, *folder, [&children](PlaylistNode& found) {
        if (found.children) {
          children = &*found.children;
        }
      });
      if (!children) {
        return;
      }
    }
    std::set<std::size_t> moving;
    for (std::size_t offset : offsets) {
      if (offset < children->size()) {
        moving.insert(offset);
      }
    }
    destination = std::min(destination, children->size());
    Nodes picked;
    Nodes kept;
    std::size_t insertAt = 0;
    for (std::size_t index = 0; index < children->size(); ++index) {
      if (index == destination) {
        insertAt = kept.size();
      }
      (moving.contains(index) ? picked : kept).push_back(std::move((*children)[index]));
    }
    if (destination == children->size()) {
      insertAt = kept.size();
    }
    kept.insert(kept.begin() + static_cast<std::ptrdiff_t>(insertAt),
                std::make_move_iterator(picked.begin()), std::make_move_iterator(picked.end()));
    *children = std::move(kept);
  });
}

void PlaylistView::move(const Ids& ids, std::optional<Uuid> target) {
  if (target) {
    const PlaylistNode* folder = node(*target);
    if (!folder || !folder->isFolder()) {
      return;
    }
    for (const Uuid& id : ids) {
      const PlaylistNode* moving = node(id);
      if (id == *target || (moving && moving->isFolder() && subtreeHolds(*moving, *target))) {
        return;
      }
    }
  }
  std::vector<Uuid> ordered = inRowOrder(ids);
  for (const Uuid& id : ids) {
    if (std::find(ordered.begin(), ordered.end(), id) == ordered.end()) {
      ordered.push_back(id);
    }
  }
  mutate([&](Nodes& edited) {
    Nodes removed;
    for (const Uuid& id : ordered) {
      if (auto node = PlaylistTree::remove(edited, id)) {
        removed.push_back(std::move(*node));
      }
    }
    if (target) {
      PlaylistTree::insert(edited, removed, *target);
    } else {
      edited.insert(edited.end(), std::make_move_iterator(removed.begin()),
                    std::make_move_iterator(removed.end()));
    }
  });
}

std::vector<PlaylistView::FolderChoice> PlaylistView::folderChoices(const Ids& excluding) const {
  std::vector<FolderChoice> choices;
  std::function<void(const Nodes&, std::size_t)> walk = [&](const Nodes& nodes, std::size_t depth) {
    for (const PlaylistNode& each : nodes) {
      if (!each.isFolder() || excluding.contains(each.id)) {
        continue;
      }
      choices.push_back({each.id, std::string(depth * 4, ' ') + each.title()});
      walk(*each.children, depth + 1);
    }
  };
  walk(library(), 0);
  return choices;
}

void PlaylistView::shuffleAll() {
  mutate([this](Nodes& edited) { PlaylistTree::shuffleRecursively(edited, random_); });
}

PlaylistView::Nodes PlaylistView::remainingSiblings() const {
  const auto current = currentItemID();
  const auto place = current ? PlaylistTree::location(library(), *current) : std::nullopt;
  if (!place) {
    return {};
  }
  const Nodes* siblings = &library();
  if (place->parent) {
    const PlaylistNode* parent = node(*place->parent);
    if (!parent || !parent->children) {
      return {};
    }
    siblings = &*parent->children;
  }
  if (place->index + 1 >= siblings->size()) {
    return {};
  }
  return Nodes(siblings->begin() + static_cast<std::ptrdiff_t>(place->index) + 1, siblings->end());
}

void PlaylistView::shuffleRemaining() {
  const auto current = currentItemID();
  const auto place = current ? PlaylistTree::location(library(), *current) : std::nullopt;
  if (!place) {
    return;
  }
  mutate([&](Nodes& edited) {
    auto shuffleAfter = [&](Nodes& siblings) {
      if (place->index + 1 < siblings.size()) {
        std::shuffle(siblings.begin() + static_cast<std::ptrdiff_t>(place->index) + 1,
                     siblings.end(), random_);
      }
    };
    if (place->parent) {
      PlaylistTree::update(edited, *place->parent, [&](PlaylistNode& parent) {
        if (parent.children) {
          shuffleAfter(*parent.children);
        }
      });
    } else {
      shuffleAfter(edited);
    }
  });
}

void PlaylistView::cycleRepeat() {
  switch (repeatMode_) {
    case PlaylistRepeat::off:
      repeatMode_ = PlaylistRepeat::all;
      break;
    case PlaylistRepeat::all:
      repeatMode_ = PlaylistRepeat::one;
      break;
    case PlaylistRepeat::one:
      repeatMode_ = PlaylistRepeat::off;
      break;
  }
  storePlaylistRepeat(deps_.defaults, repeatMode_);
  changed();
}

void PlaylistView::play(const Uuid& id) {
  const PlaylistNode* found = node(id);
  if (!found) {
    return;
  }
  if (found->isFolder()) {
    inputs_.onPlay(resumeID(id), id);
  } else {
    inputs_.onPlay(id, parentFolder(id));
  }
}

void PlaylistView::activate(const Uuid& id) {
  const PlaylistNode* found = node(id);
  if (found && found->isFolder()) {
    openFolder(id);
  } else if (found) {
    play(id);
  }
}

bool PlaylistView::canPlayScope() const {
  return itemCount(folderID()) > 0;
}

void PlaylistView::playScope() {
  if (canPlayScope()) {
    inputs_.onPlay(resumeID(folderID()), folderID());
  }
}

void PlaylistView::playScopeFromBeginning() {
  if (canPlayScope()) {
    inputs_.onPlay(std::nullopt, folderID());
  }
}

void PlaylistView::playSidebarScope(std::optional<Uuid> scope) {
  if (scope && !node(*scope)) {
    return;
  }
  inputs_.onPlay(resumeID(scope), scope);
}

void PlaylistView::toggleExpanded(const Uuid& folder) {
  if (const PlaylistNode* found = node(folder); !found || !found->isFolder()) {
    return;
  }
  mutate([&](Nodes& edited) {
    PlaylistTree::update(edited, folder,
                         [](PlaylistNode& found) { found.isExpanded = !found.isExpanded; });
  });
}

// MARK: - Context menu

std::vector<PlaylistView::MenuEntry> PlaylistView::contextMenu(const Ids& ids) const {
  using Command = MenuEntry::Command;
  std::vector<MenuEntry> entries;
  const PlaylistNode* single = ids.size() == 1 ? node(*ids.begin()) : nullptr;
  if (single && single->isFolder()) {
    entries.emplace_back(resumeID(single->id) ? "Continue Playing Folder" : "Play Folder",
                         Command::playFolder);
    entries.emplace_back("Play from Beginning", Command::playFolderFromBeginning);
    entries.emplace_back("Open", Command::openFolder);
  } else if (single) {
    entries.emplace_back("Play", Command::play);
  }
  if (single) {
    entries.emplace_back("Rename…", Command::rename);
    if (single->url) {
      entries.emplace_back("Copy Link", Command::copyLink);
    }
    if (single->fileURL()) {
      entries.emplace_back("Show in Files", Command::showInFiles);
    }
  }
  if (!ids.empty()) {
    MenuEntry moveTo{"Move To"};
    moveTo.submenu.emplace_back("Top Level", Command::moveTo, std::nullopt);
    for (const FolderChoice& choice : folderChoices(ids)) {
      moveTo.submenu.emplace_back(choice.label, Command::moveTo, choice.id);
    }
    moveTo.submenu.emplace_back("New Folder…", Command::moveToNewFolder);
    entries.push_back(std::move(moveTo));
    entries.emplace_back("New Folder with Selection", Command::groupIntoFolder);
    entries.emplace_back("Remove from Playlist", Command::remove);
    if (single && !single->isFolder() && single->fileURL()) {
      MenuEntry trash{"Move Original File to Trash…", Command::trashFile};
      trash.destructive = true;
      entries.push_back(std::move(trash));
    }
  }
  return entries;
}

void PlaylistView::perform(const MenuEntry& entry, const Ids& ids) {
  using Command = MenuEntry::Command;
  const PlaylistNode* single = ids.size() == 1 ? node(*ids.begin()) : nullptr;
  switch (entry.command) {
    case Command::playFolder:
      if (single) {
        play(single->id);
      }
      break;
    case Command::playFolderFromBeginning:
      if (single) {
        inputs_.onPlay(std::nullopt, single->id);
      }
      break;
    case Command::openFolder:
      if (single && single->isFolder()) {
        openFolder(single->id);
      }
      break;
    case Command::play:
      if (single) {
        play(single->id);
      }
      break;
    case Command::rename:
      if (single) {
        beginRename(single->id);
      }
      break;
    case Command::copyLink:
      if (single && single->url && deps_.copyToClipboard) {
        deps_.copyToClipboard(*single->url);
      }
      break;
    case Command::showInFiles:
      if (auto file = single ? single->fileURL() : std::nullopt; file && deps_.showInFiles) {
        deps_.showInFiles(*file);
      }
      break;
    case Command::moveTo:
      move(ids, entry.target);
      break;
    case Command::moveToNewFolder:
    case Command::groupIntoFolder:
      groupIntoFolder(ids);
      break;
    case Command::remove:
      remove(ids);
      break;
    case Command::trashFile:
      if (single) {
        requestTrash(single->id);
      }
      break;
    case Command::none:
      break;
  }
}

// MARK: - Rename

bool PlaylistView::renamingFolder() const {
  const PlaylistNode* found = renamingID_ ? node(*renamingID_) : nullptr;
  return found && found->isFolder();
}

void PlaylistView::beginRename(const Uuid& id) {
  const PlaylistNode* found = node(id);
  if (!found) {
    return;
  }
  renameText_ = found->name;
  renamingID_ = id;
  changed();
}

void PlaylistView::commitRename() {
  const auto id = std::exchange(renamingID_, std::nullopt);
  const std::string name = trimmed(renameText_);
  if (id && node(*id)) {
    mutate([&](Nodes& edited) {
      PlaylistTree::update(edited, *id, [&name](PlaylistNode& found) {
        if (!found.isFolder() || !name.empty()) {
          found.name = name;
        }
      });
    });
  }
  changed();
}

void PlaylistView::cancelRename() {
  renamingID_.reset();
  changed();
}

// MARK: - Trash and clear

std::string PlaylistView::trashConfirmationMessage() const {
  return PlaylistTrash::confirmationMessage(fileToTrash_);
}

void PlaylistView::requestTrash(const Uuid& id) {
  const PlaylistNode* found = node(id);
  const auto file = found && !found->isFolder() ? found->fileURL() : std::nullopt;
  if (!file) {
    return;
  }
  fileToTrash_ = file;
  showsTrashConfirmation_ = true;
  changed();
}

void PlaylistView::cancelTrash() {
  fileToTrash_.reset();
  showsTrashConfirmation_ = false;
  changed();
}

void PlaylistView::trashSelectedFile() {
  showsTrashConfirmation_ = false;
  const auto file = std::exchange(fileToTrash_, std::nullopt);
  if (!file) {
    changed();
    return;
  }
  // The session forgets the file's place and history only once it is in the Trash.
  if (!trashOriginalFile(*file) && inputs_.onFileTrashed) {
    inputs_.onFileTrashed(*file);
  }
}

std::optional<std::string> PlaylistView::trashOriginalFile(const Url& fileURL) {
  if (auto failure = deps_.trash(fileURL)) {
    setErrorMessage(PlaylistTrash::failureText(fileURL, *failure));
    return failure;
  }
  mutate([&](Nodes& edited) { PlaylistTrash::removeItems(edited, fileURL); });
  setErrorMessage(std::nullopt);
  return std::nullopt;
}

void PlaylistView::requestClear() {
  if (canClear()) {
    showsClearConfirmation_ = true;
    changed();
  }
}

void PlaylistView::cancelClear() {
  showsClearConfirmation_ = false;
  changed();
}

void PlaylistView::confirmClear() {
  showsClearConfirmation_ = false;
  selection_.clear();
  mutate([](Nodes& edited) { edited.clear(); });
}

// MARK: - M3U

void PlaylistView::addImported(Result<PlaylistNode> imported) {
  if (!imported) {
    setErrorMessage(imported.error());
    return;
  }
  add({std::move(*imported)});
}

void PlaylistView::exportM3U(const std::string& path) {
  setErrorMessage(PlaylistLibrary::exportM3U(library(), folderID(), path));
}

}  // namespace orvel
