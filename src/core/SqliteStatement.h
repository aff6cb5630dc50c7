// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

struct sqlite3;
struct sqlite3_stmt;

namespace orvel {

// A prepared SQLite statement, finalized when it goes away. Bindings last until the next
// reset(), which run() and the end of a row loop do for the caller.
class SqliteStatement {
 public:
  SqliteStatement() = default;
  SqliteStatement(SqliteStatement&& other) noexcept;
  SqliteStatement& operator=(SqliteStatement&& other) noexcept;
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;
  ~SqliteStatement();

  // None when the SQL does not compile against this database; sqlite3_errmsg says why.
  static std::optional<SqliteStatement> prepare(sqlite3* database, std::string_view sql);

  // Parameters count from 1, as in SQL's "?1".
  bool bindText(int parameter, std::string_view text);
  bool bindBlob(int parameter, const std::uint8_t* bytes, std::size_t size);

  // Steps once: SQLITE_ROW, SQLITE_DONE or an error code. The statement is reset on anything
  // but a row, so the next use starts over.
  int step();
  // Steps to the end for a statement that returns no rows: SQLITE_DONE or an error code.
  int run();
  void reset();

  std::string_view columnText(int column) const;
  // The column's bytes, valid until the next step or reset.
  std::pair<const std::uint8_t*, std::size_t> columnBlob(int column) const;
  std::int64_t columnInt(int column) const;

 private:
  explicit SqliteStatement(sqlite3_stmt* statement) : statement_(statement) {}

  sqlite3_stmt* statement_ = nullptr;
};

}  // namespace orvel
