// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/Defaults.h"
#include "core/Result.h"
#include "core/Translation.h"
#include "core/Url.h"
#include "core/Uuid.h"
#include "media/StreamingProviderRegistry.h"
#include "playlist/PlaylistLinkResolver.h"
#include "playlist/PlaylistNode.h"
#include "playlist/PlaylistTree.h"

namespace orvel {

// What one scan of a folder may read: a link to the whole file system, a folder of millions of
// files or a mount that answers slowly must not make it read without end. Past a limit the
// scan keeps what it found.
struct FolderScanLimits {
  // Directory entries read in all.
  std::size_t maxEntries = 200'000;
  double maxSeconds = 20;
  // Set from another thread to end the scan early (the program quits).
  const std::atomic<bool>* cancelled = nullptr;
};

// Moves the playlist tree in and out of the program: the stored library, the media folder and
// its merge into the library, and M3U files. Keeps no state.
class PlaylistLibrary {
 public:
  using Nodes = PlaylistTree::Nodes;

  static constexpr std::string_view kLibraryKey = "playlistLibrary";
  // A flat list of links kept by older versions: read once when there is no library, never
  // written.
  static constexpr std::string_view kLegacyURLsKey = "playlistURLs";
  static constexpr std::string_view kRepeatKey = "playlistRepeat";
  // The item played last with no folder scope: the top level's last-played mark.
  static constexpr std::string_view kLastPlayedKey = "playlistLastPlayed";
  static constexpr std::string_view kScopeKey = "playlistScope";
  // Media ID to seconds, fed while playing.
  static constexpr std::string_view kMediaDurationsKey = "mediaDurations";
  // Media ID to resume position in seconds, written by the player session.
  static constexpr std::string_view kPlaybackPositionsKey = "lastPlaybackPositions";

  static constexpr std::string_view kMediaFolderName = "Wendle Media";
  static constexpr std::array<std::string_view, 3> mediaExtensions = {"mp4", "webm", "mkv"};

  // Folder levels the stored library may hold. Deeper stored data is refused as a whole (the
  // legacy list is used instead) rather than walked into a stack overflow; no one nests folders
  // this deep by hand.
  static constexpr std::size_t maxDepth = 1000;
  // Directory levels below the media folder that a scan descends into.
  static constexpr std::size_t maxScanDepth = 64;

  // A node id kept under the key (the last-played mark, the scope), as its UUID string.
  static std::optional<Uuid> storedID(const Defaults& defaults, std::string_view key);

  // The stored library, else one unnamed item per legacy link, else empty. Never fails.
  static Nodes load(const Defaults& defaults);
  // What loading had to set aside: a stored library of more videos than the player holds (edited
  // by hand, or copied from elsewhere) loads its first `most` in tree order, and the whole stored
  // value is kept readable under `key` beside it, so that nothing is lost.
  struct SetAside {
    std::size_t videos = 0;
    std::string key;
  };
  // The same for the one owner that saves the library: a stored library that cannot be read is
  // first kept aside under "playlistLibrary.corrupt", so that the next save loses nothing; one of
  // more than `most` videos is cut to them, the whole of it kept aside as `setAside` says.
  static Nodes loadKeepingUnreadable(Defaults& defaults, SetAside* setAside = nullptr,
                                     std::size_t most = kLargestLibrary);
  // The most entries a stored table of media IDs keeps (resume positions, lengths): a longer one
  // is cut to its first `most` keys when it is loaded, and the whole of it kept aside under the
  // key's first free ".overflow" name. How many entries it set aside.
  static constexpr std::size_t kMostStoredEntries = 250'000;
  static std::size_t boundStoredTable(Defaults& defaults, std::string_view key,
                                      std::size_t most = kMostStoredEntries);
  // The first of key + ".overflow", ".overflow-2"... that holds nothing, which then holds the
  // value.
  static std::string keepAside(Defaults& defaults, std::string_view key, const PropertyList& value);
  // Writes the library when it differs from what is stored; a library that cannot be encoded
  // leaves the stored value as it was.
  static void save(const Nodes& library, Defaults& defaults);
  // The stored JSON form: compact, upper-case UUIDs, absent values left out. Text that is not
  // UTF-8 is written with replacement characters so that one bad name never blocks a save; none
  // when the tree is deeper than maxDepth.
  static std::optional<std::string> encode(const Nodes& library);
  // None when the text is not a JSON array of well-formed nodes.
  static std::optional<Nodes> decode(std::string_view json);

