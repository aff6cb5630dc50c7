// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/SqliteDefaults.h"
#include "settings/AppSettings.h"
#include "support/TemporaryFolder.h"

namespace orvel {
namespace {

// A player killed outright right after a playback was recorded keeps the record and the
// tombstones: every change is committed before control returns.
TEST(AppSettingsDurability, ARecordSurvivesTheProcessBeingKilled) {
  TemporaryFolder folder;
  const std::string path = folder.file("defaults.sqlite3");
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    auto defaults = SqliteDefaults::open(path);
    NotificationCenter center;
    AppSettings settings(*defaults, center);
    settings.recordRecentVideo("gone", "Gone", 3, std::nullopt);
    settings.removeRecentVideo("gone");
    settings.recordRecentVideo("dQw4w9WgXcQ", "Song", 42.5, "https://youtu.be/dQw4w9WgXcQ");
    const char done = 1;
    (void)!write(ready[1], &done, 1);
    pause();
    _exit(0);
  }
  close(ready[1]);
  char done = 0;
  ASSERT_EQ(read(ready[0], &done, 1), 1);
  close(ready[0]);
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));

  auto defaults = SqliteDefaults::open(path);
  NotificationCenter center;
  AppSettings settings(*defaults, center);
  ASSERT_EQ(settings.recentVideos().size(), 1u);
  EXPECT_EQ(settings.recentVideos()[0].videoID, "dQw4w9WgXcQ");
  EXPECT_EQ(settings.recentVideos()[0].lastPosition, 42.5);
  EXPECT_EQ(settings.watchHistoryVideos().size(), 2u);
  EXPECT_EQ(settings.deletedRecentVideoIDs(), (std::set<std::string>{"gone"}));
  EXPECT_EQ(settings.deletedWatchHistoryVideoIDs(), (std::set<std::string>{}));
}

}  // namespace
}  // namespace orvel
