#include "service/store/poolStore.h"

#include <fcntl.h>
#include <unistd.h>

#include <iterator>
#include <utility>

#include "service/store/sqliteCalls.h"

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
    "CREATE INDEX IF NOT EXISTS proxies_last_checked ON proxies (last_checked);"
    "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL);";

// The store's layout moves forward by these steps, each run once, in order, in one transaction with the
// new version number: step N takes a store of version N to N + 1. A store made by the first service has
// the first table and no version row: version 1.
constexpr const char* kMigrations[] = {
    // 1 → 2: how an entry is reached (scheme, credentials), the protocols it works as, its anonymity
    // grade and its exit. The first checker checked plain HTTP only: a live entry is an HTTP proxy.
    "ALTER TABLE proxies ADD COLUMN scheme INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE proxies ADD COLUMN username TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE proxies ADD COLUMN password TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE proxies ADD COLUMN protocols INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE proxies ADD COLUMN failed_protocols INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE proxies ADD COLUMN probed_at INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE proxies ADD COLUMN anonymity INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE proxies ADD COLUMN exit_address TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE proxies ADD COLUMN exit_province TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE proxies ADD COLUMN exit_city TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE proxies ADD COLUMN exit_carrier TEXT NOT NULL DEFAULT '';"
    "UPDATE proxies SET protocols = 1 WHERE last_checked > 0 AND failures = 0;",
};
constexpr std::int64_t kSchemaVersion = 1 + static_cast<std::int64_t>(std::size(kMigrations));

// Brings the layout up to this service's version; a store from a newer service is refused, never
// written in a layout it does not know.
void migrate(sqlite3* db) {
  std::int64_t version = 1;
  {
    Statement select(db, "SELECT MAX(version) FROM schema_version");
    if (select.step() && !select.isNull(0)) version = select.integer(0);
  }
  if (version > kSchemaVersion) {
    throw StoreError("the store was made by a newer quorvelip-service (its layout is version " +
                     std::to_string(version) + ", this one knows up to " + std::to_string(kSchemaVersion) + ")");
  }
  for (; version < kSchemaVersion; ++version) {
    Transaction transaction(db);
    execute(db, kMigrations[version - 1]);
    execute(db, "DELETE FROM schema_version");
    Statement(db, "INSERT INTO schema_version (version) VALUES (?1)").bind(1, version + 1).run();
    transaction.commit();
  }
}

// The store holds proxies' credentials as given: a new file is made readable by its owner alone (SQLite
// gives its journal and WAL files the same mode).
void createPrivately(const std::string& path) {
  if (path.empty() || path == ":memory:") return;
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0) ::close(fd);
}

// A read of a damaged table ends where the damage is, so a damaged store would be served in part:
// it is refused before anything is read from it.
void refuseDamaged(sqlite3* db) {
  constexpr int kFindings = 3;
  Statement quickCheck(db, "PRAGMA quick_check(3)");
  std::string findings;
  for (int found = 0; found < kFindings && quickCheck.step();) {
    std::string finding = quickCheck.text(0);
    if (finding == "ok") continue;
    for (char& c : finding) c = c == '\n' ? ' ' : c;
    findings += (found++ ? "; " : "") + finding;
  }
  if (!findings.empty()) throw StoreError("the store is damaged: " + findings);
}

// Runs `call`; false with its message when it failed.
template <class Call>
bool reported(std::string& error, Call&& call) {
  try {
    call();
    return true;
  } catch (const StoreError& failure) {
    error = failure.what();
    return false;
  }
}

std::size_t rows(sqlite3* db) {
  Statement select(db, "SELECT COUNT(*) FROM proxies");
  return select.step() ? static_cast<std::size_t>(select.integer(0)) : 0;
}

}  // namespace

