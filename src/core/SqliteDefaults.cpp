// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/SqliteDefaults.h"

#include <fcntl.h>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <utility>
#include <vector>

#include "core/Log.h"

namespace orvel {
namespace {

constexpr const char* kComponent = "Defaults";

// Long enough to ride out another instance's write or a checkpoint, short enough that a stuck
// lock only costs a noticeable hitch rather than a frozen window.
constexpr int kBusyTimeoutMilliseconds = 250;

constexpr const char* kCreateTable =
    "CREATE TABLE IF NOT EXISTS defaults(key TEXT PRIMARY KEY, value BLOB NOT NULL)";

std::string quoted(std::string_view key) {
  return "\"" + std::string(key) + "\"";
}

std::string errnoText(int error) {
  return std::strerror(error);
}

std::string configHome() {
  // The XDG rules say a relative XDG_CONFIG_HOME is to be ignored.
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
    return xdg;
  }
  if (const char* home = std::getenv("HOME"); home && home[0] != '\0') {
    return std::string(home) + "/.config";
  }
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_dir) {
    return std::string(found->pw_dir) + "/.config";
  }
  return ".config";
}

// Creates the folders above the file; the settings are private, so new folders are too.
bool makeParentFolders(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    const std::string folder = path.substr(0, slash);
    if (mkdir(folder.c_str(), 0700) == 0) {
      continue;
    }
    struct stat status {};
    if (errno != EEXIST || stat(folder.c_str(), &status) != 0) {
      return false;
    }
    if (!S_ISDIR(status.st_mode)) {
      errno = ENOTDIR;
      return false;
    }
  }
  return true;
}

// Errors that say nothing about the file itself: moving it aside would only lose the settings.
bool isTransient(int code) {
  switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_NOMEM:
    case SQLITE_FULL:
    case SQLITE_INTERRUPT:
    case SQLITE_READONLY:
      return true;
    default:
      return false;
  }
}

// The file is there but may not be written: it can still be read.
bool isReadOnlyErrno(int error) {
  return error == EROFS || error == EACCES || error == EPERM;
}

bool isTransientErrno(int error) {
  return error == EROFS || error == ENOSPC || error == EDQUOT || error == EMFILE ||
         error == ENFILE || error == ENOMEM || error == EINTR;
}

std::string timeStamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
  return text;
}

// The file as an SQLite URI that says nothing will change it, not even a log beside it.
std::string immutableURI(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string uri = "file:";
  for (const unsigned char c : path) {
    if (std::isalnum(c) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
      uri += static_cast<char>(c);
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 15];
    }
  }
  return uri + "?immutable=1";
}

bool exists(const std::string& path) {
  struct stat status {};
  return lstat(path.c_str(), &status) == 0;
}

