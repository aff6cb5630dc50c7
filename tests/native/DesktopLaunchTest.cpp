// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/system/DesktopLaunch.h"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/LogCapture.h"
#include "support/TemporaryFolder.h"

namespace orvel {
namespace {

std::string contents(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// The desktop's default program for "x-orvel-test:" links, in a desktop of the test's own,
// writes the environment and the arguments it was started with.
TEST(DesktopLaunch, OpenedProgramsKeepThePlayersOwnSettingsOutAndFailuresAreLogged) {
  TemporaryFolder folder;
  const std::string applications = folder.file("data/applications");
  std::filesystem::create_directories(applications);
  std::filesystem::create_directories(folder.file("config"));
  const std::string handler = folder.file("handler.sh");
  std::ofstream(handler) << "#!/bin/sh\nenv > '" << folder.file("env.txt")
                         << ".part'\necho \"$1\" >> '" << folder.file("env.txt") << ".part'\nmv '"
                         << folder.file("env.txt") << ".part' '" << folder.file("env.txt") << "'\n";
  ::chmod(handler.c_str(), 0755);
  std::ofstream(applications + "/orvel-test-handler.desktop")
      << "[Desktop Entry]\nType=Application\nName=Handler\nExec=" << handler
      << " %u\nMimeType=x-scheme-handler/x-orvel-test;\n";
  std::ofstream(folder.file("config/mimeapps.list"))
      << "[Default Applications]\nx-scheme-handler/x-orvel-test=orvel-test-handler.desktop\n";
  g_setenv("XDG_DATA_HOME", folder.file("data").c_str(), TRUE);
  g_setenv("XDG_DATA_DIRS", folder.file("data").c_str(), TRUE);
  g_setenv("XDG_CONFIG_HOME", folder.file("config").c_str(), TRUE);
  g_setenv("ORVEL_TEST_INHERITED", "passed on", TRUE);
  setOwnEnvironmentVariable("ORVEL_TEST_OWN", "kept");

  LogCapture log;
  openWithDesktop("x-orvel-test:hello");
  openWithDesktop("x-orvel-nobody:hello");
  // The loop waits for events, woken now and then to look at the folder.
  const guint tick = g_timeout_add(
      20, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while ((!std::filesystem::exists(folder.file("env.txt")) || log.lines.empty()) &&
         std::chrono::steady_clock::now() < deadline) {
    g_main_context_iteration(nullptr, TRUE);
  }
  g_source_remove(tick);
  const std::string started = contents(folder.file("env.txt"));
  EXPECT_NE(started.find("x-orvel-test:hello"), std::string::npos) << started;
  EXPECT_NE(started.find("ORVEL_TEST_INHERITED=passed on"), std::string::npos) << started;
  EXPECT_EQ(started.find("ORVEL_TEST_OWN"), std::string::npos) << started;
  EXPECT_STREQ(g_getenv("ORVEL_TEST_OWN"), "kept");
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_NE(log.lines[0].find("Could not open x-orvel-nobody:hello"), std::string::npos)
      << log.lines[0];
}

}  // namespace
}  // namespace orvel
