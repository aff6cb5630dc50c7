// SPDX-License-Identifier: GPL-3.0-or-later

#include "media/VideoFileProvider.h"

#include <algorithm>

#include "core/Text.h"

namespace orvel {

std::string VideoFileProvider::displayName() const {
  if (id_ == "webm") {
    return "WebM";
  }
  std::string name = id_;
  std::transform(name.begin(), name.end(), name.begin(),
                 [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
  return name;
}

std::optional<StreamingMedia> VideoFileProvider::resolve(std::string_view input, StartTime) const {
  auto url = Url::parse(trimmedWhitespace(input));
  if (!url) {
    return std::nullopt;
  }
  if (url->scheme() != "file" && url->scheme() != "https" && url->scheme() != "http") {
    return std::nullopt;
  }
  if (asciiLowercased(url->pathExtension()) != id_) {
    return std::nullopt;
  }
  if (!url->isFileURL() && !url->hasHost()) {
    return std::nullopt;
  }
  std::string title = url->lastPathComponent();
  title.resize(title.size() - url->pathExtension().size() - 1);
  return StreamingMedia{id_,  displayName(),    id_ + ":" + url->absoluteString(),
                        *url, std::move(title), false};
}

std::optional<Url> VideoFileProvider::playbackURL(std::string_view mediaID, StartTime) const {
  const std::string prefix = id_ + ":";
  if (!mediaID.starts_with(prefix)) {
    return std::nullopt;
  }
  auto media = resolve(mediaID.substr(prefix.size()), std::nullopt);
  return media ? std::optional<Url>(media->playbackURL) : std::nullopt;
}

}  // namespace orvel