std::unique_ptr<PoolStore> PoolStore::open(const std::string& path, std::string& error, StoreSettings settings) {
  createPrivately(path);
  sqlite3* db = nullptr;
  int status =
      sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
  if (status != SQLITE_OK) {
    error = storeMessage(db, status);
    sqlite3_close(db);
    return nullptr;
  }
  try {
    check(db, sqlite3_busy_timeout(db, settings.busyTimeoutMs));
    refuseDamaged(db);
    // WAL: readers see the last commit while the checker writes. NORMAL: a commit survives a crash of
    // the process (not of the machine) without an fsync per check.
    execute(db, "PRAGMA journal_mode=WAL");
    execute(db, "PRAGMA synchronous=NORMAL");
    execute(db, kSchema);
    migrate(db);
  } catch (const StoreError& failure) {
    int code = sqlite3_errcode(db) & 0xFF;
    error = code == SQLITE_CORRUPT  ? std::string("the store is damaged: ") + failure.what()
            : code == SQLITE_NOTADB ? std::string("not a store: ") + failure.what()
                                    : failure.what();
    sqlite3_close(db);
    return nullptr;
  }
  return std::unique_ptr<PoolStore>(new PoolStore(db, settings));
}

PoolStore::~PoolStore() {
  sqlite3_close(db_);
}

MergeCounts PoolStore::add(const std::vector<NewProxy>& proxies, std::string_view source, std::int64_t now) {
  MergeCounts counts;
  Transaction transaction(db_);
  std::size_t held = rows(db_);
  Statement insert(
      db_,
      "INSERT INTO proxies (address, port, province, city, carrier, source, first_seen, scheme, username,"
      " password) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10) ON CONFLICT (address, port) DO NOTHING");
  // A source that names no scheme or credentials leaves those already known: a bare re-listing of an
  // address must not lose how to reach it.
  Statement update(db_,
                   "UPDATE proxies SET province = ?3, city = ?4, carrier = ?5, source = ?6,"
                   " scheme = CASE WHEN ?7 = 0 THEN scheme ELSE ?7 END,"
                   " username = CASE WHEN ?8 = '' AND ?9 = '' THEN username ELSE ?8 END,"
                   " password = CASE WHEN ?8 = '' AND ?9 = '' THEN password ELSE ?9 END"
                   " WHERE address = ?1 AND port = ?2");
  for (const NewProxy& proxy : proxies) {
    insert.bind(1, proxy.address).bind(2, proxy.port).bind(3, proxy.province).bind(4, proxy.city);
    insert.bind(5, proxy.carrier).bind(6, source).bind(7, now).bind(8, proxy.scheme).bind(9, proxy.username);
    insert.bind(10, proxy.password).run();
    if (sqlite3_changes(db_) > 0) {
      ++counts.added;
      continue;
    }
    update.bind(1, proxy.address).bind(2, proxy.port).bind(3, proxy.province).bind(4, proxy.city);
    update.bind(5, proxy.carrier).bind(6, source).bind(7, proxy.scheme).bind(8, proxy.username);
    update.bind(9, proxy.password).run();
    ++counts.merged;
  }
  if (held + counts.added > settings_.maxEntries) {
    throw StoreError("the store would hold " + std::to_string(held + counts.added) + " entries, over its cap of " +
                     std::to_string(settings_.maxEntries) + " (it holds " + std::to_string(held) + ", " +
                     std::to_string(counts.added) + " would be new)");
  }
  transaction.commit();
  return counts;
}

bool PoolStore::add(const std::vector<NewProxy>& proxies, std::string_view source, std::int64_t now,
                    MergeCounts& counts, std::string& error) {
  return reported(error, [&] { counts = add(proxies, source, now); });
}

std::vector<StoredProxy> PoolStore::all() {
  std::vector<StoredProxy> result;
  Statement select(db_,
                   "SELECT id, address, port, province, city, carrier, source, first_seen, last_checked,"
                   " last_alive, failures, latency_ms, scheme, username, password, protocols, failed_protocols,"
                   " probed_at, anonymity, exit_address, exit_province, exit_city, exit_carrier"
                   " FROM proxies ORDER BY id");
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
    proxy.scheme = static_cast<ProtocolSet>(select.integer(12));
    proxy.username = select.text(13);
    proxy.password = select.text(14);
    proxy.protocols = static_cast<ProtocolSet>(select.integer(15));
    proxy.failedProtocols = static_cast<ProtocolSet>(select.integer(16));
    proxy.probedAt = select.integer(17);
    proxy.anonymity = static_cast<Anonymity>(select.integer(18));
    proxy.exit = {select.text(19), select.text(20), select.text(21), select.text(22)};
    result.push_back(std::move(proxy));
  }
  return result;
}

