// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/SubtitleFile.h"

#include <glib.h>
#include <sys/stat.h>

#include <array>
#include <fstream>
#include <memory>

#include "core/Text.h"
#include "core/Translation.h"

namespace orvel::SubtitleFile {
namespace {

// The file's name as a person reads it, whatever bytes it holds.
std::string shownName(const std::string& path) {
  std::unique_ptr<gchar, decltype(&g_free)> name(g_filename_display_basename(path.c_str()),
                                                 &g_free);
  std::string shown = name ? name.get() : path;
  std::string printable;
  for (const char c : shown) {
    printable += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
  }
  return std::string(prefixOfCharacters(printable, 200));
}

}  // namespace

bool hasSubtitleExtension(std::string_view path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos) {
    return false;
  }
  const std::string extension = asciiLowercased(path.substr(dot + 1));
  static constexpr std::array<std::string_view, 4> kExtensions = {"srt", "ass", "ssa", "vtt"};
  for (std::string_view known : kExtensions) {
    if (extension == known) {
      return true;
    }
  }
  return false;
}

std::optional<std::string> problem(const std::string& path) {
  const std::string name = shownName(path);
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return formatted(_("%s could not be read."), {name});
  }
  if (static_cast<std::size_t>(info.st_size) > kLargest) {
    return formatted(_("%s is too large to be subtitles."), {name});
  }
  std::ifstream file(path, std::ios::binary);
  std::string start(64 * 1024, '\0');
  file.read(start.data(), static_cast<std::streamsize>(start.size()));
  start.resize(static_cast<std::size_t>(file.gcount()));
  if (!file && !file.eof()) {
    return formatted(_("%s could not be read."), {name});
  }
  const bool utf16 = start.starts_with("\xFF\xFE") || start.starts_with("\xFE\xFF");
  if (!utf16 && start.find('\0') != std::string::npos) {
    return formatted(_("%s is not a subtitle file."), {name});
  }
  return std::nullopt;
}

std::string noSubtitlesMessage(const std::string& path) {
  return formatted(_("%s holds no subtitles."), {shownName(path)});
}

}  // namespace orvel::SubtitleFile
