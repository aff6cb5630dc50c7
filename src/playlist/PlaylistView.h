// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/Defaults.h"
#include "core/ObserverList.h"
#include "core/Result.h"
#include "core/Translation.h"
#include "core/Url.h"
#include "core/Uuid.h"
#include "media/StreamingProviderRegistry.h"
#include "playlist/PlaylistMetadata.h"
#include "playlist/PlaylistRepeat.h"
#include "playlist/PlaylistRows.h"
#include "playlist/PlaylistTrash.h"
#include "playlist/PlaylistTree.h"

namespace orvel {

// The playlist panel without its widgets: what it shows, what its controls may do, and every
// edit it makes to the library. It never plays anything itself; it hands an item and a scope to
// the session through `onPlay`. One exists while the panel is shown; only the library (saved by
// its owner) and the repeat mode outlive it. Its operations come in three groups, each in a file
// of its own: what is shown and the panel's state (PlaylistView.cpp); edits of the library and
// what to play (PlaylistViewEditing.cpp); and commands on chosen rows, from the context menu,
// rename, Trash and clear to M3U (PlaylistViewCommands.cpp).
class PlaylistView {
 public:
  using Nodes = PlaylistTree::Nodes;
  using Ids = std::set<Uuid>;
  using Row = PlaylistRows::Row;

  struct Inputs {
    // The one library, read and replaced whole; its owner saves each new value.
    std::function<const Nodes&()> library;
    std::function<void(Nodes)> setLibrary;
    // The playlist item being played.
    std::function<std::optional<Uuid>()> currentItemID;
    // The item to start with (none: the queue's first) and the folder whose items form the queue
    // (none: the whole library).
    std::function<void(std::optional<Uuid> item, std::optional<Uuid> scope)> onPlay;
    // Called once a file is in the Trash.
    std::function<void(const Url& fileURL)> onFileTrashed;
    // Called once the stored repeat mode changed.
    std::function<void()> onRepeatChanged;
  };

  struct Dependencies {
    Defaults& defaults;
    const StreamingProviderRegistry& registry;
    // Titles, artwork and file facts; none leaves the rows with what the tree knows.
    PlaylistMetadata* metadata = nullptr;
    PlaylistTrash::Trasher trash = PlaylistTrash::moveToTrash;
    std::function<bool(const std::string& path)> fileExists;
    std::function<void(const std::string& text)> copyToClipboard;
    std::function<void(const Url& fileURL)> showInFiles;
  };

  // The content list's message when it has no rows.
  struct EmptyState {
    std::string title;
    std::string message;
    bool operator==(const EmptyState&) const = default;
  };

  struct Crumb {
    std::optional<Uuid> folder;
    std::string title;
  };

  struct FolderChoice {
    Uuid id;
    // Four spaces per level of depth before the title.
    std::string label;
  };

  // One entry of a row's context menu. Entries with a submenu do nothing themselves.
  struct MenuEntry {
    enum class Command {
      playFolder,
      playFolderFromBeginning,
      openFolder,
      play,
      rename,
      copyLink,
      showInFiles,
      moveTo,
      moveToNewFolder,
      groupIntoFolder,
      remove,
      trashFile,
      none,
    };
    explicit MenuEntry(std::string text, Command action = Command::none,
                       std::optional<Uuid> folder = std::nullopt)
        : label(std::move(text)), command(action), target(folder) {}

    std::string label;
    Command command = Command::none;
    // The folder of a "Move To" choice; none is the top level.
    std::optional<Uuid> target;
    std::vector<MenuEntry> submenu;
    bool destructive = false;
  };

  PlaylistView(Inputs inputs, Dependencies dependencies);
  PlaylistView(const PlaylistView&) = delete;
  PlaylistView& operator=(const PlaylistView&) = delete;

  // Told after every change of what the panel shows.
  [[nodiscard]] ObserverToken observeChanges(std::function<void()> observer);
  // The library changed from elsewhere (a scan, an import).
  void libraryChanged();
  // The item playing changed (the player advanced); the library is the same, and so is what a
  // search reads.
  void currentItemChanged() const { changed(); }
  // The stored repeat mode changed from elsewhere (the desktop's media controls).
  void repeatChanged() const { viewChanged(); }

  // The panel appears: it opens the current item's folder, else the stored scope.
  void appear();

