// SPDX-License-Identifier: GPL-3.0-or-later

// The panel model's commands on chosen rows: the context menu and what its entries do, renaming,
// moving a file to the Trash, clearing the playlist, and M3U import and export.

#include "core/Text.h"
#include "core/Translation.h"
#include "playlist/PlaylistLibrary.h"
#include "playlist/PlaylistView.h"

namespace orvel {

// MARK: - Context menu

std::vector<PlaylistView::MenuEntry> PlaylistView::contextMenu(const Ids& ids) const {
  using Command = MenuEntry::Command;
  std::vector<MenuEntry> entries;
  const PlaylistNode* single = ids.size() == 1 ? node(*ids.begin()) : nullptr;
  if (single && single->isFolder()) {
    entries.emplace_back(resumeID(single->id) ? _("Continue Playing Folder") : _("Play Folder"),
                         Command::playFolder);
    entries.emplace_back(_("Play from Beginning"), Command::playFolderFromBeginning);
    entries.emplace_back(_("Open"), Command::openFolder);
  } else if (single) {
    entries.emplace_back(_("Play"), Command::play);
  }
  if (single) {
    entries.emplace_back(_("Rename…"), Command::rename);
    if (single->url) {
      entries.emplace_back(_("Copy Link"), Command::copyLink);
    }
    if (single->fileURL()) {
      entries.emplace_back(_("Show in Files"), Command::showInFiles);
    }
  }
  if (!ids.empty()) {
    MenuEntry moveTo{_("Move To")};
    moveTo.submenu.emplace_back(_("Top Level"), Command::moveTo, std::nullopt);
    for (const FolderChoice& choice : folderChoices(ids)) {
      moveTo.submenu.emplace_back(choice.label, Command::moveTo, choice.id);
    }
    moveTo.submenu.emplace_back(_("New Folder…"), Command::moveToNewFolder);
    entries.push_back(std::move(moveTo));
    entries.emplace_back(_("New Folder with Selection"), Command::groupIntoFolder);
    entries.emplace_back(_("Remove from Playlist"), Command::remove);
    if (single && !single->isFolder() && single->fileURL()) {
      MenuEntry trash{_("Move Original File to Trash…"), Command::trashFile};
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
  const std::string name =
      std::string(prefixOfCharacters(trimmedWhitespace(renameText_), kLongestTitle));
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
