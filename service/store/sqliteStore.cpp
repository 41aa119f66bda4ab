#include "service/store/sqliteStore.h"

#include <fcntl.h>
#include <unistd.h>

#include <utility>

#include "service/store/sqliteCalls.h"
#include "service/store/storeLayout.h"

namespace {

constexpr char kFirstLayout[] =
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

// The store's clock for leases, in milliseconds: every worker on one file shares this machine's clock.
#define QV_NOW_MS "CAST((julianday('now') - 2440587.5) * 86400000 AS INTEGER)"

constexpr char kDueColumns[] = "id, address, port, scheme, username, password, protocols, failed_protocols, probed_at";

DueProxy dueRow(Statement& row) {
  return {
      row.integer(0), row.text(1), static_cast<std::uint16_t>(row.integer(2)), static_cast<ProtocolSet>(row.integer(3)),
      row.text(4),    row.text(5), static_cast<ProtocolSet>(row.integer(6)),   static_cast<ProtocolSet>(row.integer(7)),
      row.integer(8)};
}

void migrate(sqlite3* db) {
  std::int64_t version = 1;
  {
    Statement select(db, "SELECT MAX(version) FROM schema_version");
    if (select.step() && !select.isNull(0)) version = select.integer(0);
  }
  if (version > kStoreLayoutVersion) throw StoreError(newerLayoutMessage(version));
  for (; version < kStoreLayoutVersion; ++version) {
    Transaction transaction(db);
    execute(db, kLayoutSteps[version - 1]);
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

std::size_t rows(sqlite3* db) {
  Statement select(db, "SELECT COUNT(*) FROM proxies");
  return select.step() ? static_cast<std::size_t>(select.integer(0)) : 0;
}

class SqliteStore;

// One source in one write transaction: each entry inserted, or merged into the one already there.
class SqliteImport : public StoreImport {
 public:
  SqliteImport(sqlite3* db, const SqliteStore& store, std::string_view source, std::int64_t now);
  void add(const std::vector<NewProxy>& chunk) override;
  MergeCounts commit() override;

 private:
  sqlite3* db_;
  const SqliteStore& store_;
  std::string source_;
  std::int64_t now_;
  Transaction transaction_;
  std::size_t held_;
  Statement insert_;
  Statement update_;
  MergeCounts counts_;
};

class SqliteStore : public PoolStore {
 public:
  SqliteStore(sqlite3* db, const std::string& path, StoreSettings settings) : PoolStore(path, settings), db_(db) {}
  ~SqliteStore() override { sqlite3_close(db_); }
  StoreError overCapOf(std::size_t held, std::size_t added) const { return overCap(held, added); }
  std::size_t maxEntries() const { return settings().maxEntries; }

 protected:
  std::unique_ptr<StoreImport> startImport(std::string_view source, std::int64_t now) override {
    return std::make_unique<SqliteImport>(db_, *this, source, now);
  }
  void readAll(const std::function<void(const StoredProxy&)>& visit) override;
  std::size_t countRows() override { return rows(db_); }
  bool anyChecked() override {
    Statement select(db_, "SELECT MAX(last_checked) FROM proxies");  // the due index answers it
    return select.step() && !select.isNull(0) && select.integer(0) != 0;
  }
  std::vector<DueProxy> readDue(std::int64_t now, std::int64_t everySeconds) override;
  std::optional<std::int64_t> earliestDue(std::int64_t everySeconds) override {
    Statement select(db_, "SELECT MIN(last_checked) FROM proxies");
    if (!select.step() || select.isNull(0)) return std::nullopt;
    return select.integer(0) + everySeconds;
  }
  std::vector<DueProxy> leaseDue(std::int64_t now, std::int64_t everySeconds, std::size_t most,
                                 std::int64_t leaseMs) override;
  std::size_t extendLeases(std::int64_t leaseMs) override;
  void dropLeases(const std::vector<std::int64_t>* ids) override;
  void writeChecks(const std::vector<CheckRecord>& records) override;
  std::int64_t changes() override {
    Statement select(db_, "PRAGMA data_version");
    return select.step() ? select.integer(0) : 0;
  }

 private:
  sqlite3* db_;
};

SqliteImport::SqliteImport(sqlite3* db, const SqliteStore& store, std::string_view source, std::int64_t now)
    : db_(db),
      store_(store),
      source_(source),
      now_(now),
      transaction_(db),
      held_(rows(db)),
      insert_(db,
              "INSERT INTO proxies (address, port, province, city, carrier, source, first_seen, scheme, username,"
              " password) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10) ON CONFLICT (address, port) DO NOTHING"),
      // A source that names no scheme or credentials leaves those already known: a bare re-listing of an
      // address must not lose how to reach it.
      update_(db,
              "UPDATE proxies SET province = ?3, city = ?4, carrier = ?5, source = ?6,"
              " scheme = CASE WHEN ?7 = 0 THEN scheme ELSE ?7 END,"
              " username = CASE WHEN ?8 = '' AND ?9 = '' THEN username ELSE ?8 END,"
              " password = CASE WHEN ?8 = '' AND ?9 = '' THEN password ELSE ?9 END"
              " WHERE address = ?1 AND port = ?2") {}

void SqliteImport::add(const std::vector<NewProxy>& chunk) {
  for (const NewProxy& proxy : chunk) {
    insert_.bind(1, proxy.address).bind(2, proxy.port).bind(3, proxy.province).bind(4, proxy.city);
    insert_.bind(5, proxy.carrier).bind(6, source_).bind(7, now_).bind(8, proxy.scheme).bind(9, proxy.username);
    insert_.bind(10, proxy.password).run();
    if (sqlite3_changes(db_) > 0) {
      ++counts_.added;
      continue;
    }
    update_.bind(1, proxy.address).bind(2, proxy.port).bind(3, proxy.province).bind(4, proxy.city);
    update_.bind(5, proxy.carrier).bind(6, source_).bind(7, proxy.scheme).bind(8, proxy.username);
    update_.bind(9, proxy.password).run();
    ++counts_.merged;
  }
}

MergeCounts SqliteImport::commit() {
  if (held_ + counts_.added > store_.maxEntries()) throw store_.overCapOf(held_, counts_.added);
  transaction_.commit();
  return counts_;
}

void SqliteStore::readAll(const std::function<void(const StoredProxy&)>& visit) {
  // One statement is one read transaction: a consistent view however long the visit takes.
  Statement select(db_,
                   "SELECT id, address, port, province, city, carrier, source, first_seen, last_checked,"
                   " last_alive, failures, latency_ms, scheme, username, password, protocols, failed_protocols,"
                   " probed_at, anonymity, exit_address, exit_province, exit_city, exit_carrier, checks"
                   " FROM proxies ORDER BY id");
  StoredProxy proxy;
  while (select.step()) {
    proxy.id = select.integer(0);
    proxy.address.assign(select.view(1));
    proxy.port = static_cast<std::uint16_t>(select.integer(2));
    proxy.province.assign(select.view(3));
    proxy.city.assign(select.view(4));
    proxy.carrier.assign(select.view(5));
    proxy.source.assign(select.view(6));
    proxy.firstSeen = select.integer(7);
    proxy.lastChecked = select.integer(8);
    proxy.lastAlive = select.integer(9);
    proxy.failures = static_cast<int>(select.integer(10));
    proxy.latencyMs = static_cast<std::uint32_t>(select.integer(11));
    proxy.scheme = static_cast<ProtocolSet>(select.integer(12));
    proxy.username.assign(select.view(13));
    proxy.password.assign(select.view(14));
    proxy.protocols = static_cast<ProtocolSet>(select.integer(15));
    proxy.failedProtocols = static_cast<ProtocolSet>(select.integer(16));
    proxy.probedAt = select.integer(17);
    proxy.anonymity = static_cast<Anonymity>(select.integer(18));
    proxy.exit.address.assign(select.view(19));
    proxy.exit.province.assign(select.view(20));
    proxy.exit.city.assign(select.view(21));
    proxy.exit.carrier.assign(select.view(22));
    proxy.checks = select.integer(23);
    visit(proxy);
  }
}

std::vector<DueProxy> SqliteStore::readDue(std::int64_t now, std::int64_t everySeconds) {
  std::vector<DueProxy> result;
  Statement select(
      db_, (std::string("SELECT ") + kDueColumns + " FROM proxies WHERE last_checked <= ?1 ORDER BY last_checked, id")
               .c_str());
  select.bind(1, now - everySeconds);
  while (select.step()) result.push_back(dueRow(select));
  return result;
}

std::vector<DueProxy> SqliteStore::leaseDue(std::int64_t now, std::int64_t everySeconds, std::size_t most,
                                            std::int64_t leaseMs) {
  std::vector<std::pair<std::int64_t, DueProxy>> claimed;  // with each one's last check, to order them
  Transaction transaction(db_);
  Statement claim(db_, (std::string("UPDATE proxies SET lease_owner = ?1, lease_until = " QV_NOW_MS " + ?2"
                                    " WHERE id IN (SELECT id FROM proxies WHERE last_checked <= ?3"
                                    " AND lease_until <= " QV_NOW_MS " ORDER BY last_checked, id LIMIT ?4)"
                                    " RETURNING ") +
                        kDueColumns + ", last_checked")
                           .c_str());
  claim.bind(1, owner()).bind(2, leaseMs).bind(3, now - everySeconds);
  claim.bind(4, static_cast<std::int64_t>(std::min<std::size_t>(most, INT64_MAX)));
  while (claim.step()) claimed.emplace_back(claim.integer(9), dueRow(claim));
  transaction.commit();
  return inDueOrder(std::move(claimed));
}

std::size_t SqliteStore::extendLeases(std::int64_t leaseMs) {
  Transaction transaction(db_);
  Statement(db_, "UPDATE proxies SET lease_until = " QV_NOW_MS " + ?2 WHERE lease_owner = ?1")
      .bind(1, owner())
      .bind(2, leaseMs)
      .run();
  std::size_t held = static_cast<std::size_t>(sqlite3_changes(db_));
  transaction.commit();
  return held;
}

void SqliteStore::dropLeases(const std::vector<std::int64_t>* ids) {
  Transaction transaction(db_);
  if (!ids) {
    Statement(db_, "UPDATE proxies SET lease_owner = '', lease_until = 0 WHERE lease_owner = ?1")
        .bind(1, owner())
        .run();
  } else {
    Statement release(db_, "UPDATE proxies SET lease_owner = '', lease_until = 0 WHERE id = ?2 AND lease_owner = ?1");
    for (std::int64_t id : *ids) release.bind(1, owner()).bind(2, id).run();
  }
  transaction.commit();
}

void SqliteStore::writeChecks(const std::vector<CheckRecord>& records) {
  Transaction transaction(db_);
  // Both kinds release the entry's lease when this connection holds it, in the same statement.
  Statement alive(db_,
                  "UPDATE proxies SET last_checked = ?2, last_alive = ?2, failures = 0, latency_ms = ?3,"
                  " protocols = ?4, failed_protocols = ?5, probed_at = CASE WHEN ?6 THEN ?2 ELSE probed_at END,"
                  " anonymity = ?7, exit_address = ?8, exit_province = ?9, exit_city = ?10, exit_carrier = ?11,"
                  " checks = checks + 1, lease_until = CASE WHEN lease_owner = ?12 THEN 0 ELSE lease_until END,"
                  " lease_owner = CASE WHEN lease_owner = ?12 THEN '' ELSE lease_owner END"
                  " WHERE id = ?1 AND last_checked <= ?2");
  Statement failed(db_,
                   "UPDATE proxies SET last_checked = ?2, failures = failures + 1, checks = checks + 1,"
                   " lease_until = CASE WHEN lease_owner = ?3 THEN 0 ELSE lease_until END,"
                   " lease_owner = CASE WHEN lease_owner = ?3 THEN '' ELSE lease_owner END"
                   " WHERE id = ?1 AND last_checked <= ?2");
  // An outcome older than the entry's last check (another worker checked it again meanwhile) is counted
  // and releases its lease, but never overrides the newer one. Rare: run only when the update above
  // found its entry newer.
  Statement late(db_,
                 "UPDATE proxies SET checks = checks + 1,"
                 " lease_until = CASE WHEN lease_owner = ?3 THEN 0 ELSE lease_until END,"
                 " lease_owner = CASE WHEN lease_owner = ?3 THEN '' ELSE lease_owner END"
                 " WHERE id = ?1 AND last_checked > ?2");
  for (const CheckRecord& record : records) {
    if (record.alive) {
      alive.bind(1, record.id).bind(2, record.checkedAt).bind(3, record.latencyMs).bind(4, record.protocols);
      alive.bind(5, record.failedProtocols).bind(6, record.probedAll ? 1 : 0);
      alive.bind(7, static_cast<std::int64_t>(record.anonymity)).bind(8, record.exit.address);
      alive.bind(9, record.exit.province).bind(10, record.exit.city).bind(11, record.exit.carrier);
      alive.bind(12, owner()).run();
    } else {
      failed.bind(1, record.id).bind(2, record.checkedAt).bind(3, owner()).run();
    }
    if (sqlite3_changes(db_) == 0) late.bind(1, record.id).bind(2, record.checkedAt).bind(3, owner()).run();
  }
  transaction.commit();
}

}  // namespace

std::unique_ptr<PoolStore> openSqliteStore(const std::string& path, std::string& error, StoreSettings settings) {
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
    execute(db, kFirstLayout);
    migrate(db);
  } catch (const StoreError& failure) {
    int code = sqlite3_errcode(db) & 0xFF;
    error = code == SQLITE_CORRUPT  ? std::string("the store is damaged: ") + failure.what()
            : code == SQLITE_NOTADB ? std::string("not a store: ") + failure.what()
                                    : failure.what();
    sqlite3_close(db);
    return nullptr;
  }
  return std::make_unique<SqliteStore>(db, path, settings);
}
