// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/SqliteDefaults.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "support/LogCapture.h"
#include "support/TemporaryFolder.h"

namespace orvel {
namespace {

namespace fs = std::filesystem;

std::string readFile(const std::string& path) {
  std::ifstream stream(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

unsigned modeOf(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 ? (status.st_mode & 07777) : 0;
}

// A connection of the test's own, to look at the file as another reader would.
class RawDatabase {
 public:
  explicit RawDatabase(const std::string& path) { sqlite3_open(path.c_str(), &database_); }
  ~RawDatabase() { sqlite3_close(database_); }
  RawDatabase(const RawDatabase&) = delete;
  RawDatabase& operator=(const RawDatabase&) = delete;

  bool exec(const std::string& sql) {
    return sqlite3_exec(database_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  std::optional<std::string> text(const std::string& sql) {
    sqlite3_stmt* statement = nullptr;
    std::optional<std::string> result;
    if (sqlite3_prepare_v2(database_, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
      const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, 0));
      result = std::string(bytes ? bytes : "", sqlite3_column_bytes(statement, 0));
    }
    sqlite3_finalize(statement);
    return result;
  }
  sqlite3* get() const { return database_; }

 private:
  sqlite3* database_ = nullptr;
};

// About the size of a long watch history.
PropertyList bigValue(int seed) {
  return PropertyList(PropertyList::Data(150 * 1024, static_cast<std::uint8_t>(seed)));
}

class SqliteDefaultsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(folder_.path().empty()); }

  std::string file() const { return folder_.path() + "/Wendle/defaults.sqlite3"; }
  std::vector<std::string> asideFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_.path() + "/Wendle")) {
      if (entry.path().filename().string().find(".corrupt-") != std::string::npos) {
        names.push_back(entry.path().filename().string());
      }
    }
    return names;
  }

  TemporaryFolder folder_;
};

TEST_F(SqliteDefaultsTest, ValuesSurviveReopen) {
  {
    auto store = SqliteDefaults::open(file());
    EXPECT_TRUE(store->isPersistent());
    EXPECT_FALSE(store->object("volume"));
    store->set("volume", 0.25);
    store->set("history", bigValue(1));
    store->set("gone", "soon");
    store->remove("gone");
    store->set("volume", 0.5);
    LogCapture log;
    store->set("volume", std::numeric_limits<double>::infinity());
    EXPECT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(store->object("volume"), PropertyList(0.5));
  }
  auto store = SqliteDefaults::open(file());
  EXPECT_EQ(store->object("volume"), PropertyList(0.5));
  EXPECT_EQ(store->object("history"), bigValue(1));
  EXPECT_FALSE(store->object("gone"));
}

TEST_F(SqliteDefaultsTest, FileIsPrivateAndWriteAheadLogged) {
  auto store = SqliteDefaults::open(file());
  store->set("key", 1);
  EXPECT_EQ(modeOf(folder_.path() + "/Wendle"), 0700u);
  EXPECT_EQ(modeOf(file()), 0600u);
  EXPECT_EQ(modeOf(file() + "-wal"), 0600u);
  EXPECT_EQ(RawDatabase(file()).text("PRAGMA journal_mode"), "wal");
  store.reset();

  chmod(file().c_str(), 0644);
  store = SqliteDefaults::open(file());
  EXPECT_EQ(modeOf(file()), 0600u);
  EXPECT_EQ(store->object("key"), PropertyList(1));
}

TEST_F(SqliteDefaultsTest, StandardPathFollowsXdgConfigHome) {
  const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
  const std::optional<std::string> savedXdg =
      oldXdg ? std::optional(std::string(oldXdg)) : std::nullopt;
  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";

  setenv("XDG_CONFIG_HOME", "/somewhere/config", 1);
  EXPECT_EQ(SqliteDefaults::standardPath(), "/somewhere/config/Wendle/defaults.sqlite3");
  setenv("XDG_CONFIG_HOME", "relative/config", 1);
  EXPECT_EQ(SqliteDefaults::standardPath(), home + "/.config/Wendle/defaults.sqlite3");
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(SqliteDefaults::standardPath(), home + "/.config/Wendle/defaults.sqlite3");

  if (savedXdg) {
    setenv("XDG_CONFIG_HOME", savedXdg->c_str(), 1);
  }
}

TEST_F(SqliteDefaultsTest, WritesAreCommittedBeforeSetReturnsAndEqualValuesAreNotRewritten) {
  auto store = SqliteDefaults::open(file());
  RawDatabase reader(file());
  store->set("name", "first");
  EXPECT_EQ(reader.text("SELECT count(*) FROM defaults"), "1");

  const auto walSize = fs::file_size(file() + "-wal");
  store->set("name", "first");
  EXPECT_EQ(fs::file_size(file() + "-wal"), walSize);
  store->remove("never-set");
  EXPECT_EQ(fs::file_size(file() + "-wal"), walSize);
  store->set("name", "second");
  EXPECT_GT(fs::file_size(file() + "-wal"), walSize);
}

