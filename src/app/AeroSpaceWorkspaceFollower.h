// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Cancellable.h"
#include "core/MainQueue.h"

namespace orvel {

// Which window is the player, for the follower: written on the main thread, read on the
// follower's queue.
class PlayerWindowRegistry {
 public:
  static PlayerWindowRegistry& shared();

  // Numbers of 0 or below are no window.
  void registerWindow(std::int64_t number) {
    if (number > 0) {
      number_.store(number);
    }
  }
  void clear() { number_.store(0); }
  std::optional<std::int64_t> playerWindowNumber() const {
    const std::int64_t number = number_.load();
    return number > 0 ? std::optional(number) : std::nullopt;
  }

 private:
  std::atomic<std::int64_t> number_{0};
};

// AeroSpace's command-line client, as the follower uses it.
class AeroSpaceClient {
 public:
  struct Output {
    int status = -1;
    std::string text;
  };
  virtual ~AeroSpaceClient() = default;

  // The client exists and the window manager runs.
  virtual bool isAvailable() = 0;
  // Runs a short command to its end; status -1 when it could not run.
  virtual Output run(const std::vector<std::string>& arguments) = 0;
  // Starts the long-running subscription. Its output arrives in pieces through `onData` and its
  // end through `onExit`, both on any thread. `onData` returns false when more output would
  // change nothing for now: the client then waits a moment before it reads on, so that a client
  // that floods is slowed down instead of read flat out. False when it could not start.
  virtual bool subscribe(const std::vector<std::string>& arguments,
                         std::function<bool(std::string)> onData, std::function<void()> onExit) = 0;
  // Ends the subscription; `onExit` is not called for it.
  virtual void unsubscribe() = 0;
};

// Keeps the player window on the workspace that is visible on its monitor, under the AeroSpace
// tiling window manager: a subscription to workspace focus changes, each burst of them followed
// by one check of where the window is and, when it was left behind, a move. All its state lives
// on its own serial queue, but for the inbox the client's reader fills: whatever the client
// prints, the queue holds at most one task for it, and the inbox at most one unfinished line.
class AeroSpaceWorkspaceFollower {
 public:
  static constexpr double kInitialRestartDelay = 2.0;
  static constexpr double kMaxRestartDelay = 30.0;
  static constexpr double kEventDelay = 0.15;
  // Events that never pause still get a check this long after the first of them.
  static constexpr double kLongestEventWait = 1.0;
  static constexpr double kReconcileNowDelay = 0.2;
  static constexpr double kLaunchReconcileDelay = 0.4;
  static constexpr std::size_t kMaxLineBytes = 1024 * 1024;

  struct WindowSnapshot {
    std::string monitorID;
    std::string workspace;
  };

  AeroSpaceWorkspaceFollower(MainQueue& queue, AeroSpaceClient& client,
                             const PlayerWindowRegistry& registry, std::int64_t processID);
  ~AeroSpaceWorkspaceFollower();
  AeroSpaceWorkspaceFollower(const AeroSpaceWorkspaceFollower&) = delete;
  AeroSpaceWorkspaceFollower& operator=(const AeroSpaceWorkspaceFollower&) = delete;

  // From any thread; they post to the queue.
  void start();
  void reconcileNow();
  // On the queue. The caller hands it over to the queue (see `stopAndWait`) or is on it.
  void stop();

  // Subscription output as the client hands it over, on any thread. False once an event waits
  // for the queue: until it has looked, more output changes nothing.
  bool consume(std::string_view data);

  // The plain rules, for tests.
  static bool isWorkspaceChangeEvent(std::string_view line);
  static std::optional<WindowSnapshot> snapshot(std::string_view listWindowsOutput,
                                                std::int64_t windowNumber);
  static std::optional<std::string> visibleWorkspace(std::string_view listWorkspacesOutput);
  static std::vector<std::string> listWindowsArguments(std::int64_t processID);

  // For tests: what it is doing.
  bool wantsFollowing() const { return wantsFollowing_; }
  bool isSubscribed() const { return subscribed_; }
  double restartDelay() const { return restartDelay_; }

 private:
  void launch();
  void takeInbox();
  void subscriptionEnded();
  // A client that floods is dropped and tried again later, as one that exited.
  void dropFloodingClient();
  void scheduleRestart();
  void scheduleReconcile(double delay);
  void reconcile();

  MainQueue& queue_;
  AeroSpaceClient& client_;
  const PlayerWindowRegistry& registry_;
  std::int64_t processID_;
  bool subscribed_ = false;
  double subscribedAt_ = 0;
  // When the first event not yet followed by a check came.
  std::optional<double> firstWaitingEvent_;
  struct Inbox {
    std::mutex mutex;
    std::string partialLine;
    bool eventSeen = false;
    bool taskPosted = false;
    // The client went on past the longest line without ending it.
    bool flooded = false;
  };
  std::shared_ptr<Inbox> inbox_ = std::make_shared<Inbox>();
  TaskHandle pendingReconcile_;
  TaskHandle pendingRestart_;
  double restartDelay_ = kInitialRestartDelay;
  bool wantsFollowing_ = false;
  // Counts subscriptions, so that the end of an old one is not taken for the current one's.
  std::uint64_t generation_ = 0;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace orvel
