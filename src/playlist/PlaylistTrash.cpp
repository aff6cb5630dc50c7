// SPDX-License-Identifier: GPL-3.0-or-later

#include "playlist/PlaylistTrash.h"

#include <gio/gio.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>

#include "core/Translation.h"
#include "playlist/PlaylistLibrary.h"

namespace orvel::PlaylistTrash {

namespace {

bool isPlayableFile(const Url& fileURL) {
  std::string extension = fileURL.pathExtension();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const auto& allowed = PlaylistLibrary::mediaExtensions;
  struct stat status {};
  return std::find(allowed.begin(), allowed.end(), extension) != allowed.end() &&
         ::lstat(fileURL.path().c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace

std::optional<std::string> moveToTrash(const Url& fileURL) {
  if (!fileURL.isFileURL() || !isPlayableFile(fileURL)) {
    return _("Only an MP4, WebM or MKV file that exists can be moved to the Trash.");
  }
  std::unique_ptr<GFile, decltype(&g_object_unref)> file(
      g_file_new_for_path(fileURL.path().c_str()), &g_object_unref);
  GError* error = nullptr;
  if (!g_file_trash(file.get(), nullptr, &error)) {
    std::string description = error ? error->message : _("Unknown error");
    g_clear_error(&error);
    return description;
  }
  return std::nullopt;
}

std::string failureText(const Url& fileURL, const std::string& description) {
  return formatted(_("Could not move %s to Trash: %s"), {fileURL.lastPathComponent(), description});
}

void removeItems(PlaylistTree::Nodes& library, const Url& fileURL) {
  // Compared as standardized paths: "a/./b.mkv" and "a/b.mkv" are one file.
  const auto path = std::filesystem::path(fileURL.path()).lexically_normal();
  PlaylistTree::removeItems(library, [&](const PlaylistNode& node) {
    auto url = node.fileURL();
    return url && std::filesystem::path(url->path()).lexically_normal() == path;
  });
}

std::string confirmationMessage(const std::optional<Url>& fileURL) {
  if (!fileURL) {
    return _(
        "This file will be moved from its original folder to the Trash and removed from the "
        "playlist. You can restore it from Trash.");
  }
  return formatted(_("%s will be moved from its original folder to the Trash and removed from the "
                     "playlist. You can restore it from Trash."),
                   {fileURL->lastPathComponent()});
}

}  // namespace orvel::PlaylistTrash
