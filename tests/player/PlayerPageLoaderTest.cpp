// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/PlayerPageLoader.h"

#include <gtest/gtest.h>

#include "support/FakeWebEngine.h"
#include "support/ManualMainQueue.h"

namespace orvel {
namespace {

struct LoaderFixture : ::testing::Test {
  ManualMainQueue queue;
  FakeWebEngine web{queue};
  std::optional<std::string> page = "<html>player</html>";
  std::vector<std::pair<std::string, std::optional<double>>> statuses;
  bool youTubeActive = true;
  double volume = 100;
  bool equalizer = false;
  PlayerPageLoader loader{queue, web,
                          PlayerPageLoader::Hooks{
                              .readPlayerPage = [this] { return page; },
                              .setStatusMessage =
                                  [this](const std::string& text, std::optional<double> after) {
                                    statuses.emplace_back(text, after);
                                  },
                              .isYouTubeActive = [this] { return youTubeActive; },
                              .playerVolume = [this] { return volume; },
                              .isEqualizerEnabled = [this] { return equalizer; },
                          }};

  LoaderFixture() {
    web.answer = [](const std::string& script) {
      ScriptResult result;
      if (script == "typeof window.ytLoad") {
        result.stringValue = "function";
      }
      return result;
    };
  }

  // A shell that exists but throws from ytLoad, as a broken page does.
  void failEveryYtLoad() {
    web.answer = [](const std::string& script) {
      ScriptResult result;
      if (script == "typeof window.ytLoad") {
        result.stringValue = "function";
      } else if (script.starts_with("window.ytLoad(")) {
        result.error = "TypeError";
      }
      return result;
    };
  }

