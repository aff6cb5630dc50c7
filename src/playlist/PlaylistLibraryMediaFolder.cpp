// SPDX-License-Identifier: GPL-3.0-or-later

// The media folder: scanning it into nodes and merging the scan into the library.
#include <dirent.h>
#include <glib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/Text.h"
#include "playlist/PlaylistLibrary.h"

namespace orvel {
namespace {

using Nodes = PlaylistLibrary::Nodes;

struct GFree {
  void operator()(void* pointer) const { g_free(pointer); }
};
using GString = std::unique_ptr<char, GFree>;

struct DirectoryCloser {
  void operator()(DIR* directory) const { closedir(directory); }
};

std::string sortKey(const std::string& fileName) {
  // The collation key follows the locale, which may order capitals first; folding the case
  // first keeps the order case-insensitive everywhere.
  const std::string display = PlaylistLibrary::displayName(fileName);
  GString folded(g_utf8_casefold(display.c_str(), static_cast<gssize>(display.size())));
  GString key(g_utf8_collate_key_for_filename(folded.get(), -1));
  return key ? std::string(key.get()) : display;
}

// The visible entries of a directory in file-browser order; an unreadable one has none.
std::vector<std::string> sortedEntries(const std::string& directory) {
  std::unique_ptr<DIR, DirectoryCloser> stream(opendir(directory.c_str()));
  if (!stream) {
    return {};
  }
  std::vector<std::pair<std::string, std::string>> entries;
  while (const dirent* entry = readdir(stream.get())) {
    std::string name = entry->d_name;
    if (name.empty() || name.front() == '.') {
      continue;
    }
    std::string key = sortKey(name);
    entries.emplace_back(std::move(key), std::move(name));
  }
  std::sort(entries.begin(), entries.end());
  std::vector<std::string> names;
  names.reserve(entries.size());
  for (auto& entry : entries) {
    names.push_back(std::move(entry.second));
  }
  return names;
}

std::string joined(const std::string& directory, const std::string& name) {
  return directory.ends_with('/') ? directory + name : directory + "/" + name;
}

std::string lastComponent(const std::string& path) {
  std::string_view rest = path;
  while (rest.size() > 1 && rest.ends_with('/')) {
    rest.remove_suffix(1);
  }
  const std::size_t slash = rest.rfind('/');
  return std::string(slash == std::string_view::npos ? rest : rest.substr(slash + 1));
}

bool isMediaFile(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) {
    return false;
  }
  const std::string extension = asciiLowercased(std::string_view(name).substr(dot + 1));
  return std::find(PlaylistLibrary::mediaExtensions.begin(), PlaylistLibrary::mediaExtensions.end(),
                   extension) != PlaylistLibrary::mediaExtensions.end();
}

// The directories being scanned, from the media folder down. A directory already among them is
// not entered again: a symbolic link back to an ancestor would otherwise recurse for ever.
class ScanPath {
 public:
  bool contains(const struct stat& info) const {
    return std::any_of(path_.begin(), path_.end(), [&](const auto& entry) {
      return entry.first == info.st_dev && entry.second == info.st_ino;
    });
  }
  void push(const struct stat& info) { path_.emplace_back(info.st_dev, info.st_ino); }
  void pop() { path_.pop_back(); }
  std::size_t depth() const { return path_.size(); }

 private:
  std::vector<std::pair<dev_t, ino_t>> path_;
};

std::optional<PlaylistNode> scanNode(const std::string& path, ScanPath& scanPath) {
  struct stat info {};
  // stat follows links, so a linked directory is scanned like a real one; a broken link cannot
  // be read and is taken as a file.
  if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    if (scanPath.contains(info) || scanPath.depth() > PlaylistLibrary::maxScanDepth) {
      return std::nullopt;
    }
    Nodes children;
    scanPath.push(info);
    for (const std::string& name : sortedEntries(path)) {
      if (auto child = scanNode(joined(path, name), scanPath)) {
        children.push_back(std::move(*child));
      }
    }
    scanPath.pop();
    if (children.empty()) {
      return std::nullopt;
    }
    PlaylistNode folder = PlaylistNode::folder(PlaylistLibrary::displayName(lastComponent(path)),
                                               std::move(children));
    folder.id = PlaylistLibrary::stableID(path);
    return folder;
  }
  if (!isMediaFile(lastComponent(path))) {
    return std::nullopt;
  }
  auto url = Url::fileURL(path);
  if (!url) {
    return std::nullopt;
  }
  PlaylistNode item = PlaylistNode::item(url->absoluteString());
  item.id = PlaylistLibrary::stableID(path);
  return item;
}

