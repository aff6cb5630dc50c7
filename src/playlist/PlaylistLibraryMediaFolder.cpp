// SPDX-License-Identifier: GPL-3.0-or-later

// The media folder: scanning it into nodes and merging the scan into the library.
#include <dirent.h>
#include <glib.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <set>
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

// The visible entries of a directory in file-browser order, at most `most` of them (those read
// first); an unreadable one has none.
std::vector<std::string> sortedEntries(const std::string& directory, std::size_t most) {
  std::unique_ptr<DIR, DirectoryCloser> stream(opendir(directory.c_str()));
  if (!stream) {
    return {};
  }
  std::vector<std::pair<std::string, std::string>> entries;
  while (entries.size() < most) {
    const dirent* entry = readdir(stream.get());
    if (!entry) {
      break;
    }
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

// File systems that hold no one's videos but present themselves as endless trees (the kernel's
// views of processes and devices); a link into one is not followed.
bool isPseudoFileSystem(const std::string& path) {
  struct statfs info {};
  if (statfs(path.c_str(), &info) != 0) {
    return false;
  }
  switch (static_cast<unsigned long>(info.f_type)) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEVPTS_SUPER_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case BPF_FS_MAGIC:
    case PSTOREFS_MAGIC:
    case BINFMTFS_MAGIC:
    case NSFS_MAGIC:
      return true;
    default:
      return false;
  }
}

// One scan of a folder, breadth first: every directory at one depth is read before any below
// it, so what a user keeps near the top is found even when a link leads deep into elsewhere. A
// directory is entered once however many links lead to it (a real one before a link to it), and
// the scan stops reading once it has read its share of entries, run out of time or been called
// off; what it found by then is kept.
class FolderScan {
 public:
  explicit FolderScan(const PlaylistLibrary::ScanLimits& limits)
      : limits_(limits),
        deadline_(std::chrono::steady_clock::now() +
                  std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                      std::chrono::duration<double>(limits.maxSeconds))) {}

  // The node of a file or of a directory and what it holds; none for what holds no video.
  std::optional<PlaylistNode> node(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
      // A broken link cannot be read and is taken as a file.
      return itemNode(path);
    }
    visited_.emplace(info.st_dev, info.st_ino);
    directories_.push_back(Directory{path, 0, {}});
    readAll();
    return folderNode(0);
  }

  // The directory's videos and folders, without a node for the directory itself.
  Nodes contents(const std::string& directory) {
    struct stat info {};
    if (stat(directory.c_str(), &info) == 0) {
      visited_.emplace(info.st_dev, info.st_ino);
    }
    directories_.push_back(Directory{directory, 0, {}});
    readAll();
    return children(0);
  }

 private:
  struct Entry {
    std::string path;
    bool isDirectory = false;
    // The directory it leads to, when it is one the scan entered.
    std::optional<std::size_t> directory;
  };
  struct Directory {
    std::string path;
    std::size_t depth = 0;
    std::vector<Entry> entries;
  };

  bool stopped() const {
    return entriesRead_ >= limits_.maxEntries ||
           (limits_.cancelled && limits_.cancelled->load(std::memory_order_relaxed)) ||
           std::chrono::steady_clock::now() >= deadline_;
  }

  void readAll() {
    for (std::size_t next = 0; next < directories_.size() && !stopped(); ++next) {
      read(next);
    }
  }

  void read(std::size_t index) {
    const std::string path = directories_[index].path;
    const std::size_t depth = directories_[index].depth;
    std::vector<Entry> entries;
    std::vector<std::pair<std::size_t, struct stat>> linkedDirectories;
    for (const std::string& name : sortedEntries(path, limits_.maxEntries - entriesRead_)) {
      ++entriesRead_;
      Entry entry{joined(path, name), false, std::nullopt};
      struct stat info {};
      if (stat(entry.path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        entry.isDirectory = true;
        struct stat own {};
        const bool linked = lstat(entry.path.c_str(), &own) == 0 && S_ISLNK(own.st_mode);
        if (linked) {
          linkedDirectories.emplace_back(entries.size(), info);
        } else {
          entry.directory = enter(entry.path, depth + 1, info);
        }
      } else if (!isMediaFile(name)) {
        continue;
      }
      entries.push_back(std::move(entry));
    }
    // Real directories claim themselves first; a link to one of them is then passed over.
    for (const auto& [position, info] : linkedDirectories) {
      entries[position].directory = enter(entries[position].path, depth + 1, info);
    }
    directories_[index].entries = std::move(entries);
  }

  std::optional<std::size_t> enter(const std::string& path, std::size_t depth,
                                   const struct stat& info) {
    if (depth > PlaylistLibrary::maxScanDepth ||
        !visited_.emplace(info.st_dev, info.st_ino).second || isPseudoFileSystem(path)) {
      return std::nullopt;
    }
    directories_.push_back(Directory{path, depth, {}});
    return directories_.size() - 1;
  }

  Nodes children(std::size_t index) {
    Nodes nodes;
    for (const Entry& entry : directories_[index].entries) {
      std::optional<PlaylistNode> child = entry.directory     ? folderNode(*entry.directory)
                                          : entry.isDirectory ? std::nullopt
                                                              : itemNode(entry.path);
      if (child) {
        nodes.push_back(std::move(*child));
      }
    }
    return nodes;
  }

  std::optional<PlaylistNode> folderNode(std::size_t index) {
    Nodes nodes = children(index);
    if (nodes.empty()) {
      return std::nullopt;
    }
    const std::string& path = directories_[index].path;
    PlaylistNode folder =
        PlaylistNode::folder(PlaylistLibrary::displayName(lastComponent(path)), std::move(nodes));
    folder.id = PlaylistLibrary::stableID(path);
    return folder;
  }

  static std::optional<PlaylistNode> itemNode(const std::string& path) {
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

  const PlaylistLibrary::ScanLimits& limits_;
  const std::chrono::steady_clock::time_point deadline_;
  std::vector<Directory> directories_;
  std::set<std::pair<dev_t, ino_t>> visited_;
  std::size_t entriesRead_ = 0;
};

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

// The last segment of a link, decoded: a key that two spellings of one file share, found without
// parsing the link.
std::string lastSegment(std::string_view link) {
  link = link.substr(0, link.find_first_of("?#"));
  while (link.size() > 1 && link.ends_with('/')) {
    link.remove_suffix(1);
  }
  const std::size_t slash = link.rfind('/');
  return lenientPercentDecoded(slash == std::string_view::npos ? link : link.substr(slash + 1));
}

class MediaFolderMerge {
 public:
  // Only the library's links that end in the name of a scanned file can be that file: the others
  // (most of a large library) are not parsed. The library is copied only once something is added.
  MediaFolderMerge(const Nodes& scanned, const Nodes& library) : library_(library) {
    std::unordered_set<std::string> names;
    PlaylistTree::forEachItem(scanned, [&names](const PlaylistNode& item) {
      if (item.url) {
        names.insert(lastSegment(*item.url));
      }
      return true;
    });
    PlaylistTree::forEachItem(library, [this, &names](const PlaylistNode& item) {
      if (item.url && names.contains(lastSegment(*item.url))) {
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

  // The library with what was added, or none when nothing was.
  std::optional<Nodes> take() { return std::move(result_); }

 private:
  const Nodes& current() const { return result_ ? *result_ : library_; }

  void mergeFolder(const PlaylistNode& folder, const std::optional<Uuid>& parent) {
    // A folder the library has (wherever the user moved or however they renamed it) keeps its
    // place; only what is new inside it is added.
    if (PlaylistTree::find(current(), folder.id)) {
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
    if (!result_) {
      result_ = library_;
    }
    if (parent) {
      PlaylistTree::insert(*result_, {std::move(node)}, *parent);
    } else {
      result_->push_back(std::move(node));
    }
  }

  const Nodes& library_;
  std::optional<Nodes> result_;
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

Nodes PlaylistLibrary::loadFromMediaFolder(const ScanLimits& limits) {
  return loadFromMediaFolder(mediaFolder(), limits);
}

Nodes PlaylistLibrary::loadFromMediaFolder(const std::string& folder, const ScanLimits& limits) {
  g_mkdir_with_parents(folder.c_str(), 0755);
  return FolderScan(limits).contents(folder);
}

std::optional<PlaylistNode> PlaylistLibrary::nodeForFile(const Url& fileURL,
                                                         const ScanLimits& limits) {
  if (!fileURL.isFileURL()) {
    return std::nullopt;
  }
  std::string path = fileURL.path();
  while (path.size() > 1 && path.ends_with('/')) {
    path.pop_back();
  }
  return FolderScan(limits).node(path);
}

std::optional<Nodes> PlaylistLibrary::mergedWithMediaFolder(const Nodes& scanned,
                                                            const Nodes& library) {
  MediaFolderMerge merge(scanned, library);
  merge.merge(scanned, std::nullopt);
  return merge.take();
}

Nodes PlaylistLibrary::mergingMediaFolder(const Nodes& scanned, Nodes library) {
  auto merged = mergedWithMediaFolder(scanned, library);
  return merged ? std::move(*merged) : library;
}

}  // namespace orvel