bool PoolStore::all(std::vector<StoredProxy>& proxies, std::string& error) {
  return reported(error, [&] { proxies = all(); });
}

std::size_t PoolStore::count() {
  return rows(db_);
}

bool PoolStore::count(std::size_t& entries, std::string& error) {
  return reported(error, [&] { entries = rows(db_); });
}

std::vector<DueProxy> PoolStore::due(std::int64_t now, std::int64_t everySeconds) {
  std::vector<DueProxy> result;
  Statement select(db_,
                   "SELECT id, address, port, scheme, username, password, protocols, failed_protocols, probed_at"
                   " FROM proxies WHERE last_checked <= ?1 ORDER BY last_checked, id");
  select.bind(1, now - everySeconds);
  while (select.step()) {
    result.push_back({select.integer(0), select.text(1), static_cast<std::uint16_t>(select.integer(2)),
                      static_cast<ProtocolSet>(select.integer(3)), select.text(4), select.text(5),
                      static_cast<ProtocolSet>(select.integer(6)), static_cast<ProtocolSet>(select.integer(7)),
                      select.integer(8)});
  }
  return result;
}

bool PoolStore::due(std::int64_t now, std::int64_t everySeconds, std::vector<DueProxy>& proxies, std::string& error) {
  return reported(error, [&] { proxies = due(now, everySeconds); });
}

std::optional<std::int64_t> PoolStore::nextDue(std::int64_t everySeconds) {
  Statement select(db_, "SELECT MIN(last_checked) FROM proxies");
  if (!select.step() || select.isNull(0)) return std::nullopt;
  return select.integer(0) + everySeconds;
}

bool PoolStore::nextDue(std::int64_t everySeconds, std::optional<std::int64_t>& next, std::string& error) {
  return reported(error, [&] { next = nextDue(everySeconds); });
}

void PoolStore::writeChecks(const std::vector<CheckRecord>& records) {
  Transaction transaction(db_);
  Statement alive(db_,
                  "UPDATE proxies SET last_checked = ?2, last_alive = ?2, failures = 0, latency_ms = ?3,"
                  " protocols = ?4, failed_protocols = ?5, probed_at = CASE WHEN ?6 THEN ?2 ELSE probed_at END,"
                  " anonymity = ?7, exit_address = ?8, exit_province = ?9, exit_city = ?10, exit_carrier = ?11"
                  " WHERE id = ?1");
  Statement failed(db_, "UPDATE proxies SET last_checked = ?2, failures = failures + 1 WHERE id = ?1");
  for (const CheckRecord& record : records) {
    if (record.alive) {
      alive.bind(1, record.id).bind(2, record.checkedAt).bind(3, record.latencyMs).bind(4, record.protocols);
      alive.bind(5, record.failedProtocols).bind(6, record.probedAll ? 1 : 0);
      alive.bind(7, static_cast<std::int64_t>(record.anonymity)).bind(8, record.exit.address);
      alive.bind(9, record.exit.province).bind(10, record.exit.city).bind(11, record.exit.carrier).run();
    } else {
      failed.bind(1, record.id).bind(2, record.checkedAt).run();
    }
  }
  transaction.commit();
}

bool PoolStore::recordChecks(const std::vector<CheckRecord>& records, std::string& error) {
  return reported(error, [&] { writeChecks(records); });
}

void PoolStore::recordCheck(std::int64_t id, bool alive, std::uint32_t latencyMs, std::int64_t now) {
  CheckRecord record;
  record.id = id;
  record.alive = alive;
  record.latencyMs = latencyMs;
  record.checkedAt = now;
  writeChecks({record});
}

bool PoolStore::recordCheck(std::int64_t id, bool alive, std::uint32_t latencyMs, std::int64_t now,
                            std::string& error) {
  return reported(error, [&] { recordCheck(id, alive, latencyMs, now); });
}

std::int64_t PoolStore::dataVersion() {
  Statement select(db_, "PRAGMA data_version");
  return select.step() ? select.integer(0) : 0;
}

bool PoolStore::dataVersion(std::int64_t& version, std::string& error) {
  return reported(error, [&] { version = dataVersion(); });
}
