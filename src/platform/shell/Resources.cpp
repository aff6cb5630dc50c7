// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/shell/Resources.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace orvel {

namespace {

// A folder given relative to the folder of the running program.
std::optional<std::filesystem::path> besideProgram(const char* relative) {
  std::error_code error;
  auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) {
    return std::nullopt;
  }
  return (executable.parent_path() / relative).lexically_normal();
}

// An installed program reads its own installation's data folder, found from where it runs so that
// a staged (DESTDIR) or moved installation reads its own files; a program run from its build
// folder has none there and reads the source tree (unless built for a package, which never
// looks there); the data folder it was built for comes last.
std::vector<std::filesystem::path> resourceFolders() {
  std::vector<std::filesystem::path> folders;
  if (auto own = besideProgram(ORVEL_RESOURCE_DIR_FROM_BINARY)) {
    folders.push_back(*own);
  }
#ifdef ORVEL_SOURCE_RESOURCE_DIR
  folders.emplace_back(ORVEL_SOURCE_RESOURCE_DIR);
#endif
  folders.emplace_back(ORVEL_INSTALLED_RESOURCE_DIR);
  return folders;
}

}  // namespace

std::optional<std::string> readResource(const std::string& name) {
  for (const auto& folder : resourceFolders()) {
    std::ifstream file(folder / name, std::ios::binary);
    if (file) {
      std::ostringstream text;
      text << file.rdbuf();
      if (file.good() || file.eof()) {
        return text.str();
      }
    }
  }
  return std::nullopt;
}

std::optional<std::string> resourcePath(const std::string& name) {
  for (const auto& folder : resourceFolders()) {
    std::error_code error;
    if (std::filesystem::exists(folder / name, error)) {
      return (folder / name).string();
    }
  }
  return std::nullopt;
}

std::string localeFolder() {
  std::vector<std::filesystem::path> folders;
  std::error_code error;
  if (auto own = besideProgram(ORVEL_LOCALE_DIR_FROM_BINARY)) {
    folders.push_back(*own);
  }
#ifdef ORVEL_BUILD_LOCALE_DIR
  folders.emplace_back(ORVEL_BUILD_LOCALE_DIR);
#endif
  // A folder counts when it holds a catalogue of this program in any language.
  for (const auto& folder : folders) {
    for (const auto& language : std::filesystem::directory_iterator(folder, error)) {
      if (std::filesystem::exists(language.path() / "LC_MESSAGES" / "orvel-player.mo", error)) {
        return folder.string();
      }
    }
  }
  return ORVEL_INSTALLED_LOCALE_DIR;
}

std::vector<std::string> nativeMediaModulePaths() {
  std::vector<std::string> paths;
  for (const char* relative :
       {ORVEL_MODULE_DIR_FROM_BINARY "/" ORVEL_NATIVE_MEDIA_MODULE, ORVEL_NATIVE_MEDIA_MODULE}) {
    if (auto path = besideProgram(relative)) {
      paths.push_back(path->string());
    }
  }
  paths.emplace_back(ORVEL_INSTALLED_MODULE_DIR "/" ORVEL_NATIVE_MEDIA_MODULE);
  return paths;
}

}  // namespace orvel
