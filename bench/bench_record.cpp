// One recordRecentVideo against a full watch history of 500 entries and a full recent list,
// both lists written to the real defaults file. Target: at most 3 ms.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/AppSettings.h"
#include "core/SqliteDefaults.h"

namespace {

void recordWithFullHistory(benchmark::State& state) {
  char folder[] = "/tmp/orvel-bench-XXXXXX";
  if (!mkdtemp(folder)) {
    state.SkipWithError("no temporary folder");
    return;
  }
  {
    auto defaults = orvel::SqliteDefaults::open(std::string(folder) + "/defaults.sqlite3");
    orvel::NotificationCenter center;
    orvel::AppSettings settings(*defaults, center);
    for (int index = 0; index < 500; ++index) {
      const std::string id = "mp4:file:///home/user/Videos/Some%20longer%20film%20name%20" +
                             std::to_string(index) + ".mp4";
      settings.recordRecentVideo(id, "Some longer film name " + std::to_string(index), index,
                                 "file:///home/user/Videos/film.mp4");
      settings.setWatchHistoryNote(id, "A note of a few words about this film.");
    }
    int index = 0;
    for (auto _ : state) {
      // Alternate between entries deep in the lists so every call really changes both.
      const std::string id = "mp4:file:///home/user/Videos/Some%20longer%20film%20name%20" +
                             std::to_string(480 + index++ % 20) + ".mp4";
      settings.recordRecentVideo(id, "Again", index, std::nullopt);
    }
    state.counters["historyBytes"] = static_cast<double>(settings.storedHistoryUsageBytes());
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(recordWithFullHistory)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
