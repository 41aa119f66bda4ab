#include "service/store/poolStore.h"

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
    "CREATE INDEX IF NOT EXISTS proxies_last_checked ON proxies (last_checked);";

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
  Statement insert(db_,
                   "INSERT INTO proxies (address, port, province, city, carrier, source, first_seen)"
                   " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7) ON CONFLICT (address, port) DO NOTHING");
  Statement update(db_,
                   "UPDATE proxies SET province = ?3, city = ?4, carrier = ?5, source = ?6"
                   " WHERE address = ?1 AND port = ?2");
  for (const NewProxy& proxy : proxies) {
    insert.bind(1, proxy.address).bind(2, proxy.port).bind(3, proxy.province).bind(4, proxy.city);
    insert.bind(5, proxy.carrier).bind(6, source).bind(7, now).run();
    if (sqlite3_changes(db_) > 0) {
      ++counts.added;
      continue;
    }
    update.bind(1, proxy.address).bind(2, proxy.port).bind(3, proxy.province).bind(4, proxy.city);
    update.bind(5, proxy.carrier).bind(6, source).run();
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
  Statement select(db_, "SELECT id, address, port FROM proxies WHERE last_checked <= ?1 ORDER BY last_checked, id");
  select.bind(1, now - everySeconds);
  while (select.step()) {
    result.push_back({select.integer(0), select.text(1), static_cast<std::uint16_t>(select.integer(2))});
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
                  "UPDATE proxies SET last_checked = ?2, last_alive = ?2, failures = 0, latency_ms = ?3"
                  " WHERE id = ?1");
  Statement failed(db_, "UPDATE proxies SET last_checked = ?2, failures = failures + 1 WHERE id = ?1");
  for (const CheckRecord& record : records) {
    if (record.alive) {
      alive.bind(1, record.id).bind(2, record.checkedAt).bind(3, record.latencyMs).run();
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
  writeChecks({{id, alive, latencyMs, now}});
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
