// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/AeroSpaceWorkspaceFollower.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <utility>

#include "core/Log.h"
#include "core/Text.h"

namespace orvel {
namespace {

std::string_view trimmedSpaces(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string_view trimmedWhitespaceAndNewlines(std::string_view text) {
  constexpr std::string_view kBlank = " \t\r\n\v\f";
  const auto first = text.find_first_not_of(kBlank);
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(kBlank) - first + 1);
}

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (true) {
    const auto end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) {
      return parts;
    }
    start = end + 1;
  }
}

}  // namespace

PlayerWindowRegistry& PlayerWindowRegistry::shared() {
  static PlayerWindowRegistry registry;
  return registry;
}

AeroSpaceWorkspaceFollower::AeroSpaceWorkspaceFollower(MainQueue& queue, AeroSpaceClient& client,
                                                       const PlayerWindowRegistry& registry,
                                                       std::int64_t processID)
    : queue_(queue), client_(client), registry_(registry), processID_(processID) {}

AeroSpaceWorkspaceFollower::~AeroSpaceWorkspaceFollower() {
  *alive_ = false;
}

void AeroSpaceWorkspaceFollower::start() {
  queue_.post([this, alive = std::weak_ptr<bool>(alive_)] {
    if (alive.expired() || wantsFollowing_) {
      return;
    }
    wantsFollowing_ = true;
    restartDelay_ = kInitialRestartDelay;
    launch();
  });
}

void AeroSpaceWorkspaceFollower::reconcileNow() {
  queue_.post([this, alive = std::weak_ptr<bool>(alive_)] {
    if (!alive.expired()) {
      scheduleReconcile(kReconcileNowDelay);
    }
  });
}

void AeroSpaceWorkspaceFollower::stop() {
  wantsFollowing_ = false;
  pendingRestart_.cancel();
  pendingReconcile_.cancel();
  firstWaitingEvent_.reset();
  if (subscribed_) {
    ++generation_;
    client_.unsubscribe();
    subscribed_ = false;
  }
  std::lock_guard lock(inbox_->mutex);
  inbox_->partialLine.clear();
  inbox_->eventSeen = false;
}

void AeroSpaceWorkspaceFollower::launch() {
  if (!wantsFollowing_) {
    return;
  }
  if (!client_.isAvailable()) {
    scheduleRestart();
    return;
  }
  const std::uint64_t generation = ++generation_;
  std::weak_ptr<bool> alive = alive_;
  const bool started = client_.subscribe(
      {"subscribe", "focused-workspace-changed", "--no-send-initial"},
      [this](std::string data) { return consume(data); },
      [this, alive, generation] {
        queue_.post([this, alive, generation] {
          if (!alive.expired() && generation == generation_) {
            subscriptionEnded();
          }
        });
      });
  if (!started) {
    scheduleRestart();
    return;
  }
  subscribed_ = true;
  subscribedAt_ = queue_.now();
  scheduleReconcile(kLaunchReconcileDelay);
}

void AeroSpaceWorkspaceFollower::subscriptionEnded() {
  subscribed_ = false;
  {
    std::lock_guard lock(inbox_->mutex);
    inbox_->partialLine.clear();
  }
  // Only a subscription that ran a good while earns a quick restart: a client that exits at
  // once is tried again less and less often.
  if (queue_.now() - subscribedAt_ >= kMaxRestartDelay) {
    restartDelay_ = kInitialRestartDelay;
  }
  if (wantsFollowing_) {
    scheduleRestart();
  }
}

bool AeroSpaceWorkspaceFollower::consume(std::string_view data) {
  Inbox& inbox = *inbox_;
  std::lock_guard lock(inbox.mutex);
  while (!data.empty()) {
    const std::size_t newline = data.find('\n');
    if (newline == std::string_view::npos) {
      // A client that talks without ever ending a line is not kept in memory, nor read on: it is
      // dropped, and tried again after a while.
      inbox.partialLine.append(data);
      if (inbox.partialLine.size() > kMaxLineBytes) {
        inbox.partialLine.clear();
        if (!std::exchange(inbox.flooded, true)) {
          queue_.post([this, alive = std::weak_ptr<bool>(alive_)] {
            if (!alive.expired()) {
              dropFloodingClient();
            }
          });
        }
      }
      break;
    }
    if (inbox.eventSeen) {
      // One event waiting is as good as many: the lines are only counted out.
      inbox.partialLine.clear();
      data.remove_prefix(data.rfind('\n') + 1);
      continue;
    }
    inbox.partialLine.append(data.substr(0, newline));
    data.remove_prefix(newline + 1);
    inbox.eventSeen = inbox.partialLine.size() <= kMaxLineBytes && isValidUTF8(inbox.partialLine) &&
                      isWorkspaceChangeEvent(inbox.partialLine);
    inbox.partialLine.clear();
  }
  if (inbox.flooded) {
    return false;
  }
  if (inbox.eventSeen && !inbox.taskPosted) {
    inbox.taskPosted = true;
    queue_.post([this, alive = std::weak_ptr<bool>(alive_)] {
      if (!alive.expired()) {
        takeInbox();
      }
    });
  }
  return !inbox.eventSeen;
}

