// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/system/SubprocessAeroSpaceClient.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/system/SerialQueue.h"
#include "support/TemporaryFolder.h"

namespace orvel {
namespace {

// A stand-in for AeroSpace's client: a shell script that logs its arguments.
std::string standIn(const TemporaryFolder& folder, const std::string& body) {
  const std::string path = folder.file("aerospace");
  std::ofstream(path) << "#!/bin/sh\necho \"$*\" >> '" << folder.file("calls.log") << "'\n" << body;
  ::chmod(path.c_str(), 0755);
  return path;
}

std::string readAll(const std::string& path) {
  std::stringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

bool waitFor(const std::function<bool()>& done, double seconds = 10) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return done();
}

// The follower on its own queue, following the player window 42 through the client.
class Following {
 public:
  explicit Following(AeroSpaceClient& client) {
    registry_.registerWindow(42);
    queue_.runAndWait([&] { follower_.emplace(queue_, client, registry_, 4242); });
    follower_->start();
  }
  ~Following() {
    if (follower_) {
      stop();
    }
  }
  Following(const Following&) = delete;
  Following& operator=(const Following&) = delete;
  // Stops and ends the follower from its own queue, as the shell does; says how long it took.
  std::chrono::steady_clock::duration stop() {
    const auto before = std::chrono::steady_clock::now();
    queue_.runAndWait([&] {
      follower_->stop();
      follower_.reset();
    });
    return std::chrono::steady_clock::now() - before;
  }

 private:
  PlayerWindowRegistry registry_;
  SerialQueue queue_;
  std::optional<AeroSpaceWorkspaceFollower> follower_;
};

TEST(SubprocessAeroSpaceClient, TheFollowerMovesTheWindowWhenTheStandInReportsAChange) {
  TemporaryFolder folder;
  const std::string client = standIn(folder, R"(case "$1" in
  subscribe) printf '{"_event":"focused-wor'; sleep 0.3
             printf 'kspace-changed","workspace":"2"}\n'; sleep 30;;
  list-windows) printf '41\tmain\t1\n42\tmain\t1\n';;
  list-workspaces) echo 2;;
esac
)");
  SubprocessAeroSpaceClient aerospace(
      {folder.file("missing"), client}, [] { return true; }, 2);
  ASSERT_TRUE(aerospace.isAvailable());
  Following following(aerospace);
  EXPECT_TRUE(waitFor([&] {
    return readAll(folder.file("calls.log"))
               .find("move-node-to-workspace --window-id 42 --fail-if-noop -- 2") !=
           std::string::npos;
  })) << readAll(folder.file("calls.log"));
  EXPECT_NE(readAll(folder.file("calls.log")).find("list-windows --monitor all --pid 4242"),
            std::string::npos);
  // Stopped from its own queue, the subscription ends without waiting for the client's 30 s.
  EXPECT_LT(following.stop(), std::chrono::seconds(20));
}

// A client that prints events as fast as it can: the window is still moved, and stopping does
// not wait behind what it printed.
TEST(SubprocessAeroSpaceClient, AFloodingSubscriptionIsReadWithBackPressure) {
  TemporaryFolder folder;
  const std::string client = standIn(folder, R"(case "$1" in
  subscribe) exec yes '{"_event":"focused-workspace-changed","workspace":"2"}';;
  list-windows) printf '42\tmain\t1\n';;
  list-workspaces) echo 2;;
esac
)");
  SubprocessAeroSpaceClient aerospace(
      {client}, [] { return true; }, 2);
  Following following(aerospace);
  auto moves = [&] {
    const std::string calls = readAll(folder.file("calls.log"));
    std::size_t count = 0;
    for (std::size_t at = 0; (at = calls.find("move-node-to-workspace", at)) != std::string::npos;
         ++at) {
      ++count;
    }
    return count;
  };
  // The first check follows the launch; later ones follow the events, which never pause.
  EXPECT_TRUE(waitFor([&] { return moves() >= 3; }, 60)) << readAll(folder.file("calls.log"));
  EXPECT_LT(following.stop(), std::chrono::seconds(20));
}

TEST(SubprocessAeroSpaceClient, HangingTalkativeAndMissingClientsFailWithoutHanging) {
  TemporaryFolder folder;
  const std::string client = standIn(folder, R"(case "$1" in
  list-windows) sleep 30;;
  list-workspaces) yes garbage;;
  *) exit 3;;
esac
)");
  SubprocessAeroSpaceClient aerospace(
      {client}, [] { return true; }, 0.5);
  const auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(aerospace.run({"list-windows"}).status, -1);
  EXPECT_EQ(aerospace.run({"list-workspaces"}).status, -1);
  const auto other = aerospace.run({"move-node-to-workspace"});
  EXPECT_EQ(other.status, 3);
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(20));

  // A subscription that ends at once is reported as ended.
  bool ended = false;
  ASSERT_TRUE(aerospace.subscribe(
      {"subscribe"}, [](std::string) { return true; }, [&] { ended = true; }));
  EXPECT_TRUE(waitFor([&] { return ended; }));

  SubprocessAeroSpaceClient missing({folder.file("nothing-here")}, [] { return true; });
  EXPECT_FALSE(missing.isAvailable());
  EXPECT_EQ(missing.run({"list-windows"}).status, -1);
  EXPECT_FALSE(missing.subscribe(
      {"subscribe"}, [](std::string) { return true; }, [] {}));
  SubprocessAeroSpaceClient notRunning({client}, [] { return false; });
  EXPECT_FALSE(notRunning.isAvailable());
}

}  // namespace
}  // namespace orvel
