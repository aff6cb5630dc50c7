// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/Defaults.h"
#include "core/Lifetime.h"
#include "core/Translation.h"
#include "core/Url.h"
#include "media/StreamingProviderRegistry.h"
#include "player/PlayQueue.h"
#include "player/PlayerDialogs.h"
#include "playlist/PlaylistTrash.h"
#include "playlist/PlaylistTree.h"
#include "settings/AppSettings.h"

namespace orvel {

// "Stop & Delete File": the local file being played goes to the Trash and leaves the playlist,
// and the queue goes on where it was. Also what happens to any file once it is in the Trash: it
// stops when the file is the one loaded, and its position and history go. Nothing is forgotten
// of a file the Trash refused. Owns its confirmation; reaches playback through its host.
class CurrentFileDeletion {
 public:
  static constexpr const char* kConfirmationTitle = N_("Stop playback and delete this file?");
  static constexpr const char* kDeleteButton = N_("Stop & Delete File");
  static constexpr const char* kTrashedStatus = N_("Original file moved to Trash");

  struct Host {
    PlayerDialogs& dialogs;
    const StreamingProviderRegistry& registry;
    Defaults& defaults;
    AppSettings& settings;
    PlayQueue& playQueue;
    PlaylistTrash::Trasher trash;
    std::function<const std::optional<std::string>&()> currentSource;
    std::function<const std::optional<std::string>&()> currentVideoID;
    std::function<const PlaylistTree::Nodes&()> library;
    std::function<void(PlaylistTree::Nodes)> setLibrary;
    // Empties the player: nothing loaded, both engines stopped.
    std::function<void()> unloadCurrentMedia;
    // The media's stored place goes; the link opened last (to open at the next start) goes.
    std::function<void(const std::string& mediaID)> forgetPosition;
    std::function<void()> forgetLastLink;
    std::function<void(const std::string& text, double seconds)> setStatusMessage;
    std::function<void()> changed;
  };

  explicit CurrentFileDeletion(Host host) : host_(std::move(host)) {}

  // The current source when it is a local file; deleting is offered only then.
  std::optional<Url> currentFileURL() const;
  // Asks first; the destructive button deletes.
  void confirm();
  bool showsConfirmation() const { return showsConfirmation_; }
  void deleteCurrentFile();
  // Called once the playlist panel has moved a file to the Trash.
  void handleTrashedFile(const Url& fileURL);

 private:
  // Stops playback when the file is the one loaded; whether it was.
  bool stopPlaying(const Url& fileURL);
  // Its place, its recent entry and its history go; the last link too, when it was playing.
  void forget(const Url& fileURL, bool wasPlaying);

  Host host_;
  bool showsConfirmation_ = false;
  Lifetime lifetime_;
};

}  // namespace orvel