TEST_F(SqliteDefaultsTest, BatchCommitsOnceWhenTheOutermostBatchEnds) {
  auto store = SqliteDefaults::open(file());
  RawDatabase reader(file());
  {
    Defaults::Batch outer(*store);
    store->set("a", 1);
    {
      Defaults::Batch inner(*store);
      store->set("b", 2);
    }
    store->set("c", bigValue(2));
    EXPECT_EQ(store->object("b"), PropertyList(2));
    EXPECT_EQ(reader.text("SELECT count(*) FROM defaults"), "0");
  }
  EXPECT_EQ(reader.text("SELECT count(*) FROM defaults"), "3");
  store.reset();
  store = SqliteDefaults::open(file());
  EXPECT_EQ(store->object("a"), PropertyList(1));
  EXPECT_EQ(store->object("c"), bigValue(2));
}

TEST_F(SqliteDefaultsTest, GarbageFileIsMovedAsideWithOneLogLine) {
  fs::create_directories(folder_.path() + "/Wendle");
  const std::string garbage(5000, '\x5A');
  writeFile(file(), garbage);
  writeFile(file() + "-wal", "not a log either");
  {
    LogCapture log;
    auto store = SqliteDefaults::open(file());
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0].rfind("[Defaults] ", 0), 0u) << log.lines[0];
    EXPECT_NE(log.lines[0].find("aside"), std::string::npos) << log.lines[0];
    EXPECT_TRUE(store->isPersistent());
    store->set("fresh", true);
  }
  // SQLite itself drops a log it cannot use when the connection closes; either way the old log
  // must not stay beside the new database, which would replay it.
  const auto aside = asideFiles();
  ASSERT_FALSE(aside.empty());
  const std::string moved =
      folder_.path() + "/Wendle/" + *std::min_element(aside.begin(), aside.end());
  EXPECT_EQ(readFile(moved), garbage);
  EXPECT_NE(readFile(file() + "-wal"), "not a log either");

  LogCapture log;
  EXPECT_EQ(SqliteDefaults::open(file())->object("fresh"), PropertyList(true));
  EXPECT_TRUE(log.lines.empty());
}

TEST_F(SqliteDefaultsTest, TableOfTheWrongShapeIsMovedAsideByteForByte) {
  fs::create_directories(folder_.path() + "/Wendle");
  {
    RawDatabase other(file());
    ASSERT_TRUE(other.exec("PRAGMA journal_mode=DELETE"));
    ASSERT_TRUE(other.exec("CREATE TABLE defaults(name TEXT, data TEXT)"));
    ASSERT_TRUE(other.exec("INSERT INTO defaults VALUES('someone else''s', 'data')"));
  }
  const std::string original = readFile(file());
  LogCapture log;
  auto store = SqliteDefaults::open(file());
  EXPECT_EQ(log.lines.size(), 1u);
  ASSERT_EQ(asideFiles().size(), 1u);
  EXPECT_EQ(readFile(folder_.path() + "/Wendle/" + asideFiles()[0]), original);
  store->set("works", 1);
  EXPECT_EQ(RawDatabase(file()).text("SELECT count(*) FROM defaults"), "1");
}

TEST_F(SqliteDefaultsTest, UnreadableRowIsIgnoredButKeptInTheFile) {
  SqliteDefaults::open(file())->set("good", "value");
  {
    RawDatabase other(file());
    ASSERT_TRUE(other.exec("INSERT INTO defaults VALUES('bad', x'00112233445566778899')"));
  }
  {
    LogCapture log;
    auto store = SqliteDefaults::open(file());
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_NE(log.lines[0].find("\"bad\""), std::string::npos) << log.lines[0];
    EXPECT_FALSE(store->object("bad"));
    EXPECT_EQ(store->object("good"), PropertyList("value"));
    store->set("other", 2);
  }
  EXPECT_EQ(RawDatabase(file()).text("SELECT hex(value) FROM defaults WHERE key = 'bad'"),
            "00112233445566778899");
  // Removing the key does reach the row, though the cache never held it.
  SqliteDefaults::open(file())->remove("bad");
  EXPECT_FALSE(RawDatabase(file()).text("SELECT value FROM defaults WHERE key = 'bad'"));
}