// Renames the file and its WAL companions out of the way, keeping them together so the moved
// database can still be opened for recovery. None when the original path is still taken.
std::optional<std::string> moveAside(const std::string& path) {
  std::string aside = path + ".corrupt-" + timeStamp();
  for (int attempt = 2; exists(aside) && attempt < 100; ++attempt) {
    aside = path + ".corrupt-" + timeStamp() + "-" + std::to_string(attempt);
  }
  if (std::rename(path.c_str(), aside.c_str()) != 0) {
    return std::nullopt;
  }
  for (const char* suffix : {"-wal", "-shm"}) {
    const std::string companion = path + suffix;
    if (!exists(companion)) {
      continue;
    }
    // A stale WAL left beside a new database would be replayed into it.
    if (std::rename(companion.c_str(), (aside + suffix).c_str()) != 0 &&
        unlink(companion.c_str()) != 0) {
      return std::nullopt;
    }
  }
  return aside;
}
}  // namespace
void SqliteDefaults::DatabaseClose::operator()(sqlite3* database) const {
  sqlite3_close_v2(database);
}
std::string SqliteDefaults::standardPath() {
  return configHome() + "/Wendle/defaults.sqlite3";
}
std::unique_ptr<SqliteDefaults> SqliteDefaults::open(const std::string& path) {
  std::unique_ptr<SqliteDefaults> store(new SqliteDefaults);
  std::optional<OpenFailure> failure = store->load(path);
  if (!failure) {
    return store;
  }
  store.reset(new SqliteDefaults);
  // Without a file there is nothing to move aside: the folder itself is unusable.
  if (failure->corrupt && exists(path)) {
    if (std::optional<std::string> aside = moveAside(path)) {
      std::optional<OpenFailure> retry = store->load(path);
      if (!retry) {
        logLine(kComponent, "Moved unreadable " + path + " aside to " + *aside + " (" +
                                failure->reason + "); starting with empty defaults");
        return store;
      }
      logLine(kComponent, "Moved unreadable " + path + " aside to " + *aside + " (" +
                              failure->reason + "), but a new store cannot be made there (" +
                              retry->reason + ")");
      store.reset(new SqliteDefaults);
    } else {
      logLine(kComponent, "Cannot move unreadable " + path + " aside (" + failure->reason + ")");
    }
  } else {
    logLine(kComponent, "Cannot open " + path + " (" + failure->reason + ")");
  }
  store->openInMemory();
  logLine(kComponent, "Keeping defaults in memory for this run; changes will not be saved");
  return store;
}
SqliteDefaults::OpenFailure SqliteDefaults::failureOf(sqlite3* database, std::string_view what) {
  const int code = database ? sqlite3_errcode(database) : SQLITE_NOMEM;
  std::string reason(what);
  reason += ": ";
  reason += database ? sqlite3_errmsg(database) : "out of memory";
  return OpenFailure{std::move(reason), !isTransient(code)};
}
std::optional<SqliteDefaults::OpenFailure> SqliteDefaults::load(const std::string& path) {
  std::optional<std::string> readOnlyReason;
  if (auto failure = createPrivately(path, readOnlyReason)) {
    return failure;
  }
  // Everything is checked and read through a connection that cannot write, so that a file found
  // unreadable is moved aside byte for byte as the user had it.
  if (auto failure = readValues(path)) {
    return failure;
  }
  if (readOnlyReason) {
    logLine(kComponent, "Cannot write " + path + " (" + *readOnlyReason +
                            "); its values are read, and changes are kept in memory on top");
    openInMemory();
    return std::nullopt;
  }
  for (const char* suffix : {"-wal", "-shm"}) {
    chmod((path + suffix).c_str(), 0600);
  }
  return openForWriting(path);
}

// Created here rather than by SQLite so that the file is private from its first byte; SQLite
// gives the WAL and shared-memory files the same mode. A file that cannot be written is opened
// to be read, and `readOnlyReason` says why.
std::optional<SqliteDefaults::OpenFailure> SqliteDefaults::createPrivately(
    const std::string& path, std::optional<std::string>& readOnlyReason) {
  if (!makeParentFolders(path)) {
    return OpenFailure{"cannot create its folder: " + errnoText(errno), false};
  }
  int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (descriptor < 0 && isReadOnlyErrno(errno) && exists(path)) {
    readOnlyReason = errnoText(errno);
    descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  }
  if (descriptor < 0) {
    const int error = errno;
    return OpenFailure{errnoText(error), !isTransientErrno(error) && !isReadOnlyErrno(error)};
  }
  struct stat status {};
  const bool regular = fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode);
  if (regular && !readOnlyReason && (status.st_mode & 07777) != 0600) {
    fchmod(descriptor, 0600);
  }
  close(descriptor);
  if (!regular) {
    return OpenFailure{"not a regular file", true};
  }
  return std::nullopt;
}