  std::size_t shellLoads() const { return web.loads.size(); }
  std::vector<std::string> ytLoads() const { return web.scriptsStartingWith("window.ytLoad("); }
};

TEST_F(LoaderFixture, AShellThatNeverGetsReadyIsRetriedOnceThenReported) {
  loader.loadPlayerPage();
  ASSERT_EQ(shellLoads(), 1u);
  EXPECT_EQ(web.loads[0].baseURL, "https://orvel-player.invalid/");
  queue.advance(11.9);
  EXPECT_EQ(shellLoads(), 1u);
  queue.advance(0.2);
  EXPECT_EQ(shellLoads(), 2u);
  EXPECT_TRUE(loader.isPlayerShellLoading());
  queue.advance(12.1);
  EXPECT_EQ(shellLoads(), 2u);
  EXPECT_FALSE(loader.playerPageLoaded());
  ASSERT_EQ(statuses.size(), 1u);
  EXPECT_EQ(statuses[0].first, PlayerPageLoader::kCouldNotStart);
  EXPECT_EQ(statuses[0].second, 8.0);

  // After a failed retry later loads get none, until a "ready" resets the count.
  loader.ensurePlayerPage();
  queue.advance(12.1);
  EXPECT_EQ(shellLoads(), 3u);
  loader.loadPlayerPage();
  loader.handlePlayerReady();
  EXPECT_EQ(loader.playerShellAttempts(), 0);
  queue.advance(30);
  EXPECT_EQ(shellLoads(), 4u);
}

TEST_F(LoaderFixture, ALoadStillInTimeIsNotRestarted) {
  loader.loadPlayerPage();
  queue.advance(7.9);
  loader.ensurePlayerPage();
  EXPECT_EQ(shellLoads(), 1u);
  queue.advance(1.2);
  loader.ensurePlayerPage();
  EXPECT_EQ(shellLoads(), 2u);
  // The restarted load has a watchdog of its own, 12 seconds from its start.
  queue.advance(11.9);
  EXPECT_EQ(shellLoads(), 2u);
  queue.advance(0.2);
  EXPECT_EQ(shellLoads(), 3u);
}

TEST_F(LoaderFixture, OnlyTheLastQueuedLoadIsSentOnReady) {
  loader.queueYouTubeLoad({"first", 0, true, 0});
  loader.dispatchPendingYouTubeLoad();
  loader.queueYouTubeLoad({"second", 95.7, true, 3});
  loader.dispatchPendingYouTubeLoad();
  EXPECT_EQ(shellLoads(), 1u);
  queue.runUntilIdle();
  EXPECT_TRUE(ytLoads().empty());

  loader.handlePlayerReady();
  queue.runUntilIdle();
  EXPECT_EQ(ytLoads(), std::vector<std::string>{"window.ytLoad(\"second\", 95, true, 3);"});
  EXPECT_FALSE(loader.pendingYouTubeLoad());
}

TEST_F(LoaderFixture, ReadySetsTheVolumeOnlyWhenItIsNotFull) {
  loader.loadPlayerPage();
  loader.handlePlayerReady();
  queue.runUntilIdle();
  EXPECT_TRUE(web.scriptsStartingWith("window.ytSetVolume(").empty());

  volume = 40.8;
  loader.handlePlayerReady();
  queue.runUntilIdle();
  EXPECT_EQ(web.scriptsStartingWith("window.ytSetVolume("),
            std::vector<std::string>{"window.ytSetVolume(40);"});

  // The equalizer applies the volume itself, so the page plays at full volume.
  equalizer = true;
  loader.handlePlayerReady();
  queue.runUntilIdle();
  EXPECT_EQ(web.scriptsStartingWith("window.ytSetVolume(").back(), "window.ytSetVolume(100);");
}

TEST_F(LoaderFixture, AFailingLoadIsQueuedAgainAndTheShellReloaded) {
  loader.loadPlayerPage();
  loader.handlePlayerReady();
  failEveryYtLoad();
  loader.queueYouTubeLoad({"abc", 5, true, 0});
  loader.dispatchPendingYouTubeLoad();
  queue.runUntilIdle();
  ASSERT_EQ(ytLoads().size(), 1u);
  ASSERT_TRUE(loader.pendingYouTubeLoad());
  EXPECT_EQ(loader.pendingYouTubeLoad()->mediaID, "abc");
  EXPECT_EQ(shellLoads(), 2u);
  EXPECT_FALSE(loader.playerReady());
}

TEST_F(LoaderFixture, ANewerLoadIsNotOverwrittenByAnOlderFailure) {
  loader.loadPlayerPage();
  loader.handlePlayerReady();
  failEveryYtLoad();
  loader.queueYouTubeLoad({"old", 0, true, 0});
  loader.flushPendingYouTubeLoad();
  loader.queueYouTubeLoad({"new", 0, true, 0});
  queue.runUntilIdle();
  ASSERT_TRUE(loader.pendingYouTubeLoad());
  EXPECT_EQ(loader.pendingYouTubeLoad()->mediaID, "new");
}

TEST_F(LoaderFixture, AShellWithoutYtLoadIsReloaded) {
  loader.loadPlayerPage();
  loader.handlePlayerReady();
  web.answer = [](const std::string&) {
    ScriptResult result;
    result.stringValue = "undefined";
    return result;
  };
  loader.queueYouTubeLoad({"abc", 0, true, 0});
  loader.dispatchPendingYouTubeLoad();
  queue.runUntilIdle();
  EXPECT_TRUE(ytLoads().empty());
  EXPECT_EQ(shellLoads(), 2u);
  EXPECT_TRUE(loader.pendingYouTubeLoad());
}

TEST_F(LoaderFixture, AMissingPageIsALastingMessage) {
  page.reset();
  loader.loadPlayerPage();
  EXPECT_EQ(shellLoads(), 0u);
  ASSERT_EQ(statuses.size(), 1u);
  EXPECT_EQ(statuses[0].first, "Player page missing");
  EXPECT_FALSE(statuses[0].second);
  queue.advance(60);
  EXPECT_EQ(shellLoads(), 0u);
}

}  // namespace
}  // namespace orvel
