// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/SqliteStatement.h"

#include <sqlite3.h>

#include <utility>

namespace orvel {

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : statement_(std::exchange(other.statement_, nullptr)) {}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept {
  if (this != &other) {
    sqlite3_finalize(statement_);
    statement_ = std::exchange(other.statement_, nullptr);
  }
  return *this;
}

SqliteStatement::~SqliteStatement() {
  sqlite3_finalize(statement_);
}

std::optional<SqliteStatement> SqliteStatement::prepare(sqlite3* database, std::string_view sql) {
  sqlite3_stmt* statement = nullptr;
  const int result = sqlite3_prepare_v3(database, sql.data(), static_cast<int>(sql.size()),
                                        SQLITE_PREPARE_PERSISTENT, &statement, nullptr);
  if (result != SQLITE_OK || !statement) {
    sqlite3_finalize(statement);
    return std::nullopt;
  }
  return SqliteStatement(statement);
}

bool SqliteStatement::bindText(int parameter, std::string_view text) {
  return sqlite3_bind_text64(statement_, parameter, text.data(), text.size(), SQLITE_TRANSIENT,
                             SQLITE_UTF8) == SQLITE_OK;
}

bool SqliteStatement::bindBlob(int parameter, const std::uint8_t* bytes, std::size_t size) {
  // A null pointer would bind SQL NULL rather than an empty blob.
  static const std::uint8_t kEmpty = 0;
  return sqlite3_bind_blob64(statement_, parameter, bytes ? bytes : &kEmpty, size,
                             SQLITE_TRANSIENT) == SQLITE_OK;
}

int SqliteStatement::step() {
  const int result = sqlite3_step(statement_);
  if (result != SQLITE_ROW) {
    reset();
  }
  return result;
}

int SqliteStatement::run() {
  int result = SQLITE_ROW;
  while (result == SQLITE_ROW) {
    result = step();
  }
  return result;
}

void SqliteStatement::reset() {
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
}

std::string_view SqliteStatement::columnText(int column) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
  const int size = sqlite3_column_bytes(statement_, column);
  return text ? std::string_view(text, static_cast<std::size_t>(size)) : std::string_view();
}

std::pair<const std::uint8_t*, std::size_t> SqliteStatement::columnBlob(int column) const {
  const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(statement_, column));
  const int size = sqlite3_column_bytes(statement_, column);
  return {bytes, static_cast<std::size_t>(size)};
}

std::int64_t SqliteStatement::columnInt(int column) const {
  return sqlite3_column_int64(statement_, column);
}

}  // namespace orvel
