// SPDX-License-Identifier: GPL-3.0-or-later

// Crash safety: the player killed without warning at random moments.

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "e2e/EndToEnd.h"
#include "e2e/XDisplay.h"

namespace orvel::e2e {
namespace {

// A clip whose picture tells its own time: red climbs through 0-255 every ten seconds, green
// steps by 20 every ten seconds, blue stays at 128. Five frames a second.
std::string makeClockClip(const Home& home, const std::string& name, int seconds) {
  const std::string path = home.folder().file(name);
  std::vector<std::string> command{"ffmpeg",
                                   "-nostdin",
                                   "-v",
                                   "error",
                                   "-y",
                                   "-f",
                                   "lavfi",
                                   "-i",
                                   "color=c=black:s=160x90:r=5:d=" + std::to_string(seconds) +
                                       ",format=gbrp,geq=r=25.5*mod(T\\,10):g=20*floor(T/10):b=128",
                                   "-f",
                                   "lavfi",
                                   "-i",
                                   "sine=f=440:d=" + std::to_string(seconds),
                                   "-pix_fmt",
                                   "yuv420p"};
  if (name.ends_with(".webm")) {
    command.insert(command.end(), {"-c:v", "libvpx", "-deadline", "realtime", "-cpu-used", "8",
                                   "-c:a", "libopus"});
  } else {
    command.insert(command.end(), {"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac"});
  }
  command.push_back(path);
  EXPECT_TRUE(run(command)) << "ffmpeg could not make " << name;
  return path;
}

// The time a clock clip shows at the player window's centre, or none when it shows something
// else or no window shows yet.
std::optional<double> shownClockTime() {
  const unsigned long window = findWindow("Orvel player");
  if (!window) {
    return std::nullopt;
  }
  const WindowGeometry frame = windowGeometry(window);
  const auto pixel = x11::readScreenPixel(frame.centreX(), frame.centreY());
  if (!pixel || std::abs((*pixel)[2] - 128) > 12) {
    return std::nullopt;
  }
  return std::round((*pixel)[1] / 20.0) * 10 + (*pixel)[0] / 25.5;
}

// Whether the store is whole, as SQLite checks it once the player is gone.
std::string storeIntegrity(const Home& home) {
  sqlite3* database = nullptr;
  std::string answer = "cannot open";
  if (sqlite3_open_v2(home.store().c_str(), &database, SQLITE_OPEN_READWRITE, nullptr) ==
      SQLITE_OK) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(database, "PRAGMA integrity_check", -1, &statement, nullptr) ==
            SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
      answer = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    }
    sqlite3_finalize(statement);
  }
  sqlite3_close(database);
  return answer;
}

// Killed without warning at random moments while MKV and WebM take turns, the player keeps a
// whole store, every history entry, and the position to within a second and a half. The number of
// kills is $ORVEL_KILL_COUNT (10 unless set; bench/kill_test.sh runs 100).
TEST(PlayerEndToEndCrash, KilledAtRandomMomentsItKeepsTheStoreTheHistoryAndThePosition) {
  const char* countText = std::getenv("ORVEL_KILL_COUNT");
  const int kills = countText ? std::max(1, std::atoi(countText)) : 10;
  Home home;
  const int clipSeconds = 20 + kills * 2;
  const std::string clips[] = {makeClockClip(home, "clock.mkv", clipSeconds),
                               makeClockClip(home, "clock.webm", clipSeconds)};
  const std::string mediaIDs[] = {"mkv:" + fileURL(clips[0]), "webm:" + fileURL(clips[1])};
  const unsigned seed = static_cast<unsigned>(std::time(nullptr));
  std::srand(seed);
  std::vector<double> losses;
  for (int kill = 0; kill < kills; ++kill) {
    const int which = kill % 2;
    std::vector<std::string> before;
    for (const RecentVideoItem& item : home.history()) {
      before.push_back(item.videoID);
    }
    Player player(home, {clips[which]}, "player-" + std::to_string(kill) + ".log");
    // Some kills come while it starts, most while it plays.
    const double delay = 0.8 + (std::rand() % 4200) / 1000.0;
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>(delay * 1000)));
    const auto looked = std::chrono::steady_clock::now();
    const std::optional<double> shown = shownClockTime();
    player.kill();
    const double sinceLooked =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - looked).count();
    const std::string context = "kill " + std::to_string(kill) + " after " + std::to_string(delay) +
                                " s (seed " + std::to_string(seed) + ")\n" + player.log();

    ASSERT_EQ(storeIntegrity(home), "ok") << context;
    std::vector<std::string> after;
    for (const RecentVideoItem& item : home.history()) {
      after.push_back(item.videoID);
    }
    for (const std::string& videoID : before) {
      EXPECT_NE(std::find(after.begin(), after.end(), videoID), after.end())
          << videoID << " left the history; " << context;
    }
    if (shown) {
      // What played until the kill, at the latest, against what a restart resumes from.
      const double lost = *shown + sinceLooked - home.position(mediaIDs[which]).value_or(0);
      losses.push_back(lost);
      EXPECT_LE(lost, 1.5) << "shown " << *shown << "; " << context;
    }
  }
  ASSERT_FALSE(losses.empty());
  const double worst = *std::max_element(losses.begin(), losses.end());
  double sum = 0;
  for (double lost : losses) {
    sum += lost;
  }
  std::printf("%d kills, %zu while playing: position lost at most %.2f s, %.2f s on average\n",
              kills, losses.size(), worst, sum / static_cast<double>(losses.size()));
}

}  // namespace
}  // namespace orvel::e2e