  // MARK: What is shown
  const Nodes& library() const { return inputs_.library(); }
  std::optional<Uuid> currentItemID() const { return inputs_.currentItemID(); }
  std::optional<Uuid> folderID() const;
  std::string folderTitle(std::optional<Uuid> folder) const;
  // Shared by everything drawn until the next change is announced.
  const PlaylistRows& rows() const;
  std::vector<Row> visibleRows() const;
  // The nodes of `visibleRows`, pointing into the library: valid until it changes.
  std::vector<const PlaylistNode*> visibleNodes() const {
    return rows().visibleNodes(library(), folderID(), query_);
  }
  std::optional<Uuid> visibleResumeID() const {
    return rows().visibleResumeID(library(), folderID());
  }
  void forEachSidebarFolder(const PlaylistRows::SidebarVisitor& visit) const {
    PlaylistRows::forEachSidebarFolder(library(), visit);
  }
  std::optional<Uuid> resumeID(std::optional<Uuid> scope) const;
  std::vector<Crumb> breadcrumb() const;
  // The number of videos and folders, their total duration once it is summed, and what plays.
  std::string headerSummary() const;
  // Adds the next `items` items' durations to the header's total; true once every item is in.
  bool sumDurations(std::size_t items = SIZE_MAX) const;
  // Reads the next `items` items into the search's index; true once the library is all in.
  bool prepareSearch(std::size_t items) const;
  std::string searchPlaceholder() const {
    return formatted(_("Search %s"), {folderTitle(folderID())});
  }
  std::optional<EmptyState> emptyState(bool hasRows) const;
  std::string subtitle(const Row& row) const;
  // Saved position ÷ duration, when both are known.
  std::optional<double> progress(const PlaylistNode& node) const;
  // "Stopped here · 01:05" on the resume row unless it is the one playing.
  std::optional<std::string> resumeLabel(const Row& row) const;
  // A file item whose file is gone (a drive unplugged, the file moved).
  bool isFileMissing(const PlaylistNode& node) const;
  // The symbol shown while the metadata has no thumbnail.
  static std::string artworkSymbol(const PlaylistNode& node,
                                   const StreamingProviderRegistry& registry);
  std::string displayTitle(const PlaylistNode& node) const;
  // The metadata of a link arrived or changed; titles derived from it are looked up again.
  void metadataChanged(const std::string& url) const;
  // Items below a sidebar entry (none: all), and whether the item playing is among them.
  std::size_t itemCount(std::optional<Uuid> scope) const;
  bool isPlaying(std::optional<Uuid> scope) const;
  // The same for a folder in hand (a sidebar row's), without a search of the library for it: a
  // sidebar of many folders would search a large library once per folder.
  bool isPlaying(const PlaylistNode& folder) const;
  std::optional<Uuid> resumeID(const PlaylistNode& folder) const;
  std::string exportMenuTitle() const;
  std::string exportFileName() const;
  static std::string formatDuration(double seconds);
  // "1 video", "3 videos".
  static std::string videoCount(std::size_t count);

  // MARK: Panel state
  const Ids& selection() const { return selection_; }
  void setSelection(Ids selection);
  std::string selectionSummary() const;
  const std::string& query() const { return query_; }
  void setQuery(std::string query);
  const std::string& newURL() const { return newURL_; }
  void setNewURL(std::string text) { newURL_ = std::move(text); }
  const std::optional<std::string>& errorMessage() const { return errorMessage_; }
  void setErrorMessage(std::optional<std::string> message);
  const std::optional<Uuid>& openFolderID() const { return openFolder_; }
  // Opens a folder (none: the top level) and ends the search.
  void openFolder(std::optional<Uuid> folder);
  // The stored mode, which the play queue and the desktop's media controls share.
  PlaylistRepeat repeatMode() const;
  std::string repeatSymbol() const;
  std::string repeatHelp() const;

