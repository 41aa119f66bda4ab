#include "service/store/sqliteCalls.h"

std::string storeMessage(sqlite3* db, int code) {
  if ((code & 0xFF) == SQLITE_BUSY) return "store busy: another process holds it";
  return db ? sqlite3_errmsg(db) : sqlite3_errstr(code);
}

void check(sqlite3* db, int code) {
  if (code != SQLITE_OK) throw StoreError(storeMessage(db, code));
}

void execute(sqlite3* db, const char* sql) {
  check(db, sqlite3_exec(db, sql, nullptr, nullptr, nullptr));
}

Statement::Statement(sqlite3* db, const char* sql) : db_(db) {
  check(db_, sqlite3_prepare_v2(db_, sql, -1, &statement_, nullptr));
}

Statement& Statement::bind(int at, std::int64_t value) {
  check(db_, sqlite3_bind_int64(statement_, at, value));
  return *this;
}

Statement& Statement::bind(int at, std::string_view value) {
  check(db_, sqlite3_bind_text(statement_, at, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT));
  return *this;
}

bool Statement::step() {
  int code = sqlite3_step(statement_);
  if (code == SQLITE_ROW) return true;
  if (code != SQLITE_DONE) throw StoreError(storeMessage(db_, code));
  return false;
}

void Statement::run() {
  while (step()) {
  }
  check(db_, sqlite3_reset(statement_));
  check(db_, sqlite3_clear_bindings(statement_));
}

std::string Statement::text(int column) {
  const unsigned char* value = sqlite3_column_text(statement_, column);
  if (!value && sqlite3_errcode(db_) == SQLITE_NOMEM) throw StoreError(storeMessage(db_, SQLITE_NOMEM));
  return value ? std::string(reinterpret_cast<const char*>(value), sqlite3_column_bytes(statement_, column))
               : std::string();
}

std::string_view Statement::view(int column) {
  const unsigned char* value = sqlite3_column_text(statement_, column);
  if (!value && sqlite3_errcode(db_) == SQLITE_NOMEM) throw StoreError(storeMessage(db_, SQLITE_NOMEM));
  return value ? std::string_view(reinterpret_cast<const char*>(value), sqlite3_column_bytes(statement_, column))
               : std::string_view();
}

Transaction::Transaction(sqlite3* db) : db_(db) {
  execute(db_, "BEGIN IMMEDIATE");
}

Transaction::~Transaction() {
  // SQLite may already have rolled back after a full disk or an I/O error.
  if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::commit() {
  execute(db_, "COMMIT");
}
