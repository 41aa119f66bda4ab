#include "service/store/pgSession.h"

#include <charconv>
#include <cstdlib>

#include "service/store/storeTarget.h"

namespace {

// SQLSTATEs the store names in its own words, as the SQLite engine does.
constexpr std::string_view kLockNotAvailable = "55P03";
constexpr std::string_view kDiskFull = "53100";
constexpr std::string_view kReadOnly = "25006";

std::string trimmed(const char* message) {
  std::string text = message ? message : "";
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  for (char& c : text) c = c == '\n' ? ' ' : c;
  return text;
}

}  // namespace

PgResult& PgResult::operator=(PgResult&& other) noexcept {
  if (this != &other) {
    PQclear(result_);
    result_ = other.result_;
    other.result_ = nullptr;
  }
  return *this;
}

std::int64_t PgResult::integer(int row, int column) const {
  std::string_view value = text(row, column);
  std::int64_t number = 0;
  std::from_chars(value.data(), value.data() + value.size(), number);
  return number;
}

PgSession::PgSession(std::string target, int lockTimeoutMs)
    : target_(std::move(target)), lockTimeoutMs_(lockTimeoutMs) {
  try {
    connect();
  } catch (...) {
    // No destructor runs for a constructor that throws: the failed connection is freed here.
    PQfinish(conn_);
    conn_ = nullptr;
    throw;
  }
}

PgSession::~PgSession() {
  PQfinish(conn_);
}

void PgSession::connect() {
  // The URI goes to libpq as it is and its own settings win (dbname is expanded last). Our defaults: a
  // connect timeout where the environment names none, and a connection whose peer went silent (a host
  // gone, a dropped network) is given up within about half a minute rather than the system's two hours,
  // so a query never hangs the store thread.
  const char* keywords[] = {"connect_timeout",
                            "keepalives_idle",
                            "keepalives_interval",
                            "keepalives_count",
                            "tcp_user_timeout",
                            "dbname",
                            nullptr};
  const char* values[] = {"10", "10", "5", "3", "30000", target_.c_str(), nullptr};
  int first = std::getenv("PGCONNECT_TIMEOUT") ? 1 : 0;
  conn_ = PQconnectdbParams(keywords + first, values + first, 1);
  if (!conn_) throw StoreError("the database is unreachable: out of memory");
  // The server's notices (a shutdown's warning) are not ours to print: failures reach the caller.
  PQsetNoticeProcessor(
      conn_, [](void*, const char*) {}, nullptr);
  if (PQstatus(conn_) != CONNECTION_OK) {
    throw failure("the database is unreachable: " + trimmed(PQerrorMessage(conn_)));
  }
  prepareSession();
}

// A write waits for another writer's rows at most the busy timeout, as on SQLite; the channel is listened
// on where it can be (a read replica cannot: changes are then polled).
void PgSession::prepareSession() {
  execute("SET client_min_messages = warning; SET lock_timeout = " + std::to_string(lockTimeoutMs_));
  PGresult* listen = PQexec(conn_, (std::string("LISTEN ") + kChangeChannel).c_str());
  listening_ = PQresultStatus(listen) == PGRES_COMMAND_OK;
  PQclear(listen);
}

void PgSession::ensure() {
  if (PQstatus(conn_) == CONNECTION_OK) return;
  PQreset(conn_);
  if (PQstatus(conn_) != CONNECTION_OK) {
    throw failure("the database is unreachable: " + trimmed(PQerrorMessage(conn_)));
  }
  prepareSession();
  ++reconnects_;
}

StoreError PgSession::failure(const std::string& message) const {
  return StoreError(withoutSecret(message, target_));
}

StoreError PgSession::failureOf(PGresult* result) const {
  if (PQstatus(conn_) != CONNECTION_OK) {
    return failure("the database is unreachable: " + trimmed(PQerrorMessage(conn_)));
  }
  const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  std::string_view code = state ? state : "";
  if (code == kLockNotAvailable) return StoreError("store busy: another process holds it");
  if (code == kDiskFull) return StoreError("database or disk is full");
  const char* primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
  std::string message = primary ? trimmed(primary) : trimmed(PQerrorMessage(conn_));
  if (code == kReadOnly) message = "attempt to write a readonly database: " + message;
  return failure(message.empty() ? "the database failed" : message);
}

PgResult PgSession::run(const std::string& sql, const std::vector<std::string>& parameters) {
  ensure();
  std::vector<const char*> values;
  values.reserve(parameters.size());
  for (const std::string& parameter : parameters) values.push_back(parameter.c_str());
  PGresult* result =
      PQexecParams(conn_, sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(), nullptr, nullptr, 0);
  ExecStatusType status = PQresultStatus(result);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    StoreError error = failureOf(result);
    PQclear(result);
    throw error;
  }
  return PgResult(result);
}

void PgSession::execute(const std::string& sql) {
  if (PQstatus(conn_) != CONNECTION_OK) ensure();
  PGresult* result = PQexec(conn_, sql.c_str());
  ExecStatusType status = PQresultStatus(result);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    StoreError error = failureOf(result);
    PQclear(result);
    throw error;
  }
  PQclear(result);
}

void PgSession::copyIn(const std::string& sql, const std::string& rows) {
  PGresult* start = PQexec(conn_, sql.c_str());
  if (PQresultStatus(start) != PGRES_COPY_IN) {
    StoreError error = failureOf(start);
    PQclear(start);
    throw error;
  }
  PQclear(start);
  bool sent = PQputCopyData(conn_, rows.data(), static_cast<int>(rows.size())) == 1;
  PQputCopyEnd(conn_, sent ? nullptr : "not sent");
  bool failed = false;
  StoreError error("");
  while (PGresult* result = PQgetResult(conn_)) {
    if (PQresultStatus(result) != PGRES_COMMAND_OK && !failed) {
      failed = true;
      error = failureOf(result);
    }
    PQclear(result);
  }
  if (failed) throw error;
  if (!sent) throw failureOf(nullptr);
}

std::size_t PgSession::takeNotifications() {
  ensure();
  if (!PQconsumeInput(conn_)) throw failureOf(nullptr);
  std::size_t taken = 0;
  int own = PQbackendPID(conn_);
  while (PGnotify* notice = PQnotifies(conn_)) {
    if (notice->be_pid != own) ++taken;
    PQfreemem(notice);
  }
  return taken;
}

std::string pgArray(const std::vector<std::int64_t>& values) {
  std::string text = "{";
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i) text += ',';
    text += std::to_string(values[i]);
  }
  return text + "}";
}

std::string pgArray(const std::vector<std::string>& values) {
  std::string text = "{";
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i) text += ',';
    text += '"';
    for (char c : values[i]) {
      if (c == '"' || c == '\\') text += '\\';
      text += c;
    }
    text += '"';
  }
  return text + "}";
}

void appendCopyField(std::string& line, std::string_view value) {
  for (char c : value) {
    switch (c) {
      case '\\':
        line += "\\\\";
        break;
      case '\t':
        line += "\\t";
        break;
      case '\n':
        line += "\\n";
        break;
      case '\r':
        line += "\\r";
        break;
      default:
        line += c;
    }
  }
}
