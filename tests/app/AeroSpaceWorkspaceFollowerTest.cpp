// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/AeroSpaceWorkspaceFollower.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "support/ManualMainQueue.h"

namespace orvel {
namespace {

using Follower = AeroSpaceWorkspaceFollower;

// The client as the follower sees it, answering from a script and recording every command.
class FakeClient final : public AeroSpaceClient {
 public:
  bool isAvailable() override {
    availabilityChecks.push_back(queue ? queue->now() : 0);
    return available;
  }
  Output run(const std::vector<std::string>& arguments) override {
    commands.push_back(arguments);
    auto answer = answers.find(arguments.front());
    return answer == answers.end() ? Output{} : answer->second;
  }
  bool subscribe(const std::vector<std::string>& arguments, std::function<bool(std::string)> data,
                 std::function<void()> exit) override {
    subscriptions.push_back(arguments);
    subscribedAt.push_back(queue ? queue->now() : 0);
    onData = std::move(data);
    onExit = std::move(exit);
    return true;
  }
  void unsubscribe() override { ++unsubscribed; }

  std::vector<std::string> commandNames() const {
    std::vector<std::string> names;
    for (const auto& command : commands) {
      names.push_back(command.front());
    }
    return names;
  }

  ManualMainQueue* queue = nullptr;
  bool available = true;
  std::vector<double> availabilityChecks;
  std::map<std::string, Output> answers;
  std::vector<std::vector<std::string>> commands;
  std::vector<std::vector<std::string>> subscriptions;
  std::vector<double> subscribedAt;
  std::function<bool(std::string)> onData;
  std::function<void()> onExit;
  int unsubscribed = 0;
};

struct Rig {
  Rig() {
    client.queue = &queue;
    registry.registerWindow(456);
    client.answers["list-windows"] = {0, "123\t1\t3\n456\t2\t5\n"};
    client.answers["list-workspaces"] = {0, "\n  7 \n"};
    client.answers["move-node-to-workspace"] = {0, ""};
  }
  ManualMainQueue queue;
  FakeClient client;
  PlayerWindowRegistry registry;
  Follower follower{queue, client, registry, 4242};
};

TEST(AeroSpaceWorkspaceFollower, TheRulesForLinesWindowsAndWorkspaces) {
  EXPECT_TRUE(Follower::isWorkspaceChangeEvent(
      R"(  {"_event":"focused-workspace-changed","workspace":"3","prevWorkspace":"2"})"
      "\n"));
  EXPECT_FALSE(Follower::isWorkspaceChangeEvent(R"({"_event":"focus-changed"})"));
  EXPECT_FALSE(Follower::isWorkspaceChangeEvent(R"({"_event":7})"));
  EXPECT_FALSE(Follower::isWorkspaceChangeEvent(R"(["focused-workspace-changed"])"));
  EXPECT_FALSE(Follower::isWorkspaceChangeEvent("{\"_event\":"));
  EXPECT_FALSE(Follower::isWorkspaceChangeEvent(" \t"));

  const auto where = Follower::snapshot("123\t1\t3\n456\t2\t5\n", 456);
  ASSERT_TRUE(where);
  EXPECT_EQ(where->monitorID, "2");
  EXPECT_EQ(where->workspace, "5");
  EXPECT_FALSE(Follower::snapshot("456\t2\t\n456\t2\t5\n", 456));
  EXPECT_FALSE(Follower::snapshot("4567\t2\t5\n456\t2\n", 456));
  EXPECT_EQ(Follower::snapshot(" 456 \t 2 \t web \textra", 456)->workspace, "web");
  EXPECT_EQ(Follower::visibleWorkspace("\n \n 9 \n8"), "9");
  EXPECT_FALSE(Follower::visibleWorkspace("\n  \n"));
  EXPECT_EQ(Follower::listWindowsArguments(77).back(), "%{window-id}\t%{monitor-id}\t%{workspace}");
}

TEST(AeroSpaceWorkspaceFollower, AnEventSplitAcrossReadsLeadsToOneReconcileAndOneMove) {
  Rig rig;
  rig.follower.start();
  rig.follower.start();
  rig.queue.runUntilIdle();
  ASSERT_EQ(rig.client.subscriptions.size(), 1u);
  EXPECT_EQ(
      rig.client.subscriptions[0],
      (std::vector<std::string>{"subscribe", "focused-workspace-changed", "--no-send-initial"}));
  // The check that follows the launch.
  rig.queue.advance(0.4);
  EXPECT_EQ(rig.client.commandNames(), (std::vector<std::string>{"list-windows", "list-workspaces",
                                                                 "move-node-to-workspace"}));
  EXPECT_EQ(rig.client.commands[1][2], "2");
  EXPECT_EQ(rig.client.commands.back(),
            (std::vector<std::string>{"move-node-to-workspace", "--window-id", "456",
                                      "--fail-if-noop", "--", "7"}));
  rig.client.commands.clear();

  rig.client.onData(R"({"_event":"focused-wor)");
  rig.queue.advance(1);
  EXPECT_TRUE(rig.client.commands.empty());
  rig.client.onData("kspace-changed\"}\n{\"_event\":\"other\"}\n");
  rig.client.onData("{\"_event\":\"focused-workspace-changed\"}\n");
  rig.queue.advance(0.1);
  EXPECT_TRUE(rig.client.commands.empty());
  // A burst makes one check, 0.15 s after its last event; the window is where it should be.
  rig.client.answers["list-workspaces"] = {0, "5\n"};
  rig.queue.advance(0.1);
  EXPECT_EQ(rig.client.commandNames(),
            (std::vector<std::string>{"list-windows", "list-workspaces"}));
}

TEST(AeroSpaceWorkspaceFollower, FailedLaunchesWaitLongerEachTimeUpToThirtySeconds) {
  Rig rig;
  rig.client.available = false;
  rig.follower.start();
  rig.queue.advance(200);
  ASSERT_GE(rig.client.availabilityChecks.size(), 8u);
  std::vector<double> waits;
  for (std::size_t index = 1; index < 8; ++index) {
    waits.push_back(rig.client.availabilityChecks[index] -
                    rig.client.availabilityChecks[index - 1]);
  }
  EXPECT_EQ(waits, (std::vector<double>{2, 4, 8, 16, 30, 30, 30}));

  // A subscription that ran a good while is restarted after 2 s again.
  rig.client.available = true;
  rig.queue.advance(30);
  ASSERT_EQ(rig.client.subscriptions.size(), 1u);
  rig.queue.advance(30);
  rig.client.onExit();
  rig.queue.advance(1.9);
  EXPECT_EQ(rig.client.subscriptions.size(), 1u);
  rig.queue.advance(0.2);
  EXPECT_EQ(rig.client.subscriptions.size(), 2u);
}

// A client that starts and exits at once is not respawned every 2 s for ever.
TEST(AeroSpaceWorkspaceFollower, AClientThatExitsAtOnceIsTriedLessAndLessOften) {
  Rig rig;
  rig.follower.start();
  rig.queue.runUntilIdle();
  for (int exits = 0; exits < 6; ++exits) {
    const std::size_t started = rig.client.subscriptions.size();
    rig.client.onExit();
    while (rig.client.subscriptions.size() == started && rig.queue.now() < 1000) {
      rig.queue.advance(0.5);
    }
  }
  ASSERT_EQ(rig.client.subscribedAt.size(), 7u);
  std::vector<double> waits;
  for (std::size_t index = 1; index < 7; ++index) {
    waits.push_back(rig.client.subscribedAt[index] - rig.client.subscribedAt[index - 1]);
  }
  EXPECT_EQ(waits, (std::vector<double>{2, 4, 8, 16, 30, 30}));
}

// A client that prints events as fast as it can leaves one task on the queue, is told to slow
// down, and the window is still checked while the events never pause.
TEST(AeroSpaceWorkspaceFollower, AFloodOfEventsIsCoalescedAndStillChecked) {
  Rig rig;
  rig.follower.start();
  rig.queue.advance(1);
  rig.client.commands.clear();
  const std::string event = "{\"_event\":\"focused-workspace-changed\"}\n";
  EXPECT_TRUE(rig.client.onData("\n\n"));
  EXPECT_FALSE(rig.client.onData(event + "{\"_event\":\"other\"}\n"));
  const std::size_t pending = rig.queue.pendingCount();
  for (int piece = 0; piece < 10000; ++piece) {
    EXPECT_FALSE(rig.client.onData(event + event + R"({"_event":"focu)"));
  }
  EXPECT_EQ(rig.queue.pendingCount(), pending);
  rig.queue.advance(0.2);
  EXPECT_EQ(rig.client.commandNames(), (std::vector<std::string>{"list-windows", "list-workspaces",
                                                                 "move-node-to-workspace"}));

  rig.client.commands.clear();
  for (int tick = 0; tick < 30; ++tick) {
    rig.client.onData(event);
    rig.queue.advance(0.1);
  }
  const auto names = rig.client.commandNames();
  EXPECT_GE(std::count(names.begin(), names.end(), "list-windows"), 2);
}

TEST(AeroSpaceWorkspaceFollower, StopEndsEverythingAndWithoutAWindowNothingRuns) {
  Rig rig;
  rig.follower.start();
  rig.queue.runUntilIdle();
  rig.client.onData("{\"_event\":\"focused-workspace-changed\"}\n");
  rig.queue.runUntilIdle();
  // Stopped from its own queue, as the shell's hand-over runs it.
  rig.queue.post([&] { rig.follower.stop(); });
  rig.queue.advance(60);
  EXPECT_EQ(rig.client.unsubscribed, 1);
  EXPECT_TRUE(rig.client.commands.empty());
  EXPECT_FALSE(rig.follower.wantsFollowing());
  // A late end of the old subscription starts nothing.
  rig.client.onExit();
  rig.queue.advance(60);
  EXPECT_EQ(rig.client.subscriptions.size(), 1u);

  rig.registry.clear();
  rig.follower.start();
  rig.follower.reconcileNow();
  rig.queue.advance(1);
  EXPECT_TRUE(rig.client.commands.empty());
  // Endless output without a newline is neither kept nor read on: the client that sends it is
  // dropped, and the one started after the usual wait is heard.
  const std::size_t subscriptions = rig.client.subscriptions.size();
  EXPECT_FALSE(rig.follower.consume(std::string(Follower::kMaxLineBytes + 1, 'x')));
  EXPECT_FALSE(rig.follower.consume("{\"_event\":\"focused-workspace-changed\"}\n"));
  rig.queue.advance(0.1);
  EXPECT_EQ(rig.client.unsubscribed, 2);
  rig.queue.advance(Follower::kInitialRestartDelay);
  EXPECT_EQ(rig.client.subscriptions.size(), subscriptions + 1);
  rig.follower.consume("{\"_event\":\"focused-workspace-changed\"}\n");
  rig.registry.registerWindow(456);
  rig.queue.advance(0.2);
  ASSERT_FALSE(rig.client.commandNames().empty());
  EXPECT_EQ(rig.client.commandNames().front(), "list-windows");
}

}  // namespace
}  // namespace orvel
