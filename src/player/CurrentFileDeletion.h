// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>

#include "core/Url.h"

namespace orvel {

class PlayerSession;

// "Stop & Delete File": the local file being played goes to the Trash and leaves the playlist,
// and the queue goes on where it was. Also what the session does with any file once it is in the
// Trash: it stops when the file is the one loaded, and its position and history go. Nothing is
// forgotten of a file the Trash refused. Keeps no state of its own; it works on the session's.
class CurrentFileDeletion {
 public:
  static constexpr const char* kConfirmationTitle = "Stop playback and delete this file?";
  static constexpr const char* kDeleteButton = "Stop & Delete File";
  static constexpr const char* kTrashedStatus = "Original file moved to Trash";

  explicit CurrentFileDeletion(PlayerSession& session) : session_(session) {}

  // The current source when it is a local file; deleting is offered only then.
  std::optional<Url> currentFileURL() const;
  // Asks first; the destructive button deletes.
  void confirm();
  void deleteCurrentFile();
  // Called once the playlist panel has moved a file to the Trash.
  void handleTrashedFile(const Url& fileURL);

 private:
  // Stops playback when the file is the one loaded; whether it was.
  bool stopPlaying(const Url& fileURL);
  // Its place, its recent entry and its history go; the last link too, when it was playing.
  void forget(const Url& fileURL, bool wasPlaying);

  PlayerSession& session_;
};

}  // namespace orvel
