// SPDX-License-Identifier: GPL-3.0-or-later

// Starts a program and reports how long it takes until a colour shows at a point of the X screen
// (the program's first video frame), then its resident memory (with its child processes) a few
// seconds later, summed over the processes and also with shared pages divided among the processes
// that map them (PSS), so that a library mapped by several processes counts once.
// Output: "<milliseconds or -1> <resident KiB or -1> <proportional KiB or -1>".
//
//   screen_probe X Y RRGGBB COMMAND [ARGS...]

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

// Resident and proportional memory of a process and its descendants, in KiB.
std::pair<long, long> memoryKiB(pid_t root) {
  long resident = 0;
  long proportional = 0;
  std::vector<pid_t> pending{root};
  while (!pending.empty()) {
    pid_t pid = pending.back();
    pending.pop_back();
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("VmRSS:", 0) == 0) {
        resident += std::atol(line.c_str() + 6);
      }
    }
    std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
    for (std::string line; std::getline(rollup, line);) {
      if (line.rfind("Pss:", 0) == 0) {
        proportional += std::atol(line.c_str() + 4);
      }
    }
    std::ifstream children("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) +
                           "/children");
    for (pid_t child; children >> child;) {
      pending.push_back(child);
    }
  }
  return {resident, proportional};
}

bool near(unsigned long pixel, long wanted) {
  auto channel = [](unsigned long value, int shift) {
    return static_cast<int>((value >> shift) & 0xff);
  };
  return std::abs(channel(pixel, 16) - channel(wanted, 16)) < 40 &&
         std::abs(channel(pixel, 8) - channel(wanted, 8)) < 40 &&
         std::abs(channel(pixel, 0) - channel(wanted, 0)) < 40;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: screen_probe X Y RRGGBB COMMAND [ARGS...]\n");
    return 2;
  }
  const int x = std::atoi(argv[1]);
  const int y = std::atoi(argv[2]);
  const long colour = std::strtol(argv[3], nullptr, 16);
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "screen_probe: no display\n");
    return 2;
  }
  const Window root = DefaultRootWindow(display);
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    setsid();
    // The probe's own output is the measurement; the program's goes nowhere.
    if (FILE* sink = std::fopen("/dev/null", "w")) {
      dup2(fileno(sink), STDOUT_FILENO);
      dup2(fileno(sink), STDERR_FILENO);
    }
    execvp(argv[4], argv + 4);
    _exit(127);
  }
  long milliseconds = -1;
  while (std::chrono::steady_clock::now() - start < std::chrono::seconds(30)) {
    XImage* image = XGetImage(display, root, x, y, 1, 1, AllPlanes, ZPixmap);
    const bool shown = image && near(XGetPixel(image, 0, 0), colour);
    if (image) {
      XDestroyImage(image);
    }
    if (shown) {
      milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::steady_clock::now() - start)
                         .count();
      break;
    }
    if (waitpid(child, nullptr, WNOHANG) == child) {
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::this_thread::sleep_for(std::chrono::seconds(3));
  const auto [resident, proportional] = memoryKiB(child);
  kill(-child, SIGTERM);
  for (int tries = 0; tries < 100 && waitpid(child, nullptr, WNOHANG) == 0; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  kill(-child, SIGKILL);
  waitpid(child, nullptr, 0);
  XCloseDisplay(display);
  std::printf("%ld %ld %ld\n", milliseconds, resident > 0 ? resident : -1,
              proportional > 0 ? proportional : -1);
  return 0;
}
