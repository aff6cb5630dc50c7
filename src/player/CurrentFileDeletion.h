#pragma once

#include <optional>

#include "core/Url.h"

namespace orvel {

class PlayerSession;

// "Stop & Delete File": the local file being played goes to the Trash and leaves the playlist,
// and the queue goes on where it was. Also what the session does with any trashed file: it
// stops when the file is the one loaded, and its position and history go. Keeps no state of its
// own; it works on the session's.
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
  // Called just before a file goes to the Trash, from here or from the playlist panel.
  void handleTrashedFile(const Url& fileURL);

 private:
  PlayerSession& session_;
};

}  // namespace orvel
