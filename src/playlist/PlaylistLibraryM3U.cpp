// SPDX-License-Identifier: GPL-3.0-or-later

// M3U playlist files: the export text, the import parser and the two steps the panel runs.
#include <glib.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>

#include "core/Text.h"
#include "core/Translation.h"
#include "playlist/PlaylistLibrary.h"

namespace orvel {
namespace {

using Nodes = PlaylistLibrary::Nodes;

// Larger files are refused unread, which bounds the memory an import takes.
constexpr std::size_t kLargestImport = 256 * 1024 * 1024;

struct GFree {
  void operator()(void* pointer) const { g_free(pointer); }
};

// The length of the line break at index (newline, return, vertical tab, form feed, next line,
// line and paragraph separators), or 0.
std::size_t lineBreakLength(std::string_view text, std::size_t index) {
  switch (static_cast<unsigned char>(text[index])) {
    case '\n':
    case '\r':
    case '\v':
    case '\f':
      return 1;
    case 0xC2:
      return text.substr(index).starts_with("\xC2\x85") ? 2 : 0;
    case 0xE2: {
      const std::string_view rest = text.substr(index);
      return rest.starts_with("\xE2\x80\xA8") || rest.starts_with("\xE2\x80\xA9") ? 3 : 0;
    }
    default:
      return 0;
  }
}

bool hasLineBreak(std::string_view text) {
  for (std::size_t index = 0; index < text.size(); ++index) {
    if (lineBreakLength(text, index) > 0) {
      return true;
    }
  }
  return false;
}

// A line break inside a title would end its line early and turn the rest into a location.
std::string oneLine(std::string_view text) {
  std::string line;
  line.reserve(text.size());
  for (std::size_t index = 0; index < text.size();) {
    if (const std::size_t length = lineBreakLength(text, index)) {
      line += ' ';
      index += length;
    } else {
      line += text[index++];
    }
  }
  return line;
}

std::string validUTF8(std::string_view text) {
  if (isValidUTF8(text)) {
    return std::string(text);
  }
  std::unique_ptr<char, GFree> valid(
      g_utf8_make_valid(text.data(), static_cast<gssize>(text.size())));
  return valid.get();
}

std::string displayBaseName(const std::string& path) {
  std::unique_ptr<char, GFree> name(g_filename_display_basename(path.c_str()));
  return name.get();
}

std::string withoutExtension(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// The URL a location line stands for, or none when it cannot be one.
std::optional<std::string> locationURL(std::string_view line, const Url& base) {
  if (line.find("://") != std::string_view::npos) {
    return std::string(line);
  }
  if (line.starts_with('/')) {
    auto url = Url::fileURL(line);
    return url ? std::optional<std::string>(url->absoluteString()) : std::nullopt;
  }
  // Relative locations name files beside the playlist file.
  if (!base.isFileURL()) {
    return std::nullopt;
  }
  std::string directory = base.path();
  if (!directory.ends_with('/')) {
    directory += '/';
  }
  auto url = Url::fileURL(directory + std::string(line));
  return url ? std::optional<std::string>(url->absoluteString()) : std::nullopt;
}

const PlaylistNode* scopeFolder(const Nodes& library, std::optional<Uuid> folderID) {
  if (!folderID) {
    return nullptr;
  }
  const PlaylistNode* folder = PlaylistTree::find(library, *folderID);
  return folder && folder->isFolder() ? folder : nullptr;
}

}  // namespace

std::string PlaylistLibrary::m3u(const Nodes& nodes, const PlaylistLinkResolver& resolver) {
  std::string text = "#EXTM3U\n";
  for (const PlaylistNode& node : nodes) {
    if (!node.url) {
      continue;
    }
    std::string location = *node.url;
    if (auto url = node.fileURL()) {
      // A path with a line break in it cannot stand on one line; its URL can, and the importer
      // takes a line with "://" as it stands.
      if (std::string path = url->path(); !hasLineBreak(path)) {
        location = std::move(path);
      }
    }
    text += "#EXTINF:-1,";
    text += oneLine(node.title(resolver));
    text += '\n';
    text += oneLine(location);
    text += '\n';
  }
  return text;
}

Nodes PlaylistLibrary::parseM3U(std::string_view text, const Url& base,
                                const PlaylistLinkResolver& resolver, ImportProgress* progress) {
  if (text.starts_with("\xEF\xBB\xBF")) {
    text.remove_prefix(3);
  }
  Nodes items;
  std::string pendingTitle;
  std::size_t start = 0;
  for (std::size_t lines = 0; start <= text.size() && items.size() <= kLargestLibrary; ++lines) {
    if (progress && lines % 1024 == 0) {
      if (progress->cancelled) {
        return {};
      }
      progress->percent = static_cast<int>(start * 100 / std::max<std::size_t>(text.size(), 1));
    }
    std::size_t end = start;
    std::size_t breakLength = 0;
    while (end < text.size() && (breakLength = lineBreakLength(text, end)) == 0) {
      ++end;
    }
    const std::string_view line = trimmedWhitespace(text.substr(start, end - start));
    start = end + (end < text.size() ? breakLength : 1);

    if (line.starts_with("#EXTINF")) {
      const std::size_t comma = line.find(',');
      pendingTitle = comma == std::string_view::npos
                         ? std::string()
                         : validUTF8(prefixOfCharacters(line.substr(comma + 1), kLongestTitle));
      continue;
    }
    if (line.empty() || line.starts_with('#')) {
      continue;
    }
    // A line longer than any playable link is refused before any parsing, so a file of one
    // enormous line costs no more than reading it.
    std::optional<std::string> location;
    if (line.size() <= StreamingProviderRegistry::kLongestLinkText) {
      location = locationURL(line, base);
    }
    if (!location || !resolver.resolve(*location)) {
      pendingTitle.clear();
      continue;
    }
    items.push_back(PlaylistNode::item(std::move(*location), std::move(pendingTitle)));
    pendingTitle.clear();
  }
  return items;
}

Result<PlaylistNode> PlaylistLibrary::importM3U(const std::string& path,
                                                const PlaylistLinkResolver& resolver,
                                                ImportProgress* progress) {
  const std::string cannotRead = formatted(_("Could not read %s."), {displayBaseName(path)});
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<std::size_t>(info.st_size) > kLargestImport) {
    return Result<PlaylistNode>::failure(cannotRead);
  }
  gchar* contents = nullptr;
  gsize length = 0;
  if (!g_file_get_contents(path.c_str(), &contents, &length, nullptr)) {
    return Result<PlaylistNode>::failure(cannotRead);
  }
  std::unique_ptr<char, GFree> owned(contents);
  const std::string_view text(contents, length);
  if (!isValidUTF8(text)) {
    return Result<PlaylistNode>::failure(cannotRead);
  }
  return importM3U(text, path, resolver, progress);
}

Result<PlaylistNode> PlaylistLibrary::importM3U(std::string_view text, const std::string& path,
                                                const PlaylistLinkResolver& resolver,
                                                ImportProgress* progress) {
  std::error_code ignored;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ignored);
  const auto base = Url::fileURL(absolute.parent_path().string());
  const std::string fileName = displayBaseName(path);
  Nodes items = base ? parseM3U(text, *base, resolver, progress) : Nodes();
  if (progress && progress->cancelled) {
    return Result<PlaylistNode>::failure(translated(kImportCancelled));
  }
  if (items.size() > kLargestLibrary) {
    return Result<PlaylistNode>::failure(
        formatted(_("%s lists more than %s videos, more than the playlist holds."),
                  {fileName, countText(kLargestLibrary)}));
  }
  if (items.empty()) {
    return Result<PlaylistNode>::failure(formatted(_("%s has no supported videos."), {fileName}));
  }
  return PlaylistNode::folder(withoutExtension(fileName), std::move(items));
}

