// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/LaunchArgument.h"

#include <filesystem>
#include <optional>

#include "core/Text.h"
#include "core/Url.h"

namespace orvel {
namespace {

// A name that can only mean a file here: a path, or a bare file name, of a video the player
// plays. A link written without its scheme ("youtu.be/…", "example.com/a.mp4") is not one.
bool namesAVideoFile(std::string_view argument) {
  const bool pathLike = argument.starts_with('/') || argument.starts_with("./") ||
                        argument.starts_with("../") || argument.find('/') == std::string_view::npos;
  const std::string extension =
      asciiLowercased(std::filesystem::path(std::string(argument)).extension().string());
  return pathLike && (extension == ".mp4" || extension == ".webm" || extension == ".mkv");
}

// A local file's URL as the player writes it for a path, whatever escapes the launcher chose: a
// file manager's "file:///…%3B…" or "file://localhost/…" then names the same video, with the same
// stored position, as the path typed in a shell. Other URLs and file URLs with more than a path
// stay as they are.
std::optional<std::string> canonicalFileURL(std::string_view argument) {
  auto url = Url::parse(argument);
  if (!url || !url->isFileURL() || (url->hasHost() && url->host() != "localhost") || url->query() ||
      url->fragment()) {
    return std::nullopt;
  }
  const std::string path = url->path();
  if (!path.starts_with('/') || path.find('\0') != std::string::npos ||
      asciiLowercased(url->percentEncodedPath()).find("%2f") != std::string::npos) {
    return std::nullopt;
  }
  auto canonical = Url::fileURL(path);
  return canonical ? std::optional(canonical->absoluteString()) : std::nullopt;
}

}  // namespace

std::string launchArgumentText(std::string_view argument, std::string_view workingDirectory) {
  if (argument.find("://") != std::string_view::npos || argument.empty()) {
    return canonicalFileURL(argument).value_or(std::string(argument));
  }
  std::error_code error;
  std::filesystem::path path{std::string(argument)};
  if (path.is_relative() && !workingDirectory.empty()) {
    path = std::filesystem::path(std::string(workingDirectory)) / path;
  }
  if (!std::filesystem::exists(path, error) && !namesAVideoFile(argument)) {
    return std::string(argument);
  }
  auto absolute = std::filesystem::weakly_canonical(path, error);
  if (error) {
    absolute = path.lexically_normal();
  }
  auto url = Url::fileURL(absolute.string());
  return url ? url->absoluteString() : std::string(argument);
}

}  // namespace orvel
