// SPDX-License-Identifier: GPL-3.0-or-later

// One recordRecentVideo against a full watch history of 500 entries and a full recent list,
// both lists written to the real defaults file. Target: at most 3 ms. Beside it, the floor that
// SQLite itself sets: the same two stored lists, byte for byte, written in one transaction to a
// file kept the same way (write-ahead log, synchronous=NORMAL), with no encoding or merging.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/SqliteDefaults.h"
#include "settings/AppSettings.h"

namespace {

// A temporary folder, removed with everything in it.
class Scratch {
 public:
  Scratch() {
    char pattern[] = "/tmp/orvel-bench-XXXXXX";
    if (mkdtemp(pattern)) {
      path_ = pattern;
    }
  }
  ~Scratch() {
    if (!path_.empty()) {
      std::error_code ignored;
      std::filesystem::remove_all(path_, ignored);
    }
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  bool made() const { return !path_.empty(); }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string videoID(int index) {
  return "mp4:file:///home/user/Videos/Some%20longer%20film%20name%20" + std::to_string(index) +
         ".mp4";
}

// Both lists full: 500 history entries with a note each, and the recent list at its cap.
void fillLists(orvel::AppSettings& settings) {
  for (int index = 0; index < 500; ++index) {
    settings.recordRecentVideo(videoID(index), "Some longer film name " + std::to_string(index),
                               index, "file:///home/user/Videos/film.mp4");
    settings.setWatchHistoryNote(videoID(index), "A note of a few words about this film.");
  }
}

void recordWithFullHistory(benchmark::State& state) {
  const Scratch folder;
  if (!folder.made()) {
    state.SkipWithError("no temporary folder");
    return;
  }
  auto defaults = orvel::SqliteDefaults::open(folder.file("defaults.sqlite3"));
  orvel::NotificationCenter center;
  orvel::AppSettings settings(*defaults, center);
  fillLists(settings);
  int index = 0;
  for (auto _ : state) {
    // Alternate between entries deep in the lists so every call really changes both.
    const std::string id = videoID(480 + index++ % 20);
    settings.recordRecentVideo(id, "Again", index, std::nullopt);
  }
  state.counters["historyBytes"] = static_cast<double>(settings.storedHistoryUsageBytes());
}
BENCHMARK(recordWithFullHistory)->Unit(benchmark::kMicrosecond);

struct CloseDatabase {
  void operator()(sqlite3* database) const { sqlite3_close(database); }
};
struct FinalizeStatement {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;
using Statement = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

Statement prepare(sqlite3* database, const char* sql) {
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(database, sql, -1, &statement, nullptr);
  return Statement(statement);
}

bool run(sqlite3_stmt* statement) {
  const bool done = sqlite3_step(statement) == SQLITE_DONE;
  sqlite3_reset(statement);
  return done;
}

// The peer: what one record costs SQLite alone, the stored bytes of both lists written again.
void sqliteWriteOfTheSameLists(benchmark::State& state) {
  const Scratch folder;
  if (!folder.made()) {
    state.SkipWithError("no temporary folder");
    return;
  }
  const std::string path = folder.file("defaults.sqlite3");
  {
    auto defaults = orvel::SqliteDefaults::open(path);
    orvel::NotificationCenter center;
    orvel::AppSettings settings(*defaults, center);
    fillLists(settings);
  }
  sqlite3* opened = nullptr;
  sqlite3_open_v2(path.c_str(), &opened, SQLITE_OPEN_READWRITE, nullptr);
  const Database database(opened);
  sqlite3_exec(database.get(), "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
  sqlite3_exec(database.get(), "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  // The stored rows of the two lists, as recordRecentVideo leaves them.
  std::vector<std::pair<std::string, std::string>> rows;
  const Statement select = prepare(database.get(),
                                   "SELECT key, value FROM defaults WHERE key IN "
                                   "('settings.recentVideos', "
                                   "'settings.watchHistoryVideos')");
  while (select && sqlite3_step(select.get()) == SQLITE_ROW) {
    const auto* key = reinterpret_cast<const char*>(sqlite3_column_text(select.get(), 0));
    const auto* value = static_cast<const char*>(sqlite3_column_blob(select.get(), 1));
    rows.emplace_back(
        key, std::string(value, static_cast<std::size_t>(sqlite3_column_bytes(select.get(), 1))));
  }
  const Statement begin = prepare(database.get(), "BEGIN IMMEDIATE");
  const Statement commit = prepare(database.get(), "COMMIT");
  const Statement upsert = prepare(database.get(),
                                   "INSERT INTO defaults(key, value) VALUES(?1, ?2) "
                                   "ON CONFLICT(key) DO UPDATE SET value = excluded.value");
  if (rows.size() != 2 || !begin || !commit || !upsert) {
    state.SkipWithError("the stored lists could not be read back");
    return;
  }
  std::size_t bytes = 0;
  for (const auto& row : rows) {
    bytes += row.second.size();
  }
  for (auto _ : state) {
    bool written = run(begin.get());
    for (const auto& [key, value] : rows) {
      sqlite3_bind_text(upsert.get(), 1, key.data(), static_cast<int>(key.size()), SQLITE_STATIC);
      sqlite3_bind_blob(upsert.get(), 2, value.data(), static_cast<int>(value.size()),
                        SQLITE_STATIC);
      written = run(upsert.get()) && written;
    }
    if (!(run(commit.get()) && written)) {
      state.SkipWithError("the write failed");
      break;
    }
  }
  state.counters["storedBytes"] = static_cast<double>(bytes);
}
BENCHMARK(sqliteWriteOfTheSameLists)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