// A file URL reduced to what names the file: the decoded path without dot segments, repeated
// slashes or a trailing slash, so that two spellings of one file compare equal.
std::optional<std::string> standardizedFileURL(const std::string& link) {
  auto url = Url::parse(link);
  if (!url || !url->isFileURL()) {
    return std::nullopt;
  }
  std::vector<std::string_view> segments;
  const std::string path = url->path();
  std::string_view rest = path;
  while (!rest.empty()) {
    const std::size_t slash = rest.find('/');
    const std::string_view segment = rest.substr(0, slash);
    if (segment == "..") {
      if (!segments.empty()) {
        segments.pop_back();
      }
    } else if (!segment.empty() && segment != ".") {
      segments.push_back(segment);
    }
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
  }
  std::string key;
  if (url->hasHost() && url->host() != "localhost") {
    key = "//" + url->host();
  }
  for (std::string_view segment : segments) {
    key += '/';
    key += segment;
  }
  return key.empty() ? "/" : key;
}

class MediaFolderMerge {
 public:
  explicit MediaFolderMerge(Nodes library) : result_(std::move(library)) {
    PlaylistTree::forEachItem(result_, [this](const PlaylistNode& item) {
      if (item.url) {
        if (auto key = standardizedFileURL(*item.url)) {
          known_.insert(std::move(*key));
        }
      }
      return true;
    });
  }

  void merge(const Nodes& scanned, const std::optional<Uuid>& parent) {
    for (const PlaylistNode& node : scanned) {
      if (node.children) {
        mergeFolder(node, parent);
      } else {
        mergeItem(node, parent);
      }
    }
  }

  Nodes take() { return std::move(result_); }

 private:
  void mergeFolder(const PlaylistNode& folder, const std::optional<Uuid>& parent) {
    // A folder the library has (wherever the user moved or however they renamed it) keeps its
    // place; only what is new inside it is added.
    if (PlaylistTree::find(result_, folder.id)) {
      merge(*folder.children, folder.id);
      return;
    }
    const bool allKnown =
        PlaylistTree::forEachItem(*folder.children, [this](const PlaylistNode& item) {
          auto key = item.url ? standardizedFileURL(*item.url) : std::nullopt;
          return key && known_.contains(*key);
        });
    if (allKnown) {
      return;
    }
    PlaylistNode copy = folder;
    copy.children->clear();
    add(std::move(copy), parent);
    merge(*folder.children, folder.id);
  }

  void mergeItem(const PlaylistNode& item, const std::optional<Uuid>& parent) {
    auto key = item.url ? standardizedFileURL(*item.url) : std::nullopt;
    if (!key || !known_.insert(std::move(*key)).second) {
      return;
    }
    add(item, parent);
  }

  void add(PlaylistNode node, const std::optional<Uuid>& parent) {
    if (parent) {
      PlaylistTree::insert(result_, {std::move(node)}, *parent);
    } else {
      result_.push_back(std::move(node));
    }
  }

  Nodes result_;
  std::unordered_set<std::string> known_;
};

}  // namespace

std::string PlaylistLibrary::displayName(const std::string& fileName) {
  GString display(g_filename_display_name(fileName.c_str()));
  return display ? std::string(display.get()) : fileName;
}

std::string PlaylistLibrary::mediaFolder() {
  std::string videos;
  if (const char* xdg = std::getenv("XDG_VIDEOS_DIR"); xdg && xdg[0] == '/') {
    videos = xdg;
  } else if (const char* special = g_get_user_special_dir(G_USER_DIRECTORY_VIDEOS)) {
    videos = special;
  } else {
    videos = joined(g_get_home_dir(), "Videos");
  }
  return joined(videos, std::string(kMediaFolderName));
}

Nodes PlaylistLibrary::loadFromMediaFolder() {
  return loadFromMediaFolder(mediaFolder());
}

Nodes PlaylistLibrary::loadFromMediaFolder(const std::string& folder) {
  g_mkdir_with_parents(folder.c_str(), 0755);
  Nodes nodes;
  ScanPath scanPath;
  struct stat info {};
  if (stat(folder.c_str(), &info) == 0) {
    scanPath.push(info);
  }
  for (const std::string& name : sortedEntries(folder)) {
    if (auto node = scanNode(joined(folder, name), scanPath)) {
      nodes.push_back(std::move(*node));
    }
  }
  return nodes;
}

std::optional<PlaylistNode> PlaylistLibrary::nodeForFile(const Url& fileURL) {
  if (!fileURL.isFileURL()) {
    return std::nullopt;
  }
  std::string path = fileURL.path();
  while (path.size() > 1 && path.ends_with('/')) {
    path.pop_back();
  }
  ScanPath scanPath;
  return scanNode(path, scanPath);
}

Nodes PlaylistLibrary::mergingMediaFolder(const Nodes& scanned, Nodes library) {
  MediaFolderMerge merge(std::move(library));
  merge.merge(scanned, std::nullopt);
  return merge.take();
}

}  // namespace orvel
