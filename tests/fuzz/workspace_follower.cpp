// SPDX-License-Identifier: GPL-3.0-or-later

// The workspace follower fed whatever the window manager's client might print: the subscription's
// output in pieces of any size, with the answers of the two list commands taken from the same
// input. Sections are split by 0x1E (window list, workspace list, subscription output), and the
// output's pieces by 0x1F; an empty piece ends the subscription. The clock is a manual one.
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/AeroSpaceWorkspaceFollower.h"
#include "fuzz/FuzzSupport.h"

namespace orvel {
namespace {

using fuzz::require;

// A main queue on one thread whose clock moves only when told.
class ManualQueue final : public MainQueue {
 public:
  void post(Task task) override { enqueue(now_, std::move(task)); }
  TaskHandle postDelayed(double seconds, Task task) override {
    const Key key = enqueue(now_ + (seconds > 0 ? seconds : 0), std::move(task));
    return TaskHandle([tasks = std::weak_ptr<Tasks>(tasks_), key] {
      if (auto alive = tasks.lock()) {
        auto removed = alive->extract(key);
      }
    });
  }
  double now() const override { return now_; }

  void advance(double seconds) {
    const double target = now_ + seconds;
    // A task that keeps posting itself for now would loop forever; that is a finding too.
    for (int ran = 0; !tasks_->empty() && tasks_->begin()->first.first <= target; ++ran) {
      require(ran < 100000, "tasks do not keep posting tasks");
      auto next = tasks_->extract(tasks_->begin());
      now_ = std::max(now_, next.key().first);
      next.mapped()();
    }
    now_ = std::max(now_, target);
  }

 private:
  using Key = std::pair<double, std::uint64_t>;
  using Tasks = std::map<Key, Task>;

  Key enqueue(double due, Task task) {
    const Key key{due, ++sequence_};
    tasks_->emplace(key, std::move(task));
    return key;
  }

  double now_ = 0;
  std::uint64_t sequence_ = 0;
  std::shared_ptr<Tasks> tasks_ = std::make_shared<Tasks>();
};

class ScriptedClient final : public AeroSpaceClient {
 public:
  bool isAvailable() override { return true; }
  Output run(const std::vector<std::string>& arguments) override {
    const std::string& command = arguments.front();
    if (command == "list-windows") {
      return {0, windows};
    }
    if (command == "list-workspaces") {
      require(arguments.size() > 2 && !arguments[2].empty(), "a monitor is named");
      return {0, workspaces};
    }
    if (command == "move-node-to-workspace") {
      const std::string& workspace = arguments.back();
      require(!workspace.empty() && workspace.find('\n') == std::string::npos &&
                  workspace.front() != ' ' && workspace.back() != ' ',
              "a move names one trimmed workspace");
      require(arguments[2] == "456", "only the player window moves");
    }
    return {0, ""};
  }
  bool subscribe(const std::vector<std::string>&, std::function<bool(std::string)> data,
                 std::function<void()> exit) override {
    onData = std::move(data);
    onExit = std::move(exit);
    return true;
  }
  void unsubscribe() override {}

  std::string windows;
  std::string workspaces;
  std::function<bool(std::string)> onData;
  std::function<void()> onExit;
};

std::vector<std::string_view> split(std::string_view text, char separator, std::size_t limit) {
  std::vector<std::string_view> parts;
  while (parts.size() + 1 < limit) {
    const std::size_t end = text.find(separator);
    if (end == std::string_view::npos) {
      break;
    }
    parts.push_back(text.substr(0, end));
    text.remove_prefix(end + 1);
  }
  parts.push_back(text);
  return parts;
}

}  // namespace
}  // namespace orvel

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvel;
  fuzz::silenceLogs();
  const auto sections =
      split(std::string_view(reinterpret_cast<const char*>(data), size), '\x1E', 3);
  ScriptedClient client;
  std::string_view output = sections.back();
  if (sections.size() == 3) {
    client.windows = sections[0];
    client.workspaces = sections[1];
  } else {
    client.windows = "123\t1\t3\n456\t2\t5\n";
    client.workspaces = "7\n";
  }
  ManualQueue queue;
  PlayerWindowRegistry registry;
  registry.registerWindow(456);
  {
    AeroSpaceWorkspaceFollower follower(queue, client, registry, 4242);
    follower.start();
    queue.advance(0);
    for (std::string_view piece : split(output, '\x1F', output.size() + 1)) {
      if (piece.empty()) {
        client.onExit();
        queue.advance(AeroSpaceWorkspaceFollower::kMaxRestartDelay);
        continue;
      }
      client.onData(std::string(piece));
      // Pieces arrive together or apart, from the bytes themselves.
      queue.advance(static_cast<double>(piece.size() % 4) * 0.1);
    }
    queue.advance(AeroSpaceWorkspaceFollower::kMaxRestartDelay);
    follower.stop();
  }
  queue.advance(AeroSpaceWorkspaceFollower::kMaxRestartDelay);
  return 0;
}
