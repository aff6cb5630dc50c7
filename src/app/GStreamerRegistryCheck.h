// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orvel {

// Whether the web engine's media framework (GStreamer) will find its plugin registry written
// already: then its content process reads the registry in a few milliseconds, and the player has
// nothing to ready for it at start; otherwise that process would scan every plugin first.
namespace GStreamerRegistryCheck {

// An environment variable's value, when set.
using Environment = std::function<std::optional<std::string>(const std::string& name)>;

// The registry files GStreamer may read: the one its variables name, else those in its folder of
// the user's cache ("registry.<architecture>.bin").
std::vector<std::filesystem::path> registryFiles(const Environment& environment,
                                                 const std::filesystem::path& userCacheFolder);
// The plugin folders GStreamer scans: its variables' lists, else the system's folder and the
// user's own (in the user's data folder), with the user's own plugin paths.
std::vector<std::filesystem::path> pluginFolders(const Environment& environment,
                                                 const std::filesystem::path& systemPluginFolder,
                                                 const std::filesystem::path& userDataFolder);
// True when one of the registries was written after every existing plugin folder last changed
// (installing, removing or upgrading a plugin changes its folder).
bool isCurrent(const std::vector<std::filesystem::path>& registries,
               const std::vector<std::filesystem::path>& plugins);

}  // namespace GStreamerRegistryCheck
}  // namespace orvel