TEST_F(SqliteDefaultsTest, FailedWriteLogsKeepsTheValueAndIsRetried) {
  auto store = SqliteDefaults::open(file());
  store->set("small", 1);

  // Files may not grow past the limit, as on a full disk; even root cannot get around this.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction previousAction {};
  sigaction(SIGXFSZ, &ignore, &previousAction);
  rlimit previousLimit{};
  getrlimit(RLIMIT_FSIZE, &previousLimit);
  rlimit limit = previousLimit;
  limit.rlim_cur = 64 * 1024;
  setrlimit(RLIMIT_FSIZE, &limit);
  {
    LogCapture log;
    store->set("history", bigValue(3));
    {
      Defaults::Batch batch(*store);
      store->set("inBatch", bigValue(4));
    }
    setrlimit(RLIMIT_FSIZE, &previousLimit);
    sigaction(SIGXFSZ, &previousAction, nullptr);
    ASSERT_GE(log.lines.size(), 2u);
    EXPECT_NE(log.lines[0].find("[Defaults] Could not save \"history\""), std::string::npos)
        << log.lines[0];
  }
  EXPECT_EQ(store->object("history"), bigValue(3));

  // Setting the same value again still writes it, now that there is room.
  LogCapture log;
  store->set("history", bigValue(3));
  store->set("inBatch", bigValue(4));
  store->set("small", 2);
  EXPECT_TRUE(log.lines.empty());
  store.reset();
  store = SqliteDefaults::open(file());
  EXPECT_EQ(store->object("history"), bigValue(3));
  EXPECT_EQ(store->object("inBatch"), bigValue(4));
  EXPECT_EQ(store->object("small"), PropertyList(2));
}

// Makes the folder read-only the way a user meets it: a read-only mount where the test may mount
// (as root, whom permissions do not stop), else the folder's and the file's permissions.
class ReadOnly {
 public:
  explicit ReadOnly(std::string folder) : folder_(std::move(folder)) {}
  ReadOnly(const ReadOnly&) = delete;
  ReadOnly& operator=(const ReadOnly&) = delete;
  ~ReadOnly() {
    if (mounted_) {
      umount2(folder_.c_str(), MNT_DETACH);
    } else {
      chmod(folder_.c_str(), 0700);
    }
  }

  // Mounts an empty file system over the folder, to be filled before `seal`.
  bool prepare() {
    mounted_ = mount("orvel-test", folder_.c_str(), "tmpfs", 0, "mode=0700") == 0;
    return mounted_ || geteuid() != 0;
  }
  bool seal() {
    if (mounted_) {
      return mount(nullptr, folder_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    for (const auto& entry : fs::directory_iterator(folder_)) {
      chmod(entry.path().c_str(), 0400);
    }
    return chmod(folder_.c_str(), 0500) == 0;
  }

 private:
  std::string folder_;
  bool mounted_ = false;
};

TEST_F(SqliteDefaultsTest, AStoreThatCannotBeWrittenIsReadAndChangesStayInMemory) {
  const std::string folder = folder_.path() + "/Wendle";
  fs::create_directories(folder);
  ReadOnly readOnly(folder);
  if (!readOnly.prepare()) {
    GTEST_SKIP() << "cannot mount a file system here";
  }
  {
    auto store = SqliteDefaults::open(file());
    store->set("lastPlaybackPositions", PropertyList(PropertyList::Dictionary{{"clip", 20.0}}));
    store->set("history", bigValue(3));
  }
  ASSERT_TRUE(readOnly.seal());
  const std::string before = readFile(file());

  LogCapture log;
  auto store = SqliteDefaults::open(file());
  EXPECT_FALSE(store->isPersistent());
  EXPECT_EQ(store->object("lastPlaybackPositions"),
            PropertyList(PropertyList::Dictionary{{"clip", 20.0}}));
  EXPECT_EQ(store->object("history"), bigValue(3));
  ASSERT_FALSE(log.lines.empty());
  EXPECT_NE(log.lines[0].find("Cannot write"), std::string::npos) << log.lines[0];
  EXPECT_TRUE(asideFiles().empty());

  store->set("history", bigValue(4));
  store->remove("lastPlaybackPositions");
  EXPECT_EQ(store->object("history"), bigValue(4));
  EXPECT_FALSE(store->object("lastPlaybackPositions"));
  EXPECT_EQ(readFile(file()), before);
}

TEST_F(SqliteDefaultsTest, UnusablePathFallsBackToMemory) {
  writeFile(folder_.path() + "/Wendle", "a file where the folder should be");
  LogCapture log;
  auto store = SqliteDefaults::open(file());
  EXPECT_FALSE(store->isPersistent());
  EXPECT_FALSE(log.lines.empty());
  store->set("volume", 0.5);
  {
    Defaults::Batch batch(*store);
    store->set("muted", true);
  }
  EXPECT_EQ(store->object("volume"), PropertyList(0.5));
  EXPECT_EQ(store->object("muted"), PropertyList(true));
}

}  // namespace
}  // namespace orvel
