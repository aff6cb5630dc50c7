// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/Url.h"
#include "playlist/PlaylistTree.h"

namespace orvel {

// Moving a played file to the user's Trash, and what the playlist does then.
namespace PlaylistTrash {

// Moves the file to the freedesktop Trash. Only a regular MP4, WebM or MKV file goes; the error's
// description otherwise, none on success.
using Trasher = std::function<std::optional<std::string>(const Url& fileURL)>;
std::optional<std::string> moveToTrash(const Url& fileURL);

// "Could not move clip.mp4 to Trash: " and the description.
std::string failureText(const Url& fileURL, const std::string& description);

// Every item whose link is this file, at every depth, leaves the library.
void removeItems(PlaylistTree::Nodes& library, const Url& fileURL);

// " will be moved from its original folder to the Trash and removed from the playlist. You can
// restore it from Trash.", after the file's name, or "This file" when there is none.
std::string confirmationMessage(const std::optional<Url>& fileURL);

}  // namespace PlaylistTrash

}  // namespace orvel