std::string PlaylistLibrary::exportMenuTitle(const Nodes& library, std::optional<Uuid> folderID) {
  const PlaylistNode* folder = scopeFolder(library, folderID);
  const std::string scope = folder ? "“" + folder->title() + "”" : std::string("Playlist");
  return "Export " + scope + " as M3U…";
}

std::string PlaylistLibrary::exportFileName(const Nodes& library, std::optional<Uuid> folderID) {
  const PlaylistNode* folder = scopeFolder(library, folderID);
  return (folder ? folder->title() : std::string("Playlist")) + ".m3u";
}

std::optional<std::string> PlaylistLibrary::exportM3U(const Nodes& library,
                                                      std::optional<Uuid> folderID,
                                                      const std::string& path,
                                                      const PlaylistLinkResolver& resolver) {
  const PlaylistNode* folder = scopeFolder(library, folderID);
  const std::string text =
      m3u(folder ? PlaylistTree::items(*folder->children) : PlaylistTree::items(library), resolver);
  GError* error = nullptr;
  // Written to a temporary file and renamed over the target, so a failed export never leaves a
  // half-written playlist in place of the old one.
  if (!g_file_set_contents(path.c_str(), text.data(), static_cast<gssize>(text.size()), &error)) {
    std::string message = formatted(_("Could not export: %s"), {error ? error->message : ""});
    g_clear_error(&error);
    return message;
  }
  return std::nullopt;
}

}  // namespace orvel
