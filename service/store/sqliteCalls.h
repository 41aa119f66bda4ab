#pragma once
// SQLite calls whose every return code is checked: a failure throws StoreError with the store's
// message, taken before anything else runs on the connection.
#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "service/store/storeError.h"

// The message for a failed call: SQLite's own, or for a busy store one that says what to do.
std::string storeMessage(sqlite3* db, int code);

// Throws StoreError unless `code` is SQLITE_OK.
void check(sqlite3* db, int code);

// Runs SQL without results.
void execute(sqlite3* db, const char* sql);

// A prepared statement, finalised when it goes.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql);
  ~Statement() { sqlite3_finalize(statement_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& bind(int at, std::int64_t value);
  Statement& bind(int at, std::string_view value);
  // True while there is a row to read; false when done.
  bool step();
  // Runs a statement without rows and makes it ready to run again.
  void run();
  std::int64_t integer(int column) { return sqlite3_column_int64(statement_, column); }
  bool isNull(int column) { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }
  std::string text(int column);
  // The same without a copy, valid until the next step.
  std::string_view view(int column);

 private:
  sqlite3* db_;
  sqlite3_stmt* statement_ = nullptr;
};

// BEGIN IMMEDIATE: the write lock is taken at the start, so a held store makes the transaction wait
// once here (the connection's busy timeout) and nothing after it waits. Rolled back when it goes
// uncommitted, so a failure anywhere inside writes nothing.
class Transaction {
 public:
  explicit Transaction(sqlite3* db);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  void commit();

 private:
  sqlite3* db_;
};