void AeroSpaceWorkspaceFollower::dropFloodingClient() {
  {
    std::lock_guard lock(inbox_->mutex);
    inbox_->flooded = false;
  }
  if (!subscribed_) {
    return;
  }
  logLine("AeroSpace",
          "The subscription printed more than a line may hold; it is started again later");
  ++generation_;
  client_.unsubscribe();
  subscriptionEnded();
}

void AeroSpaceWorkspaceFollower::takeInbox() {
  bool event = false;
  {
    std::lock_guard lock(inbox_->mutex);
    event = std::exchange(inbox_->eventSeen, false);
    inbox_->taskPosted = false;
  }
  if (!event) {
    return;
  }
  const double now = queue_.now();
  if (!firstWaitingEvent_) {
    firstWaitingEvent_ = now;
  }
  scheduleReconcile(std::clamp(*firstWaitingEvent_ + kLongestEventWait - now, 0.0, kEventDelay));
}

void AeroSpaceWorkspaceFollower::scheduleRestart() {
  pendingRestart_.cancel();
  const double wait = restartDelay_;
  restartDelay_ = std::min(restartDelay_ * 2, kMaxRestartDelay);
  pendingRestart_ = queue_.postDelayed(wait, [this, alive = std::weak_ptr<bool>(alive_)] {
    if (!alive.expired()) {
      launch();
    }
  });
}

void AeroSpaceWorkspaceFollower::scheduleReconcile(double delay) {
  pendingReconcile_.cancel();
  pendingReconcile_ = queue_.postDelayed(delay, [this, alive = std::weak_ptr<bool>(alive_)] {
    if (!alive.expired()) {
      reconcile();
    }
  });
}

void AeroSpaceWorkspaceFollower::reconcile() {
  firstWaitingEvent_.reset();
  const auto window = registry_.playerWindowNumber();
  if (!wantsFollowing_ || !window) {
    return;
  }
  const auto windows = client_.run(listWindowsArguments(processID_));
  if (windows.status != 0) {
    return;
  }
  const auto where = snapshot(windows.text, *window);
  if (!where) {
    return;
  }
  const auto workspaces = client_.run(
      {"list-workspaces", "--monitor", where->monitorID, "--visible", "--format", "%{workspace}"});
  if (workspaces.status != 0) {
    return;
  }
  const auto visible = visibleWorkspace(workspaces.text);
  if (visible && *visible != where->workspace) {
    client_.run({"move-node-to-workspace", "--window-id", std::to_string(*window), "--fail-if-noop",
                 "--", *visible});
  }
}

bool AeroSpaceWorkspaceFollower::isWorkspaceChangeEvent(std::string_view line) {
  const std::string_view trimmed = trimmedWhitespaceAndNewlines(line);
  if (trimmed.empty()) {
    return false;
  }
  const auto json = nlohmann::json::parse(trimmed, nullptr, false);
  if (!json.is_object()) {
    return false;
  }
  const auto event = json.find("_event");
  return event != json.end() && event->is_string() &&
         event->get<std::string>() == "focused-workspace-changed";
}

std::optional<AeroSpaceWorkspaceFollower::WindowSnapshot> AeroSpaceWorkspaceFollower::snapshot(
    std::string_view listWindowsOutput, std::int64_t windowNumber) {
  const std::string wanted = std::to_string(windowNumber);
  for (std::string_view line : split(listWindowsOutput, '\n')) {
    if (line.empty()) {
      continue;
    }
    const auto fields = split(line, '\t');
    if (fields.size() > 2 && trimmedSpaces(fields[0]) == wanted) {
      const std::string_view monitor = trimmedSpaces(fields[1]);
      const std::string_view workspace = trimmedSpaces(fields[2]);
      if (monitor.empty() || workspace.empty()) {
        return std::nullopt;
      }
      return WindowSnapshot{std::string(monitor), std::string(workspace)};
    }
  }
  return std::nullopt;
}

std::optional<std::string> AeroSpaceWorkspaceFollower::visibleWorkspace(
    std::string_view listWorkspacesOutput) {
  for (std::string_view line : split(listWorkspacesOutput, '\n')) {
    if (const auto name = trimmedWhitespaceAndNewlines(line); !name.empty()) {
      return std::string(name);
    }
  }
  return std::nullopt;
}

std::vector<std::string> AeroSpaceWorkspaceFollower::listWindowsArguments(std::int64_t processID) {
  return {"list-windows",
          "--monitor",
          "all",
          "--pid",
          std::to_string(processID),
          "--format",
          "%{window-id}\t%{monitor-id}\t%{workspace}"};
}

}  // namespace orvel
