// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/GStreamerRegistryCheck.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "support/TemporaryFolder.h"

namespace orvel {
namespace {

namespace fs = std::filesystem;
using GStreamerRegistryCheck::isCurrent;
using GStreamerRegistryCheck::pluginFolders;
using GStreamerRegistryCheck::registryFiles;

GStreamerRegistryCheck::Environment environmentOf(std::map<std::string, std::string> variables) {
  return [variables](const std::string& name) -> std::optional<std::string> {
    auto found = variables.find(name);
    return found == variables.end() ? std::nullopt : std::optional(found->second);
  };
}

TEST(GStreamerRegistryCheck, ARegistryWrittenAfterThePluginsChangedIsCurrentAndNoOtherIs) {
  const TemporaryFolder folder;
  const fs::path cache = fs::path(folder.path()) / "cache";
  const fs::path plugins = fs::path(folder.path()) / "plugins";
  const fs::path data = fs::path(folder.path()) / "data";
  fs::create_directories(cache / "gstreamer-1.0");
  fs::create_directories(plugins);
  const auto none = environmentOf({});
  // No registry yet: the first start.
  EXPECT_FALSE(isCurrent(registryFiles(none, cache), pluginFolders(none, plugins, data)));

  const fs::path registry = cache / "gstreamer-1.0" / "registry.x86_64.bin";
  std::ofstream(registry) << "registry";
  std::ofstream(cache / "gstreamer-1.0" / "notes.txt") << "other";
  const auto now = fs::last_write_time(registry);
  fs::last_write_time(plugins, now - std::chrono::hours(1));
  EXPECT_EQ(registryFiles(none, cache), std::vector<fs::path>{registry});
  EXPECT_TRUE(isCurrent(registryFiles(none, cache), pluginFolders(none, plugins, data)));

  // A plugin installed since, in the system's folder or in one the user's variables add.
  fs::last_write_time(plugins, now + std::chrono::seconds(5));
  EXPECT_FALSE(isCurrent(registryFiles(none, cache), pluginFolders(none, plugins, data)));
  fs::last_write_time(plugins, now - std::chrono::hours(1));
  const fs::path mine = fs::path(folder.path()) / "mine";
  fs::create_directories(mine);
  fs::last_write_time(mine, now + std::chrono::seconds(5));
  const auto withMine = environmentOf({{"GST_PLUGIN_PATH", mine.string() + ":"}});
  const fs::path ownPlugins = data / "gstreamer-1.0" / "plugins";
  EXPECT_EQ(pluginFolders(withMine, plugins, data),
            (std::vector<fs::path>{ownPlugins, plugins, mine}));
  EXPECT_FALSE(isCurrent(registryFiles(none, cache), pluginFolders(withMine, plugins, data)));
  // Or one dropped in the user's own plugin folder.
  fs::create_directories(ownPlugins);
  fs::last_write_time(ownPlugins, now + std::chrono::seconds(5));
  EXPECT_FALSE(isCurrent(registryFiles(none, cache), pluginFolders(none, plugins, data)));
  fs::last_write_time(ownPlugins, now - std::chrono::hours(1));

  // The variables name another registry and other system folders instead.
  const auto elsewhere = environmentOf({{"GST_REGISTRY_1_0", (cache / "other.bin").string()},
                                        {"GST_PLUGIN_SYSTEM_PATH", mine.string()}});
  EXPECT_EQ(registryFiles(elsewhere, cache), std::vector<fs::path>{cache / "other.bin"});
  EXPECT_EQ(pluginFolders(elsewhere, plugins, data), std::vector<fs::path>{mine});
  EXPECT_FALSE(isCurrent(registryFiles(elsewhere, cache), pluginFolders(none, plugins, data)));
  // An empty file is no registry.
  std::ofstream(registry, std::ios::trunc).flush();
  EXPECT_FALSE(isCurrent(registryFiles(none, cache), pluginFolders(none, plugins, data)));
}

}  // namespace
}  // namespace orvel
