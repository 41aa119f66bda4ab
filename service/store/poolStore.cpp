#include "service/store/poolStore.h"

#include <utility>

namespace {

constexpr char kSchema[] =
    "CREATE TABLE IF NOT EXISTS proxies ("
    " id INTEGER PRIMARY KEY,"
    " address TEXT NOT NULL,"
    " port INTEGER NOT NULL,"
    " province TEXT NOT NULL DEFAULT '',"
    " city TEXT NOT NULL DEFAULT '',"
    " carrier TEXT NOT NULL DEFAULT '',"
    " source TEXT NOT NULL DEFAULT '',"
    " first_seen INTEGER NOT NULL,"
    " last_checked INTEGER NOT NULL DEFAULT 0,"
    " last_alive INTEGER NOT NULL DEFAULT 0,"
    " failures INTEGER NOT NULL DEFAULT 0,"
    " latency_ms INTEGER NOT NULL DEFAULT 0,"
    " UNIQUE (address, port));"
    "CREATE INDEX IF NOT EXISTS proxies_last_checked ON proxies (last_checked);";

// A prepared statement, finalised when it goes.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr); }
  ~Statement() { sqlite3_finalize(statement_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& bind(int at, std::int64_t value) {
    sqlite3_bind_int64(statement_, at, value);
    return *this;
  }
  Statement& bind(int at, std::string_view value) {
    sqlite3_bind_text(statement_, at, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    return *this;
  }
  // True while there is a row to read.
  bool step() { return sqlite3_step(statement_) == SQLITE_ROW; }
  void reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
  }
  std::int64_t integer(int column) { return sqlite3_column_int64(statement_, column); }
  bool isNull(int column) { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }
  std::string text(int column) {
    const unsigned char* value = sqlite3_column_text(statement_, column);
    return value ? std::string(reinterpret_cast<const char*>(value), sqlite3_column_bytes(statement_, column))
                 : std::string();
  }

 private:
  sqlite3_stmt* statement_ = nullptr;
};

void execute(sqlite3* db, const char* sql) {
  sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

}  // namespace

std::unique_ptr<PoolStore> PoolStore::open(const std::string& path, std::string& error) {
  sqlite3* db = nullptr;
  int status =
      sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
  if (status == SQLITE_OK) {
    // The server's checker and a one-shot import may write at the same time: wait for each other.
    sqlite3_busy_timeout(db, 10000);
    // WAL: readers see the last commit while the checker writes. NORMAL: a commit survives a crash of
    // the process (not of the machine) without an fsync per check.
    status = sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", nullptr, nullptr, nullptr);
  }
  if (status == SQLITE_OK) status = sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr);
  if (status != SQLITE_OK) {
    error = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    return nullptr;
  }
  return std::unique_ptr<PoolStore>(new PoolStore(db));
}

PoolStore::~PoolStore() {
  sqlite3_close(db_);
}

MergeCounts PoolStore::add(const std::vector<NewProxy>& proxies, std::string_view source, std::int64_t now) {
  MergeCounts counts;
  execute(db_, "BEGIN IMMEDIATE");
  Statement insert(db_,
                   "INSERT INTO proxies (address, port, province, city, carrier, source, first_seen)"
                   " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7) ON CONFLICT (address, port) DO NOTHING");
  Statement update(db_,
                   "UPDATE proxies SET province = ?3, city = ?4, carrier = ?5, source = ?6"
                   " WHERE address = ?1 AND port = ?2");
  for (const NewProxy& proxy : proxies) {
    insert.bind(1, proxy.address).bind(2, proxy.port).bind(3, proxy.province).bind(4, proxy.city);
    insert.bind(5, proxy.carrier).bind(6, source).bind(7, now).step();
    insert.reset();
    if (sqlite3_changes(db_) > 0) {
      ++counts.added;
      continue;
    }
    update.bind(1, proxy.address).bind(2, proxy.port).bind(3, proxy.province).bind(4, proxy.city);
    update.bind(5, proxy.carrier).bind(6, source).step();
    update.reset();
    ++counts.merged;
  }
  execute(db_, "COMMIT");
  return counts;
}

std::vector<StoredProxy> PoolStore::all() {
  std::vector<StoredProxy> result;
  Statement select(db_,
                   "SELECT id, address, port, province, city, carrier, source, first_seen, last_checked,"
                   " last_alive, failures, latency_ms FROM proxies ORDER BY id");
  while (select.step()) {
    StoredProxy proxy;
    proxy.id = select.integer(0);
    proxy.address = select.text(1);
    proxy.port = static_cast<std::uint16_t>(select.integer(2));
    proxy.province = select.text(3);
    proxy.city = select.text(4);
    proxy.carrier = select.text(5);
    proxy.source = select.text(6);
    proxy.firstSeen = select.integer(7);
    proxy.lastChecked = select.integer(8);
    proxy.lastAlive = select.integer(9);
    proxy.failures = static_cast<int>(select.integer(10));
    proxy.latencyMs = static_cast<std::uint32_t>(select.integer(11));
    result.push_back(std::move(proxy));
  }
  return result;
}

std::size_t PoolStore::count() {
  Statement select(db_, "SELECT COUNT(*) FROM proxies");
  return select.step() ? static_cast<std::size_t>(select.integer(0)) : 0;
}

std::vector<DueProxy> PoolStore::due(std::int64_t now, std::int64_t everySeconds) {
  std::vector<DueProxy> result;
  Statement select(db_, "SELECT id, address, port FROM proxies WHERE last_checked <= ?1 ORDER BY last_checked, id");
  select.bind(1, now - everySeconds);
  while (select.step()) {
    result.push_back({select.integer(0), select.text(1), static_cast<std::uint16_t>(select.integer(2))});
  }
  return result;
}

std::optional<std::int64_t> PoolStore::nextDue(std::int64_t everySeconds) {
  Statement select(db_, "SELECT MIN(last_checked) FROM proxies");
  if (!select.step() || select.isNull(0)) return std::nullopt;
  return select.integer(0) + everySeconds;
}

void PoolStore::recordCheck(std::int64_t id, bool alive, std::uint32_t latencyMs, std::int64_t now) {
  Statement update(db_, alive ? "UPDATE proxies SET last_checked = ?2, last_alive = ?2, failures = 0, latency_ms = ?3"
                                " WHERE id = ?1"
                              : "UPDATE proxies SET last_checked = ?2, failures = failures + 1 WHERE id = ?1");
  update.bind(1, id).bind(2, now);
  if (alive) update.bind(3, latencyMs);
  update.step();
}

bool PoolStore::recordChecks(const std::vector<CheckRecord>& records, std::string& error) {
  auto fail = [&] {
    error = sqlite3_errmsg(db_);
    if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
  };
  if (sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) return fail();
  sqlite3_stmt* alive = nullptr;
  sqlite3_stmt* failed = nullptr;
  bool ok = sqlite3_prepare_v2(db_,
                               "UPDATE proxies SET last_checked = ?2, last_alive = ?2, failures = 0, latency_ms = ?3"
                               " WHERE id = ?1",
                               -1, &alive, nullptr) == SQLITE_OK &&
            sqlite3_prepare_v2(db_, "UPDATE proxies SET last_checked = ?2, failures = failures + 1 WHERE id = ?1", -1,
                               &failed, nullptr) == SQLITE_OK;
  for (std::size_t at = 0; ok && at < records.size(); ++at) {
    const CheckRecord& record = records[at];
    sqlite3_stmt* update = record.alive ? alive : failed;
    sqlite3_bind_int64(update, 1, record.id);
    sqlite3_bind_int64(update, 2, record.checkedAt);
    if (record.alive) sqlite3_bind_int64(update, 3, record.latencyMs);
    ok = sqlite3_step(update) == SQLITE_DONE;
    sqlite3_reset(update);
  }
  if (ok) ok = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
  if (!ok) fail();
  sqlite3_finalize(alive);
  sqlite3_finalize(failed);
  return ok;
}

std::int64_t PoolStore::dataVersion() {
  Statement select(db_, "PRAGMA data_version");
  return select.step() ? select.integer(0) : 0;
}