std::optional<SqliteDefaults::OpenFailure> SqliteDefaults::openForWriting(const std::string& path) {
  sqlite3* raw = nullptr;
  const int opened = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
  database_.reset(raw);
  if (opened != SQLITE_OK) {
    return failureOf(database_.get(), "open");
  }
  sqlite3_busy_timeout(database_.get(), kBusyTimeoutMilliseconds);
  auto journal = SqliteStatement::prepare(database_.get(), "PRAGMA journal_mode=WAL");
  if (!journal || journal->step() != SQLITE_ROW) {
    return failureOf(database_.get(), "journal mode");
  }
  if (journal->columnText(0) != "wal") {
    logLine(kComponent, "Write-ahead logging unavailable for " + path + "; using " +
                            std::string(journal->columnText(0)));
  }
  journal->reset();
  // WAL with NORMAL syncs only at checkpoints: a commit reaches the OS before set() returns, so
  // it survives the process being killed, and only a power cut can lose the latest writes.
  if (sqlite3_exec(database_.get(), "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr) !=
          SQLITE_OK ||
      sqlite3_exec(database_.get(), kCreateTable, nullptr, nullptr, nullptr) != SQLITE_OK) {
    return failureOf(database_.get(), "set up");
  }

  auto prepare = [this](SqliteStatement& statement, std::string_view sql) {
    auto prepared = SqliteStatement::prepare(database_.get(), sql);
    if (prepared) {
      statement = std::move(*prepared);
    }
    return prepared.has_value();
  };
  if (!prepare(upsert_,
               "INSERT INTO defaults(key, value) VALUES(?1, ?2) "
               "ON CONFLICT(key) DO UPDATE SET value = excluded.value") ||
      !prepare(erase_, "DELETE FROM defaults WHERE key = ?1") ||
      !prepare(begin_, "BEGIN IMMEDIATE") || !prepare(commit_, "COMMIT") ||
      !prepare(rollback_, "ROLLBACK")) {
    return failureOf(database_.get(), "prepare");
  }
  return std::nullopt;
}

std::optional<SqliteDefaults::OpenFailure> SqliteDefaults::readValues(const std::string& path) {
  Database reader;
  if (auto failure = openChecked(path, reader)) {
    return failure;
  }

  // A table of the same name but another shape may have been left by something else: writing
  // into it would fail or, worse, half work. A new file has no table yet.
  auto shape = SqliteStatement::prepare(
      reader.get(),
      "SELECT group_concat(name || ':' || upper(type) || ':' || pk, ',') FROM "
      "(SELECT * FROM pragma_table_info('defaults') ORDER BY cid)");
  if (!shape || shape->step() != SQLITE_ROW) {
    return failureOf(reader.get(), "table shape");
  }
  const std::string columns(shape->columnText(0));
  shape->reset();
  if (columns.empty()) {
    return std::nullopt;
  }
  if (columns != "key:TEXT:1,value:BLOB:0") {
    return OpenFailure{"unexpected table shape " + columns, true};
  }

  auto rows = SqliteStatement::prepare(reader.get(), "SELECT key, value FROM defaults");
  if (!rows) {
    return failureOf(reader.get(), "read");
  }
  std::vector<std::string> unreadable;
  int result = SQLITE_ROW;
  while ((result = rows->step()) == SQLITE_ROW) {
    std::string key(rows->columnText(0));
    auto [bytes, size] = rows->columnBlob(1);
    if (auto value = PropertyList::fromBinary(bytes, size)) {
      cache_.insert_or_assign(std::move(key), std::move(*value));
    } else {
      unreadable.push_back(std::move(key));
    }
  }
  if (result != SQLITE_DONE) {
    return failureOf(reader.get(), "read");
  }
  // The row stays in the file, in case a later version can read it, until this key is next set
  // or removed.
  for (std::string& key : unreadable) {
    logLine(kComponent,
            "Ignoring the stored value of " + quoted(key) + ": it is not a readable property list");
    unsynced_.insert(std::move(key));
  }
  return std::nullopt;
}

// Opens the file to be read and checks its integrity.
std::optional<SqliteDefaults::OpenFailure> SqliteDefaults::openChecked(const std::string& path,
                                                                       Database& reader) {
  std::optional<SqliteStatement> check;
  // A database kept with a write-ahead log needs a shared-memory file beside it, which cannot be
  // made on a read-only mount; there it is read as a file that nothing changes.
  for (const bool immutable : {false, true}) {
    sqlite3* raw = nullptr;
    const std::string name = immutable ? immutableURI(path) : path;
    const int opened =
        sqlite3_open_v2(name.c_str(), &raw, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
    reader.reset(raw);
    if (opened != SQLITE_OK) {
      return failureOf(reader.get(), "open");
    }
    sqlite3_busy_timeout(reader.get(), kBusyTimeoutMilliseconds);
    // The integrity check is the first thing that reads the file, so a file that is not a
    // database shows here.
    check = SqliteStatement::prepare(reader.get(), "PRAGMA quick_check");
    if (check && check->step() == SQLITE_ROW) {
      break;
    }
    if (immutable || (sqlite3_errcode(reader.get()) & 0xff) != SQLITE_CANTOPEN) {
      return failureOf(reader.get(), "integrity check");
    }
    check.reset();
  }
  if (check->columnText(0) != "ok") {
    return OpenFailure{"integrity check: " + std::string(check->columnText(0)), true};
  }
  check->reset();
  return std::nullopt;
}

bool SqliteDefaults::openInMemory() {
  persistent_ = false;
  sqlite3* raw = nullptr;
  const int opened = sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE, nullptr);
  database_.reset(raw);
  if (opened != SQLITE_OK ||
      sqlite3_exec(database_.get(), kCreateTable, nullptr, nullptr, nullptr) != SQLITE_OK) {
    // The cache alone still serves this run.
    database_.reset();
    return false;
  }
  auto upsert = SqliteStatement::prepare(database_.get(),
                                         "INSERT INTO defaults(key, value) VALUES(?1, ?2) "
                                         "ON CONFLICT(key) DO UPDATE SET value = excluded.value");
  auto erase = SqliteStatement::prepare(database_.get(), "DELETE FROM defaults WHERE key = ?1");
  auto begin = SqliteStatement::prepare(database_.get(), "BEGIN IMMEDIATE");
  auto commit = SqliteStatement::prepare(database_.get(), "COMMIT");
  auto rollback = SqliteStatement::prepare(database_.get(), "ROLLBACK");
  if (!upsert || !erase || !begin || !commit || !rollback) {
    database_.reset();
    return false;
  }
  upsert_ = std::move(*upsert);
  erase_ = std::move(*erase);
  begin_ = std::move(*begin);
  commit_ = std::move(*commit);
  rollback_ = std::move(*rollback);
  return true;
}

SqliteDefaults::~SqliteDefaults() {
  // Only reached with a batch open when the store is destroyed inside one; keep what was done.
  if (database_ && !sqlite3_get_autocommit(database_.get())) {
    commit_.run();
  }
}

std::optional<PropertyList> SqliteDefaults::object(std::string_view key) const {
  auto found = cache_.find(key);
  if (found == cache_.end()) {
    return std::nullopt;
  }
  return found->second;
}

void SqliteDefaults::set(std::string_view key, const PropertyList& value) {
  auto found = cache_.find(key);
  if (found != cache_.end() && found->second == value && !unsynced_.contains(key)) {
    return;
  }
  std::optional<PropertyList::Data> bytes = value.binary();
  if (!bytes) {
    logLine(kComponent, "Not storing " + quoted(key) + ": the " + value.typeName() +
                            " holds a value a property list cannot encode");
    return;
  }
  if (found != cache_.end()) {
    found->second = value;
  } else {
    cache_.emplace(std::string(key), value);
  }
  write(key, &*bytes);
}

void SqliteDefaults::remove(std::string_view key) {
  auto found = cache_.find(key);
  if (found == cache_.end() && !unsynced_.contains(key)) {
    return;
  }
  if (found != cache_.end()) {
    cache_.erase(found);
  }
  write(key, nullptr);
}

void SqliteDefaults::beginBatch() {
  ++batchDepth_;
}

void SqliteDefaults::endBatch() {
  if (batchDepth_ == 0 || --batchDepth_ > 0) {
    return;
  }
  if (!database_ || sqlite3_get_autocommit(database_.get())) {
    inTransaction_.clear();
    return;
  }
  if (commit_.run() != SQLITE_DONE) {
    logLine(kComponent, "Could not save " + std::to_string(inTransaction_.size()) +
                            " changed defaults: " + sqlite3_errmsg(database_.get()));
    rollback_.run();
    unsynced_.merge(inTransaction_);
  } else {
    for (const std::string& key : inTransaction_) {
      unsynced_.erase(key);
    }
  }
  inTransaction_.clear();
}

bool SqliteDefaults::ensureTransaction() {
  if (!sqlite3_get_autocommit(database_.get())) {
    return true;
  }
  return begin_.run() == SQLITE_DONE;
}

void SqliteDefaults::write(std::string_view key, const PropertyList::Data* bytes) {
  if (!database_) {
    return;
  }
  const bool batched = batchDepth_ > 0;
  if (batched && !ensureTransaction()) {
    logFailure(key);
    unsynced_.emplace(key);
    return;
  }
  SqliteStatement& statement = bytes ? upsert_ : erase_;
  bool done = statement.bindText(1, key);
  if (done && bytes) {
    done = statement.bindBlob(2, bytes->data(), bytes->size());
  }
  done = done && statement.run() == SQLITE_DONE;
  if (!done) {
    statement.reset();
    logFailure(key);
    unsynced_.emplace(key);
    if (batched) {
      if (auto written = inTransaction_.find(key); written != inTransaction_.end()) {
        inTransaction_.erase(written);
      }
      // Some errors roll the whole transaction back, taking the batch's earlier writes along.
      if (sqlite3_get_autocommit(database_.get())) {
        unsynced_.merge(inTransaction_);
        inTransaction_.clear();
      }
    }
    return;
  }
  if (batched) {
    inTransaction_.emplace(key);
  } else if (auto stale = unsynced_.find(key); stale != unsynced_.end()) {
    unsynced_.erase(stale);
  }
}

void SqliteDefaults::logFailure(std::string_view key) {
  logLine(kComponent, "Could not save " + quoted(key) + ": " + sqlite3_errmsg(database_.get()));
}

}  // namespace orvel
