#pragma once
// One libpq connection, every call checked: a failure throws StoreError with the server's message
// (never the URI's password), in the store's words where it has them ("store busy: another process holds
// it", "database or disk is full", "the database is unreachable: …"). A connection that was lost is
// made again at the next call; the caller is told through reconnects().
#include <libpq-fe.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "service/store/storeError.h"

class PgResult {
 public:
  explicit PgResult(PGresult* result = nullptr) : result_(result) {}
  ~PgResult() { PQclear(result_); }
  PgResult(PgResult&& other) noexcept : result_(other.result_) { other.result_ = nullptr; }
  PgResult& operator=(PgResult&& other) noexcept;
  PgResult(const PgResult&) = delete;
  PgResult& operator=(const PgResult&) = delete;

  int rows() const { return PQntuples(result_); }
  std::string_view text(int row, int column) const {
    return {PQgetvalue(result_, row, column), static_cast<std::size_t>(PQgetlength(result_, row, column))};
  }
  std::int64_t integer(int row, int column) const;
  bool boolean(int row, int column) const { return text(row, column) == "t"; }

 private:
  PGresult* result_;
};

class PgSession {
 public:
  // Connects (libpq's environment honoured; a connect timeout of 10 s unless PGCONNECT_TIMEOUT or the URI
  // says otherwise). Throws StoreError when it cannot.
  PgSession(std::string target, int lockTimeoutMs);
  ~PgSession();
  PgSession(const PgSession&) = delete;
  PgSession& operator=(const PgSession&) = delete;

  // Makes the connection again when it was lost; throws when the server is still away.
  void ensure();
  // Times the connection was made again since it was opened.
  std::int64_t reconnects() const { return reconnects_; }
  int backendPid() const { return PQbackendPID(conn_); }
  bool listening() const { return listening_; }

  // Runs one statement (text parameters); throws unless it succeeded.
  PgResult run(const std::string& sql, const std::vector<std::string>& parameters = {});
  // Runs statements without parameters, several allowed.
  void execute(const std::string& sql);
  // COPY … FROM STDIN with these rows (COPY's text format, each line ended), all or nothing.
  void copyIn(const std::string& sql, const std::string& rows);
  // Notifications from other connections on the channel since the last look; throws when the connection
  // was lost.
  std::size_t takeNotifications();

  // A message of the session's own, without the password.
  StoreError failure(const std::string& message) const;

 private:
  void connect();
  void prepareSession();
  StoreError failureOf(PGresult* result) const;

  std::string target_;
  int lockTimeoutMs_;
  PGconn* conn_ = nullptr;
  std::int64_t reconnects_ = 0;
  bool listening_ = false;
};

// Where every change is announced.
inline constexpr char kChangeChannel[] = "quorvelip_pool";

// An array parameter (PostgreSQL's text form) of numbers or texts.
std::string pgArray(const std::vector<std::int64_t>& values);
std::string pgArray(const std::vector<std::string>& values);
// A value for COPY's text format: backslash, tab, newline and carriage return escaped.
void appendCopyField(std::string& line, std::string_view value);
