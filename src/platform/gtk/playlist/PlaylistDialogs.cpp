// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/gtk/playlist/PlaylistDialogs.h"

#include "core/Translation.h"

namespace orvel {

PlaylistDialogs::PlaylistDialogs(GtkPlayerDialogs& dialogs, PlaylistView& model)
    : dialogs_(dialogs), model_(model) {}

void PlaylistDialogs::sync() {
  if (model_.renamingID() && !renameShown_) {
    promptForRename();
  }
  if (model_.showsTrashConfirmation()) {
    confirm(
        trashShown_,
        {.style = Alert::Style::warning,
         .title = _("Move original file to Trash?"),
         .message = model_.trashConfirmationMessage(),
         .buttons = {_("Move Original File to Trash"), _("Cancel")},
         .destructiveButton = 0},
        [this] { model_.trashSelectedFile(); }, [this] { model_.cancelTrash(); });
  }
  if (model_.showsClearConfirmation()) {
    confirm(
        clearShown_,
        {.style = Alert::Style::warning,
         .title = _("Clear the entire playlist?"),
         .message = _("All videos and folders are removed from the playlist. Original "
                      "files are not affected."),
         .buttons = {_("Clear Playlist"), _("Cancel")},
         .destructiveButton = 0},
        [this] { model_.confirmClear(); }, [this] { model_.cancelClear(); });
  }
}

void PlaylistDialogs::promptForRename() {
  renameShown_ = true;
  const bool folder = model_.renamingFolder();
  Alert alert{.style = Alert::Style::informational,
              .title = folder ? _("Rename Folder") : _("Rename Video"),
              .message = folder ? "" : _("Leave empty to use the video’s own title."),
              .buttons = {_("Rename"), _("Cancel")},
              .destructiveButton = {}};
  dialogs_.promptForText(alert, _("Name"), model_.renameText(),
                         [this](std::optional<std::string> text) {
                           renameShown_ = false;
                           if (text) {
                             model_.setRenameText(*text);
                             model_.commitRename();
                           } else {
                             model_.cancelRename();
                           }
                         });
}

// A confirmation whose first button does the destructive thing; `shown` keeps it from being
// asked twice while it is up.
void PlaylistDialogs::confirm(bool& shown, const Alert& alert, std::function<void()> confirmed,
                              std::function<void()> cancelled) {
  if (shown) {
    return;
  }
  shown = true;
  dialogs_.showAlert(alert, [&shown, confirmed = std::move(confirmed),
                             cancelled = std::move(cancelled)](std::size_t button) {
    shown = false;
    if (button == 0) {
      confirmed();
    } else {
      cancelled();
    }
  });
}

}  // namespace orvel
