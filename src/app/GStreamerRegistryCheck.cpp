// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/GStreamerRegistryCheck.h"

#include <sstream>

namespace orvel::GStreamerRegistryCheck {
namespace {

namespace fs = std::filesystem;

std::optional<std::string> firstSet(const Environment& environment,
                                    std::initializer_list<const char*> names) {
  for (const char* name : names) {
    if (auto value = environment(name); value && !value->empty()) {
      return value;
    }
  }
  return std::nullopt;
}

void appendList(std::vector<fs::path>& folders, const std::string& list) {
  std::istringstream parts(list);
  for (std::string part; std::getline(parts, part, ':');) {
    if (!part.empty()) {
      folders.emplace_back(part);
    }
  }
}

}  // namespace

std::vector<fs::path> registryFiles(const Environment& environment,
                                    const fs::path& userCacheFolder) {
  if (auto named = firstSet(environment, {"GST_REGISTRY_1_0", "GST_REGISTRY"})) {
    return {fs::path(*named)};
  }
  std::vector<fs::path> files;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(userCacheFolder / "gstreamer-1.0", error)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("registry.") && name.ends_with(".bin")) {
      files.push_back(entry.path());
    }
  }
  return files;
}

std::vector<fs::path> pluginFolders(const Environment& environment,
                                    const fs::path& systemPluginFolder,
                                    const fs::path& userDataFolder) {
  std::vector<fs::path> folders;
  if (auto system =
          firstSet(environment, {"GST_PLUGIN_SYSTEM_PATH_1_0", "GST_PLUGIN_SYSTEM_PATH"})) {
    appendList(folders, *system);
  } else {
    folders.push_back(userDataFolder / "gstreamer-1.0" / "plugins");
    folders.push_back(systemPluginFolder);
  }
  if (auto extra = firstSet(environment, {"GST_PLUGIN_PATH_1_0", "GST_PLUGIN_PATH"})) {
    appendList(folders, *extra);
  }
  return folders;
}

bool isCurrent(const std::vector<fs::path>& registries, const std::vector<fs::path>& plugins) {
  std::optional<fs::file_time_type> newestPlugins;
  for (const fs::path& folder : plugins) {
    std::error_code error;
    const auto changed = fs::last_write_time(folder, error);
    if (!error && (!newestPlugins || changed > *newestPlugins)) {
      newestPlugins = changed;
    }
  }
  for (const fs::path& registry : registries) {
    std::error_code error;
    const auto written = fs::last_write_time(registry, error);
    if (!error && fs::file_size(registry, error) > 0 && !error &&
        (!newestPlugins || written > *newestPlugins)) {
      return true;
    }
  }
  return false;
}

}  // namespace orvel::GStreamerRegistryCheck
