// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gio/gio.h>

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/AeroSpaceWorkspaceFollower.h"

namespace orvel {

// AeroSpace's command-line client run as a child process. Commands are bounded: one that runs
// past its time or prints more than a megabyte is stopped and counts as failed.
class SubprocessAeroSpaceClient final : public AeroSpaceClient {
 public:
  static constexpr std::size_t kMaxOutputBytes = 1024 * 1024;

  // Where the client is looked for, first executable file first.
  static std::vector<std::string> defaultPaths();
  // The window manager itself runs (a process named "AeroSpace").
  static bool windowManagerRuns();

  explicit SubprocessAeroSpaceClient(std::vector<std::string> paths = defaultPaths(),
                                     std::function<bool()> isRunning = &windowManagerRuns,
                                     double commandTimeoutSeconds = 5);
  ~SubprocessAeroSpaceClient() override;
  SubprocessAeroSpaceClient(const SubprocessAeroSpaceClient&) = delete;
  SubprocessAeroSpaceClient& operator=(const SubprocessAeroSpaceClient&) = delete;

  bool isAvailable() override;
  Output run(const std::vector<std::string>& arguments) override;
  bool subscribe(const std::vector<std::string>& arguments, std::function<bool(std::string)> onData,
                 std::function<void()> onExit) override;
  void unsubscribe() override;

 private:
  std::optional<std::string> binary() const;
  GSubprocess* spawn(const std::vector<std::string>& arguments) const;

  std::vector<std::string> paths_;
  std::function<bool()> isRunning_;
  double commandTimeout_;
  GSubprocess* subscription_ = nullptr;
  std::atomic<bool> stopping_{false};
  std::thread reader_;
};

}  // namespace orvel
