// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/CurrentFileDeletion.h"

#include "core/Translation.h"
#include "playlist/PlaylistRepeat.h"

namespace orvel {

std::optional<Url> CurrentFileDeletion::currentFileURL() const {
  const auto& source = host_.currentSource();
  auto url = source ? Url::parse(*source) : std::nullopt;
  return url && url->isFileURL() ? url : std::nullopt;
}

void CurrentFileDeletion::confirm() {
  const auto file = currentFileURL();
  if (!file) {
    return;
  }
  showsConfirmation_ = true;
  host_.changed();
  host_.dialogs.showAlert(Alert{.style = Alert::Style::warning,
                                .title = _(kConfirmationTitle),
                                .message = PlaylistTrash::confirmationMessage(file),
                                .buttons = {_(kDeleteButton), _("Cancel")},
                                .destructiveButton = 0},
                          lifetime_.guard([this](std::size_t button) {
                            showsConfirmation_ = false;
                            if (button == 0) {
                              deleteCurrentFile();
                            }
                            host_.changed();
                          }));
}

void CurrentFileDeletion::deleteCurrentFile() {
  const auto file = currentFileURL();
  if (!file) {
    return;
  }
  const auto position = host_.playQueue.index();
  // Playback stops first, as the user asked. What the user made of the file (its place, its
  // history with stars and note) goes only once the file is in the Trash: a Trash that refuses
  // leaves the file on disk, and all of it with the file.
  const bool stopped = stopPlaying(*file);
  const auto& trash =
      host_.trash ? host_.trash : PlaylistTrash::Trasher(PlaylistTrash::moveToTrash);
  if (auto error = trash(*file)) {
    host_.setStatusMessage(PlaylistTrash::failureText(*file, *error), 2.0);
    return;
  }
  forget(*file, stopped);
  auto library = host_.library();
  PlaylistTrash::removeItems(library, *file);
  host_.setLibrary(std::move(library));
  if (!position) {
    return;
  }
  // The item that moved into the deleted one's place plays; past the end, only repeat all goes
  // round to the first.
  PlayQueue& queue = host_.playQueue;
  const std::size_t count = queue.items().size();
  if (*position < count) {
    queue.play(*position);
  } else if (count > 0 && storedPlaylistRepeat(host_.defaults) == PlaylistRepeat::all) {
    queue.play(0);
  }
}

void CurrentFileDeletion::handleTrashedFile(const Url& fileURL) {
  forget(fileURL, stopPlaying(fileURL));
}

bool CurrentFileDeletion::stopPlaying(const Url& fileURL) {
  auto media = host_.registry.resolve(fileURL.absoluteString());
  if (!media || host_.currentVideoID() != media->mediaID) {
    return false;
  }
  host_.playQueue.forgetItem();
  host_.unloadCurrentMedia();
  host_.changed();
  return true;
}

void CurrentFileDeletion::forget(const Url& fileURL, bool wasPlaying) {
  auto media = host_.registry.resolve(fileURL.absoluteString());
  if (!media) {
    return;
  }
  if (wasPlaying) {
    host_.forgetLastLink();
    host_.setStatusMessage(_(kTrashedStatus), 2.0);
  }
  host_.forgetPosition(media->mediaID);
  host_.settings.removeHistoryVideo(media->mediaID);
  host_.settings.removeRecentVideo(media->mediaID);
  host_.changed();
}

}  // namespace orvel
