// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/system/SubprocessAeroSpaceClient.h"

#include <gio/gunixinputstream.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace orvel {
namespace {

using Clock = std::chrono::steady_clock;

// How long the subscription is left unread once its reader wants nothing more for now.
constexpr auto kPause = std::chrono::milliseconds(100);

int streamDescriptor(GSubprocess* process) {
  GInputStream* output = g_subprocess_get_stdout_pipe(process);
  return output && G_IS_UNIX_INPUT_STREAM(output)
             ? g_unix_input_stream_get_fd(G_UNIX_INPUT_STREAM(output))
             : -1;
}

// The client and whatever it started: it runs in a process group of its own.
void killGroup(GSubprocess* process) {
  if (const gchar* identifier = g_subprocess_get_identifier(process)) {
    ::kill(-std::atoi(identifier), SIGKILL);
  }
  g_subprocess_force_exit(process);
}

}  // namespace

std::vector<std::string> SubprocessAeroSpaceClient::defaultPaths() {
  return {"/opt/homebrew/bin/aerospace", "/usr/local/bin/aerospace",
          "/Applications/AeroSpace.app/Contents/MacOS/aerospace"};
}

bool SubprocessAeroSpaceClient::windowManagerRuns() {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename();
    if (name.empty() || !std::isdigit(static_cast<unsigned char>(name.front()))) {
      continue;
    }
    std::string command;
    std::getline(std::ifstream(entry.path() / "comm"), command);
    if (command == "AeroSpace") {
      return true;
    }
  }
  return false;
}

SubprocessAeroSpaceClient::SubprocessAeroSpaceClient(std::vector<std::string> paths,
                                                     std::function<bool()> isRunning,
                                                     double commandTimeoutSeconds)
    : paths_(std::move(paths)),
      isRunning_(std::move(isRunning)),
      commandTimeout_(commandTimeoutSeconds) {}

SubprocessAeroSpaceClient::~SubprocessAeroSpaceClient() {
  unsubscribe();
}

std::optional<std::string> SubprocessAeroSpaceClient::binary() const {
  for (const std::string& path : paths_) {
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0) {
      return path;
    }
  }
  return std::nullopt;
}

bool SubprocessAeroSpaceClient::isAvailable() {
  return binary().has_value() && (!isRunning_ || isRunning_());
}

GSubprocess* SubprocessAeroSpaceClient::spawn(const std::vector<std::string>& arguments) const {
  const auto client = binary();
  if (!client) {
    return nullptr;
  }
  std::vector<const gchar*> argv{client->c_str()};
  for (const std::string& argument : arguments) {
    argv.push_back(argument.c_str());
  }
  argv.push_back(nullptr);
  GSubprocessLauncher* launcher = g_subprocess_launcher_new(
      GSubprocessFlags(G_SUBPROCESS_FLAGS_STDOUT_PIPE | G_SUBPROCESS_FLAGS_STDERR_SILENCE));
  g_subprocess_launcher_set_child_setup(
      launcher, [](gpointer) { ::setpgid(0, 0); }, nullptr, nullptr);
  GSubprocess* process = g_subprocess_launcher_spawnv(launcher, argv.data(), nullptr);
  g_object_unref(launcher);
  return process;
}

AeroSpaceClient::Output SubprocessAeroSpaceClient::run(const std::vector<std::string>& arguments) {
  GSubprocess* process = spawn(arguments);
  if (!process) {
    return {};
  }
  const int descriptor = streamDescriptor(process);
  const auto deadline = Clock::now() + std::chrono::duration<double>(commandTimeout_);
  std::string text;
  bool finished = false;
  while (descriptor >= 0 && Clock::now() < deadline && text.size() <= kMaxOutputBytes) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd readable{descriptor, POLLIN, 0};
    if (::poll(&readable, 1, static_cast<int>(std::max<long long>(left, 1))) <= 0) {
      continue;
    }
    char buffer[4096];
    const ssize_t got = ::read(descriptor, buffer, sizeof buffer);
    if (got <= 0) {
      finished = true;
      break;
    }
    text.append(buffer, static_cast<std::size_t>(got));
  }
  Output output;
  if (!finished) {
    // Hung, or talking without end: it is stopped, and its answer is not used.
    killGroup(process);
    g_subprocess_wait(process, nullptr, nullptr);
  } else if (g_subprocess_wait(process, nullptr, nullptr) && g_subprocess_get_if_exited(process)) {
    output.status = g_subprocess_get_exit_status(process);
    output.text = g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)
                      ? std::move(text)
                      : std::string();
  }
  g_object_unref(process);
  return output;
}

bool SubprocessAeroSpaceClient::subscribe(const std::vector<std::string>& arguments,
                                          std::function<bool(std::string)> onData,
                                          std::function<void()> onExit) {
  unsubscribe();
  GSubprocess* process = spawn(arguments);
  if (!process) {
    return false;
  }
  subscription_ = process;
  stopping_ = false;
  reader_ = std::thread([this, process, onData = std::move(onData), onExit = std::move(onExit)] {
    const int descriptor = streamDescriptor(process);
    while (descriptor >= 0 && !stopping_) {
      pollfd readable{descriptor, POLLIN, 0};
      if (::poll(&readable, 1, 200) <= 0) {
        continue;
      }
      char buffer[4096];
      const ssize_t got = ::read(descriptor, buffer, sizeof buffer);
      if (got <= 0) {
        break;
      }
      if (!onData(std::string(buffer, static_cast<std::size_t>(got)))) {
        // Nothing more is wanted for now: the client waits on its full pipe meanwhile.
        std::this_thread::sleep_for(kPause);
      }
    }
    g_subprocess_wait(process, nullptr, nullptr);
    if (!stopping_) {
      onExit();
    }
  });
  return true;
}

void SubprocessAeroSpaceClient::unsubscribe() {
  if (!subscription_) {
    return;
  }
  stopping_ = true;
  killGroup(subscription_);
  if (reader_.joinable()) {
    reader_.join();
  }
  g_object_unref(subscription_);
  subscription_ = nullptr;
}

}  // namespace orvel