  // MARK: Editing
  // Into the open folder; refused with a message when the playlist would hold more than
  // PlaylistLibrary::kLargestLibrary videos.
  void add(Nodes nodes);
  void addURL();
  // What the files and folders chosen in the open panel became, in its order (see nodesForFiles).
  void addFiles(Nodes found);
  // Each file or folder as the playlist takes it: a video file as an item, a folder as a folder
  // of what it holds; the rest is left out. Reads the disk: run it off the main loop.
  static Nodes nodesForFiles(const std::vector<Url>& chosen);
  void newFolder();
  void groupIntoFolder(const Ids& ids);
  void remove(const Ids& ids);
  bool canMove(int offset) const;
  void move(int offset);
  bool canReorder() const { return query_.empty(); }
  // Moves the open folder's children at the offsets to just before `destination` (an offset
  // among the rows as they were).
  void moveRows(const std::vector<std::size_t>& offsets, std::size_t destination);
  void move(const Ids& ids, std::optional<Uuid> target);
  std::vector<FolderChoice> folderChoices(const Ids& excluding) const;
  void shuffleAll();
  void shuffleRemaining();
  Nodes remainingSiblings() const;
  bool canShuffleRemaining() const { return remainingSiblings().size() >= 2; }
  void cycleRepeat();
  // A folder plays from its resume point, an item within its own folder.
  void play(const Uuid& id);
  // The primary action of a content row: a folder opens, an item plays.
  void activate(const Uuid& id);
  bool canPlayScope() const;
  void playScope();
  void playScopeFromBeginning();
  // Double click on a sidebar entry; none is "All Videos".
  void playSidebarScope(std::optional<Uuid> scope);
  void toggleExpanded(const Uuid& folder);

  // MARK: Context menu
  std::vector<MenuEntry> contextMenu(const Ids& ids) const;
  void perform(const MenuEntry& entry, const Ids& ids);

  // MARK: Rename
  const std::optional<Uuid>& renamingID() const { return renamingID_; }
  bool renamingFolder() const;
  const std::string& renameText() const { return renameText_; }
  void beginRename(const Uuid& id);
  void setRenameText(std::string text) { renameText_ = std::move(text); }
  void commitRename();
  void cancelRename();

  // MARK: Trash and clear
  bool showsTrashConfirmation() const { return showsTrashConfirmation_; }
  const std::optional<Url>& fileToTrash() const { return fileToTrash_; }
  std::string trashConfirmationMessage() const;
  void requestTrash(const Uuid& id);
  void cancelTrash();
  void trashSelectedFile();
  // Empty on success.
  std::optional<std::string> trashOriginalFile(const Url& fileURL);
  bool canClear() const { return !library().empty(); }
  bool showsClearConfirmation() const { return showsClearConfirmation_; }
  void requestClear();
  void cancelClear();
  void confirmClear();

  // MARK: M3U
  // What an import read (PlaylistLibrary::importM3U, run off the main loop): its folder joins the
  // open folder, or its failure shows.
  void addImported(Result<PlaylistNode> imported);
  void exportM3U(const std::string& path);

  static constexpr std::string_view kAddURLFailure =
      N_("Enter a supported video or playlist URL, or choose an MP4, WebM or MKV file.");
  static constexpr std::string_view kAddFilesFailure =
      N_("No MP4, WebM or MKV files were found in the selection.");

 private:
  void mutate(const std::function<void(Nodes&)>& change);
  void changed() const {
    rows_.reset();
    observers_.notify();
  }
  // A change of what is looked at, not of the library or the stored positions and durations.
  void viewChanged() const { observers_.notify(); }
  std::vector<Uuid> inRowOrder(const Ids& ids) const;
  const PlaylistNode* node(const Uuid& id) const { return PlaylistTree::find(library(), id); }
  std::optional<Uuid> parentFolder(const Uuid& id) const;
  PlaylistMetadata::Lookup metadataLookup() const;

  Inputs inputs_;
  Dependencies deps_;
  Ids selection_;
  std::string query_;
  std::string newURL_;
  std::optional<std::string> errorMessage_;
  std::optional<Url> fileToTrash_;
  bool showsTrashConfirmation_ = false;
  bool showsClearConfirmation_ = false;
  std::optional<Uuid> renamingID_;
  std::string renameText_;
  std::optional<Uuid> openFolder_;
  std::mt19937 random_{std::random_device{}()};
  // Kept while the library stays, through changes of the selection, the search and metadata.
  mutable PlaylistSearchIndex searchIndex_;
  mutable std::optional<PlaylistRows> rows_;
  ObserverList<> observers_;
};

}  // namespace orvel