  // The first 16 bytes of the SHA-256 of the path's bytes, unchanged: the same file always gets
  // the same id, so a rescan recognises the folders it made before.
  static Uuid stableID(std::string_view path);

  // File names are bytes, not always UTF-8; what the user sees of one is its display form.
  static std::string displayName(const std::string& fileName);

  // "Wendle Media" in the user's videos folder ($XDG_VIDEOS_DIR, else ~/Videos).
  static std::string mediaFolder();
  using ScanLimits = FolderScanLimits;
  // The media folder's files and folders as top-level nodes, in file-browser order (natural,
  // case-insensitive); hidden files skipped. The folder is made when it is missing.
  static Nodes loadFromMediaFolder(const ScanLimits& limits = {});
  static Nodes loadFromMediaFolder(const std::string& folder, const ScanLimits& limits = {});
  // One file or directory as the scan sees it: an item for a video file, a folder for a
  // directory with something usable inside, none otherwise.
  static std::optional<PlaylistNode> nodeForFile(const Url& fileURL, const ScanLimits& limits = {});

  // The library with what is new in the scan added; nothing the user organised is removed,
  // reordered or renamed, and files already in the library (wherever the user moved them) are
  // not added again.
  static Nodes mergingMediaFolder(const Nodes& scanned, Nodes library);
  // The same, or none when the scan adds nothing (as most rescans): a large library is then not
  // copied.
  static std::optional<Nodes> mergedWithMediaFolder(const Nodes& scanned, const Nodes& library);

  // The export text of the items that have a link.
  static std::string m3u(const Nodes& nodes,
                         const PlaylistLinkResolver& resolver = PlaylistLinkResolver::shared());
  // The most videos the playlist holds. The panel opens such a library at once and the player
  // starts with it in about a second; an addition or an import that would pass it is refused
  // with a message, and nothing of it is added.
  static constexpr std::size_t kLargestLibrary = 100'000;
  static std::string tooManyVideos(std::size_t adding, std::size_t present);
  // A count as people read it: "100,000".
  static std::string countText(std::size_t count);

  // Where a long import stands: read by the panel while the import runs on a thread of its own,
  // and told by it to stop.
  struct ImportProgress {
    std::atomic<bool> cancelled = false;
    std::atomic<int> percent = 0;
  };
  static constexpr std::string_view kImportCancelled = N_("The import was cancelled.");

  // The supported entries of an M3U text as new items; relative locations are taken from base.
  // Reading stops once more than kLargestLibrary entries are found, and when told to. Each entry
  // is resolved through the resolver, which remembers it: an import read off the main loop leaves
  // the playlist's first drawing of its items nothing to resolve.
  static Nodes parseM3U(std::string_view text, const Url& base,
                        const PlaylistLinkResolver& resolver = PlaylistLinkResolver::shared(),
                        ImportProgress* progress = nullptr);

  // The import step: the file at path as one folder named after it, or the text to show.
  static Result<PlaylistNode> importM3U(
      const std::string& path,
      const PlaylistLinkResolver& resolver = PlaylistLinkResolver::shared(),
      ImportProgress* progress = nullptr);
  // The same for text already read from path.
  static Result<PlaylistNode> importM3U(
      std::string_view text, const std::string& path,
      const PlaylistLinkResolver& resolver = PlaylistLinkResolver::shared(),
      ImportProgress* progress = nullptr);

  static constexpr std::string_view kImportMenuTitle = N_("Import M3U Playlist…");
  // The export step's scope is the open folder when it names one, else the whole library.
  static std::string exportMenuTitle(const Nodes& library, std::optional<Uuid> folderID);
  static std::string exportFileName(const Nodes& library, std::optional<Uuid> folderID);
  // Writes the scope's items to path, atomically; the text to show on failure, else none.
  static std::optional<std::string> exportM3U(
      const Nodes& library, std::optional<Uuid> folderID, const std::string& path,
      const PlaylistLinkResolver& resolver = PlaylistLinkResolver::shared());
};

}  // namespace orvel
