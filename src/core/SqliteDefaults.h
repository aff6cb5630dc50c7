// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "core/Defaults.h"
#include "core/SqliteStatement.h"

struct sqlite3;

namespace orvel {

// The per-user defaults in an SQLite file, one binary property list per key. Every value is
// cached at open, so reads never touch the disk; writes go through to the file before set()
// returns, or at the end of the outermost batch. Used on the main thread only.
class SqliteDefaults final : public Defaults {
 public:
  // $XDG_CONFIG_HOME/Wendle/defaults.sqlite3, or ~/.config/Wendle/defaults.sqlite3.
  static std::string standardPath();

  // Never fails: an unreadable or corrupt file is moved aside and a new store is started in its
  // place, and when not even that works the store lives in memory for this run.
  static std::unique_ptr<SqliteDefaults> open(const std::string& path);

  ~SqliteDefaults() override;
  SqliteDefaults(const SqliteDefaults&) = delete;
  SqliteDefaults& operator=(const SqliteDefaults&) = delete;

  std::optional<PropertyList> object(std::string_view key) const override;
  void set(std::string_view key, const PropertyList& value) override;
  void remove(std::string_view key) override;

  // False when the store fell back to memory and nothing will outlive the process.
  bool isPersistent() const { return persistent_; }

 protected:
  void beginBatch() override;
  void endBatch() override;

 private:
  struct DatabaseClose {
    void operator()(sqlite3* database) const;
  };
  using Database = std::unique_ptr<sqlite3, DatabaseClose>;
  using Cache = std::map<std::string, PropertyList, std::less<>>;

  SqliteDefaults() = default;

  // Opens and loads the file; on failure says why, and whether moving it aside could help.
  struct OpenFailure {
    std::string reason;
    bool corrupt;
  };
  std::optional<OpenFailure> load(const std::string& path);
  // Checks the file and fills the cache through a connection that cannot write.
  std::optional<OpenFailure> readValues(const std::string& path);
  std::optional<OpenFailure> createPrivately(const std::string& path,
                                             std::optional<std::string>& readOnlyReason);
  std::optional<OpenFailure> openForWriting(const std::string& path);
  std::optional<OpenFailure> openChecked(const std::string& path, Database& reader);
  static OpenFailure failureOf(sqlite3* database, std::string_view what);
  bool openInMemory();

  bool ensureTransaction();
  void write(std::string_view key, const PropertyList::Data* bytes);
  void logFailure(std::string_view key);

  // The database goes last, after the statements prepared on it.
  Database database_;
  SqliteStatement upsert_;
  SqliteStatement erase_;
  SqliteStatement begin_;
  SqliteStatement commit_;
  SqliteStatement rollback_;

  Cache cache_;
  // Keys whose row may differ from the cache: a write that failed, or a row that could not be
  // read. Setting or removing them always goes to the file.
  std::set<std::string, std::less<>> unsynced_;
  // Keys written in the open transaction, unsynced again if it is lost.
  std::set<std::string, std::less<>> inTransaction_;
  int batchDepth_ = 0;
  bool persistent_ = true;
};

}  // namespace orvel
