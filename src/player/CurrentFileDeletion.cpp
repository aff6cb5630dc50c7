// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/CurrentFileDeletion.h"

#include "player/PlayerSession.h"
#include "playlist/PlaylistRepeat.h"
#include "playlist/PlaylistTrash.h"

namespace orvel {

std::optional<Url> CurrentFileDeletion::currentFileURL() const {
  const auto& source = session_.currentSourceURL_;
  auto url = source ? Url::parse(*source) : std::nullopt;
  return url && url->isFileURL() ? url : std::nullopt;
}

void CurrentFileDeletion::confirm() {
  const auto file = currentFileURL();
  if (!file) {
    return;
  }
  session_.showsDeleteFileConfirmation_ = true;
  session_.changed();
  session_.deps_.dialogs.showAlert(Alert{.style = Alert::Style::warning,
                                         .title = kConfirmationTitle,
                                         .message = PlaylistTrash::confirmationMessage(file),
                                         .buttons = {kDeleteButton, "Cancel"},
                                         .destructiveButton = 0},
                                   session_.lifetime_.guard([this](std::size_t button) {
                                     session_.showsDeleteFileConfirmation_ = false;
                                     if (button == 0) {
                                       deleteCurrentFile();
                                     }
                                     session_.changed();
                                   }));
}

void CurrentFileDeletion::deleteCurrentFile() {
  const auto file = currentFileURL();
  if (!file) {
    return;
  }
  const auto position = session_.playlistIndex();
  // Playback stops first, as the user asked. What the user made of the file (its place, its
  // history with stars and note) goes only once the file is in the Trash: a Trash that refuses
  // leaves the file on disk, and all of it with the file.
  const bool stopped = stopPlaying(*file);
  const auto& trash = session_.deps_.trashFile ? session_.deps_.trashFile
                                               : PlaylistTrash::Trasher(PlaylistTrash::moveToTrash);
  if (auto error = trash(*file)) {
    session_.setStatusMessage(PlaylistTrash::failureText(*file, *error), 2.0);
    return;
  }
  forget(*file, stopped);
  auto library = session_.library_;
  PlaylistTrash::removeItems(library, *file);
  session_.setLibrary(std::move(library));
  if (!position) {
    return;
  }
  // The item that moved into the deleted one's place plays; past the end, only repeat all goes
  // round to the first.
  PlayQueue& queue = session_.queue_;
  const std::size_t count = queue.items().size();
  if (*position < count) {
    queue.play(*position);
  } else if (count > 0 && storedPlaylistRepeat(session_.deps_.defaults) == PlaylistRepeat::all) {
    queue.play(0);
  }
}

void CurrentFileDeletion::handleTrashedFile(const Url& fileURL) {
  forget(fileURL, stopPlaying(fileURL));
}

bool CurrentFileDeletion::stopPlaying(const Url& fileURL) {
  auto media = session_.deps_.registry.resolve(fileURL.absoluteString());
  if (!media || session_.currentVideoID_ != media->mediaID) {
    return false;
  }
  session_.currentVideoID_.reset();
  session_.currentSourceURL_.reset();
  session_.currentVideoTitle_.clear();
  session_.playlistItemID_.reset();
  session_.playerState_ = -1;
  session_.playerCurrentTime_ = 0;
  session_.playerDuration_ = 0;
  session_.deps_.native.stop();
  session_.loader_.invalidatePlayerShell();
  session_.deps_.web.loadHTML("", std::nullopt);
  session_.changed();
  return true;
}

void CurrentFileDeletion::forget(const Url& fileURL, bool wasPlaying) {
  auto media = session_.deps_.registry.resolve(fileURL.absoluteString());
  if (!media) {
    return;
  }
  if (wasPlaying) {
    session_.deps_.defaults.remove(PlayerSession::kLastURLKey);
    session_.setStatusMessage(kTrashedStatus, 2.0);
  }
  session_.playbackPositions_.erase(media->mediaID);
  session_.writePositions();
  session_.deps_.settings.removeHistoryVideo(media->mediaID);
  session_.deps_.settings.removeRecentVideo(media->mediaID);
  session_.changed();
}

}  // namespace orvel
