#include "service/store/postgresStore.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

#include "service/store/ipv4.h"
#include "service/store/pgSession.h"
#include "service/store/storeLayout.h"
#include "service/store/storeTarget.h"

namespace {

constexpr char kFirstLayout[] =
    "CREATE TABLE IF NOT EXISTS proxies ("
    " id BIGSERIAL PRIMARY KEY,"
    " address TEXT NOT NULL,"
    " port INTEGER NOT NULL,"
    " province TEXT NOT NULL DEFAULT '',"
    " city TEXT NOT NULL DEFAULT '',"
    " carrier TEXT NOT NULL DEFAULT '',"
    " source TEXT NOT NULL DEFAULT '',"
    " first_seen BIGINT NOT NULL,"
    " last_checked BIGINT NOT NULL DEFAULT 0,"
    " last_alive BIGINT NOT NULL DEFAULT 0,"
    " failures INTEGER NOT NULL DEFAULT 0,"
    " latency_ms INTEGER NOT NULL DEFAULT 0,"
    " UNIQUE (address, port));"
    "CREATE INDEX IF NOT EXISTS proxies_last_checked ON proxies (last_checked);"
    "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL);"
    // Bumped by every write: what a front-end polls where it cannot listen (a read replica).
    "CREATE SEQUENCE IF NOT EXISTS pool_changes;";

// Any number of services may open a new database at once: the layout is made and moved on under this lock.
constexpr char kLayoutLock[] = "SELECT pg_advisory_xact_lock(7243017)";

// The store's clock for leases, in milliseconds: the database server's, the one clock all workers share.
#define QV_NOW_MS "(extract(epoch from clock_timestamp()) * 1000)::bigint"

// Announces a write to the other connections, in the writing transaction (delivered on commit).
constexpr char kAnnounce[] = "SELECT pg_notify('quorvelip_pool', ''), nextval('pool_changes')";

constexpr char kDueColumns[] = "id, address, port, scheme, username, password, protocols, failed_protocols, probed_at";

DueProxy dueRow(const PgResult& rows, int row) {
  return {rows.integer(row, 0),
          std::string(rows.text(row, 1)),
          static_cast<std::uint16_t>(rows.integer(row, 2)),
          static_cast<ProtocolSet>(rows.integer(row, 3)),
          std::string(rows.text(row, 4)),
          std::string(rows.text(row, 5)),
          static_cast<ProtocolSet>(rows.integer(row, 6)),
          static_cast<ProtocolSet>(rows.integer(row, 7)),
          rows.integer(row, 8)};
}

// A transaction on the session, rolled back when it goes uncommitted.
class PgTransaction {
 public:
  explicit PgTransaction(PgSession& session, const char* begin = "BEGIN") : session_(session) {
    session_.ensure();
    session_.execute(begin);
  }
  ~PgTransaction() {
    if (!done_) {
      try {
        session_.execute("ROLLBACK");
      } catch (const StoreError&) {  // a lost connection rolled it back already
      }
    }
  }
  PgTransaction(const PgTransaction&) = delete;
  PgTransaction& operator=(const PgTransaction&) = delete;
  void commit() {
    done_ = true;
    session_.execute("COMMIT");
  }

 private:
  PgSession& session_;
  bool done_ = false;
};

void migrate(PgSession& session) {
  for (;;) {
    PgTransaction transaction(session);
    session.execute(kLayoutLock);
    // Made only when missing: a read replica takes no DDL, even one that would change nothing.
    if (session.run("SELECT to_regclass('proxies') IS NULL OR to_regclass('pool_changes') IS NULL").boolean(0, 0)) {
      session.execute(kFirstLayout);
    }
    PgResult found = session.run("SELECT MAX(version) FROM schema_version");
    std::int64_t version = found.text(0, 0).empty() ? 1 : found.integer(0, 0);
    if (version > kStoreLayoutVersion) throw StoreError(newerLayoutMessage(version));
    if (version == kStoreLayoutVersion) {
      transaction.commit();
      return;
    }
    session.execute(kLayoutSteps[version - 1]);
    session.execute("DELETE FROM schema_version");
    session.run("INSERT INTO schema_version (version) VALUES ($1)", {std::to_string(version + 1)});
    transaction.commit();
  }
}

class PostgresStore;

// One source: its rows copied into a temporary table in chunks, then merged into the pool by one
// INSERT … ON CONFLICT, all in one transaction.
class PostgresImport : public StoreImport {
 public:
  PostgresImport(PgSession& session, const PostgresStore& store, std::string_view source, std::int64_t now);
  void add(const std::vector<NewProxy>& chunk) override;
  MergeCounts commit() override;

 private:
  PgSession& session_;
  const PostgresStore& store_;
  std::string source_;
  std::int64_t now_;
  PgTransaction transaction_;
  std::int64_t rows_ = 0;
  std::vector<std::uint64_t> keys_;  // address and port of every row, to find duplicates in the source
  std::string lines_;
};

class PostgresStore : public PoolStore {
 public:
  PostgresStore(std::unique_ptr<PgSession> session, const std::string& uri, StoreSettings settings)
      : PoolStore(maskedTarget(uri), settings), session_(std::move(session)) {}
  StoreError overCapOf(std::size_t held, std::size_t added) const { return overCap(held, added); }
  std::size_t maxEntries() const { return settings().maxEntries; }

 protected:
  std::unique_ptr<StoreImport> startImport(std::string_view source, std::int64_t now) override {
    return std::make_unique<PostgresImport>(*session_, *this, source, now);
  }
  void readAll(const std::function<void(const StoredProxy&)>& visit) override;
  std::size_t countRows() override {
    return static_cast<std::size_t>(session_->run("SELECT count(*) FROM proxies").integer(0, 0));
  }
  bool anyChecked() override {  // the due index answers it
    PgResult max = session_->run("SELECT coalesce(MAX(last_checked), 0) FROM proxies");
    return max.integer(0, 0) != 0;
  }
  std::vector<DueProxy> readDue(std::int64_t now, std::int64_t everySeconds) override {
    PgResult rows = session_->run(
        std::string("SELECT ") + kDueColumns + " FROM proxies WHERE last_checked <= $1 ORDER BY last_checked, id",
        {std::to_string(now - everySeconds)});
    std::vector<DueProxy> result;
    result.reserve(static_cast<std::size_t>(rows.rows()));
    for (int row = 0; row < rows.rows(); ++row) result.push_back(dueRow(rows, row));
    return result;
  }
  std::optional<std::int64_t> earliestDue(std::int64_t everySeconds) override {
    PgResult rows = session_->run("SELECT MIN(last_checked) FROM proxies");
    if (rows.text(0, 0).empty()) return std::nullopt;
    return rows.integer(0, 0) + everySeconds;
  }
  std::vector<DueProxy> leaseDue(std::int64_t now, std::int64_t everySeconds, std::size_t most,
                                 std::int64_t leaseMs) override;
  std::size_t extendLeases(std::int64_t leaseMs) override {
    PgResult held = session_->run("WITH renewed AS (UPDATE proxies SET lease_until = " QV_NOW_MS
                                  " + $2 WHERE lease_owner = $1 RETURNING 1)"
                                  " SELECT count(*) FROM renewed",
                                  {owner(), std::to_string(leaseMs)});
    return static_cast<std::size_t>(held.integer(0, 0));
  }
  void dropLeases(const std::vector<std::int64_t>* ids) override {
    if (!ids) {
      session_->run("UPDATE proxies SET lease_owner = '', lease_until = 0 WHERE lease_owner = $1", {owner()});
    } else {
      session_->run(
          "UPDATE proxies SET lease_owner = '', lease_until = 0 WHERE lease_owner = $1 AND id = ANY ($2::bigint[])",
          {owner(), pgArray(*ids)});
    }
  }
  void writeChecks(const std::vector<CheckRecord>& records) override;
  std::int64_t changes() override;

 private:
  void writeDistinct(const std::vector<CheckRecord>& records, std::size_t from, std::size_t to);

  std::unique_ptr<PgSession> session_;
  std::int64_t version_ = 0;
  std::int64_t reconnectsSeen_ = 0;
  std::string polledChanges_;
};

PostgresImport::PostgresImport(PgSession& session, const PostgresStore& store, std::string_view source,
                               std::int64_t now)
    : session_(session), store_(store), source_(source), now_(now), transaction_(session) {
  session_.execute(
      "CREATE TEMPORARY TABLE import_rows (seq BIGINT, address TEXT, port INTEGER, province TEXT, city TEXT,"
      " carrier TEXT, scheme INTEGER, username TEXT, password TEXT) ON COMMIT DROP");
}

void PostgresImport::add(const std::vector<NewProxy>& chunk) {
  if (chunk.empty()) return;
  lines_.clear();
  for (const NewProxy& proxy : chunk) {
    lines_ += std::to_string(rows_++);
    lines_ += '\t';
    appendCopyField(lines_, proxy.address);
    lines_ += '\t';
    lines_ += std::to_string(proxy.port);
    for (const std::string* field : {&proxy.province, &proxy.city, &proxy.carrier}) {
      lines_ += '\t';
      appendCopyField(lines_, *field);
    }
    lines_ += '\t';
    lines_ += std::to_string(proxy.scheme);
    for (const std::string* field : {&proxy.username, &proxy.password}) {
      lines_ += '\t';
      appendCopyField(lines_, *field);
    }
    lines_ += '\n';
    std::uint64_t address = parseIpv4(proxy.address).value_or(0);
    keys_.push_back(address << 16 | proxy.port);
  }
  session_.copyIn("COPY import_rows FROM STDIN", lines_);
}

MergeCounts PostgresImport::commit() {
  std::sort(keys_.begin(), keys_.end());
  bool duplicates = std::adjacent_find(keys_.begin(), keys_.end()) != keys_.end();
  keys_ = {};
  // A source naming an entry twice is folded first, as one-by-one merging would: the last region and
  // carrier, the last scheme and credentials named, the place of the first sighting.
  const char* rows =
      duplicates
          ? "(SELECT min(seq) AS seq, address, port,"
            " (array_agg(province ORDER BY seq DESC))[1] AS province,"
            " (array_agg(city ORDER BY seq DESC))[1] AS city,"
            " (array_agg(carrier ORDER BY seq DESC))[1] AS carrier,"
            " coalesce((array_agg(scheme ORDER BY seq DESC) FILTER (WHERE scheme <> 0))[1], 0) AS scheme,"
            " coalesce((array_agg(username ORDER BY seq DESC) FILTER (WHERE username <> '' OR password <> ''))[1],"
            " '') AS username,"
            " coalesce((array_agg(password ORDER BY seq DESC) FILTER (WHERE username <> '' OR password <> ''))[1],"
            " '') AS password"
            " FROM import_rows GROUP BY address, port) AS folded"
          : "import_rows";
  std::size_t held = static_cast<std::size_t>(session_.run("SELECT count(*) FROM proxies").integer(0, 0));
  // A source that names no scheme or credentials leaves those already known.
  PgResult merged = session_.run(
      std::string("WITH merged AS (INSERT INTO proxies AS p (address, port, province, city, carrier, source,"
                  " first_seen, scheme, username, password)"
                  " SELECT address, port, province, city, carrier, $1, $2, scheme, username, password FROM ") +
          rows +
          " ORDER BY seq"
          " ON CONFLICT (address, port) DO UPDATE SET province = excluded.province, city = excluded.city,"
          " carrier = excluded.carrier, source = excluded.source,"
          " scheme = CASE WHEN excluded.scheme = 0 THEN p.scheme ELSE excluded.scheme END,"
          " username = CASE WHEN excluded.username = '' AND excluded.password = '' THEN p.username"
          " ELSE excluded.username END,"
          " password = CASE WHEN excluded.username = '' AND excluded.password = '' THEN p.password"
          " ELSE excluded.password END"
          " RETURNING (xmax = 0) AS added)"
          " SELECT count(*) FILTER (WHERE added) FROM merged",
      {source_, std::to_string(now_)});
  MergeCounts counts;
  counts.added = static_cast<std::size_t>(merged.integer(0, 0));
  counts.merged = static_cast<std::size_t>(rows_) - counts.added;
  if (held + counts.added > store_.maxEntries()) throw store_.overCapOf(held, counts.added);
  if (rows_ > 0) session_.run(kAnnounce);
  transaction_.commit();
  return counts;
}

void PostgresStore::readAll(const std::function<void(const StoredProxy&)>& visit) {
  // A cursor in one read-only transaction: one consistent view, read a piece at a time.
  constexpr int kPiece = 10000;
  PgTransaction transaction(*session_, "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
  session_->execute(
      "DECLARE pool_scan NO SCROLL CURSOR FOR SELECT id, address, port, province, city, carrier, source, first_seen,"
      " last_checked, last_alive, failures, latency_ms, scheme, username, password, protocols, failed_protocols,"
      " probed_at, anonymity, exit_address, exit_province, exit_city, exit_carrier, checks FROM proxies ORDER BY id");
  StoredProxy proxy;
  for (;;) {
    PgResult rows = session_->run("FETCH " + std::to_string(kPiece) + " FROM pool_scan");
    for (int row = 0; row < rows.rows(); ++row) {
      proxy.id = rows.integer(row, 0);
      proxy.address.assign(rows.text(row, 1));
      proxy.port = static_cast<std::uint16_t>(rows.integer(row, 2));
      proxy.province.assign(rows.text(row, 3));
      proxy.city.assign(rows.text(row, 4));
      proxy.carrier.assign(rows.text(row, 5));
      proxy.source.assign(rows.text(row, 6));
      proxy.firstSeen = rows.integer(row, 7);
      proxy.lastChecked = rows.integer(row, 8);
      proxy.lastAlive = rows.integer(row, 9);
      proxy.failures = static_cast<int>(rows.integer(row, 10));
      proxy.latencyMs = static_cast<std::uint32_t>(rows.integer(row, 11));
      proxy.scheme = static_cast<ProtocolSet>(rows.integer(row, 12));
      proxy.username.assign(rows.text(row, 13));
      proxy.password.assign(rows.text(row, 14));
      proxy.protocols = static_cast<ProtocolSet>(rows.integer(row, 15));
      proxy.failedProtocols = static_cast<ProtocolSet>(rows.integer(row, 16));
      proxy.probedAt = rows.integer(row, 17);
      proxy.anonymity = static_cast<Anonymity>(rows.integer(row, 18));
      proxy.exit.address.assign(rows.text(row, 19));
      proxy.exit.province.assign(rows.text(row, 20));
      proxy.exit.city.assign(rows.text(row, 21));
      proxy.exit.carrier.assign(rows.text(row, 22));
      proxy.checks = rows.integer(row, 23);
      visit(proxy);
    }
    if (rows.rows() < kPiece) break;
  }
  transaction.commit();
}

std::vector<DueProxy> PostgresStore::leaseDue(std::int64_t now, std::int64_t everySeconds, std::size_t most,
                                              std::int64_t leaseMs) {
  // SKIP LOCKED: rows another worker is claiming this instant are passed over, never waited for.
  PgResult rows = session_->run(
      std::string("UPDATE proxies SET lease_owner = $1, lease_until = " QV_NOW_MS " + $2"
                  " WHERE id IN (SELECT id FROM proxies WHERE last_checked <= $3 AND lease_until <= " QV_NOW_MS
                  " ORDER BY last_checked, id LIMIT $4 FOR UPDATE SKIP LOCKED) RETURNING ") +
          kDueColumns + ", last_checked",
      {owner(), std::to_string(leaseMs), std::to_string(now - everySeconds),
       std::to_string(std::min<std::size_t>(most, INT64_MAX))});
  std::vector<std::pair<std::int64_t, DueProxy>> claimed;
  claimed.reserve(static_cast<std::size_t>(rows.rows()));
  for (int row = 0; row < rows.rows(); ++row) claimed.emplace_back(rows.integer(row, 9), dueRow(rows, row));
  return inDueOrder(std::move(claimed));
}

void PostgresStore::writeChecks(const std::vector<CheckRecord>& records) {
  // One statement per run of distinct entries (an UPDATE … FROM touches a row once), all in one transaction.
  PgTransaction transaction(*session_);
  std::unordered_set<std::int64_t> seen;
  std::size_t from = 0;
  for (std::size_t at = 0; at < records.size(); ++at) {
    if (!seen.insert(records[at].id).second) {
      writeDistinct(records, from, at);
      seen = {records[at].id};
      from = at;
    }
  }
  writeDistinct(records, from, records.size());
  session_->run(kAnnounce);
  transaction.commit();
}

void PostgresStore::writeDistinct(const std::vector<CheckRecord>& records, std::size_t from, std::size_t to) {
  std::vector<std::int64_t> ids, alive, checkedAt, latency, protocols, failed, probedAll, anonymity;
  std::vector<std::string> exitAddress, exitProvince, exitCity, exitCarrier;
  for (std::size_t at = from; at < to; ++at) {
    const CheckRecord& record = records[at];
    ids.push_back(record.id);
    alive.push_back(record.alive ? 1 : 0);
    checkedAt.push_back(record.checkedAt);
    latency.push_back(record.latencyMs);
    protocols.push_back(record.protocols);
    failed.push_back(record.failedProtocols);
    probedAll.push_back(record.probedAll ? 1 : 0);
    anonymity.push_back(static_cast<std::int64_t>(record.anonymity));
    exitAddress.push_back(record.exit.address);
    exitProvince.push_back(record.exit.province);
    exitCity.push_back(record.exit.city);
    exitCarrier.push_back(record.exit.carrier);
  }
  // An outcome older than the entry's last check (held by a worker while the database was away, the
  // entry meanwhile checked again by another) is counted and releases its lease, but never overrides
  // the newer one.
  session_->run(
      "UPDATE proxies AS p SET checks = p.checks + 1,"
      " lease_until = CASE WHEN p.lease_owner = $3 THEN 0 ELSE p.lease_until END,"
      " lease_owner = CASE WHEN p.lease_owner = $3 THEN '' ELSE p.lease_owner END"
      " FROM unnest($1::bigint[], $2::bigint[]) AS r(id, checked_at) WHERE p.id = r.id AND r.checked_at < "
      "p.last_checked",
      {pgArray(ids), pgArray(checkedAt), owner()});
  // A failed check counts one more failure and leaves what the entry was known to be; either kind
  // releases the lease this connection holds on it.
  session_->run(
      "UPDATE proxies AS p SET last_checked = r.checked_at,"
      " last_alive = CASE WHEN r.alive = 1 THEN r.checked_at ELSE p.last_alive END,"
      " failures = CASE WHEN r.alive = 1 THEN 0 ELSE p.failures + 1 END,"
      " latency_ms = CASE WHEN r.alive = 1 THEN r.latency ELSE p.latency_ms END,"
      " protocols = CASE WHEN r.alive = 1 THEN r.protocols ELSE p.protocols END,"
      " failed_protocols = CASE WHEN r.alive = 1 THEN r.failed ELSE p.failed_protocols END,"
      " probed_at = CASE WHEN r.alive = 1 AND r.probed_all = 1 THEN r.checked_at ELSE p.probed_at END,"
      " anonymity = CASE WHEN r.alive = 1 THEN r.anonymity ELSE p.anonymity END,"
      " exit_address = CASE WHEN r.alive = 1 THEN r.exit_address ELSE p.exit_address END,"
      " exit_province = CASE WHEN r.alive = 1 THEN r.exit_province ELSE p.exit_province END,"
      " exit_city = CASE WHEN r.alive = 1 THEN r.exit_city ELSE p.exit_city END,"
      " exit_carrier = CASE WHEN r.alive = 1 THEN r.exit_carrier ELSE p.exit_carrier END,"
      " checks = p.checks + 1,"
      " lease_until = CASE WHEN p.lease_owner = $13 THEN 0 ELSE p.lease_until END,"
      " lease_owner = CASE WHEN p.lease_owner = $13 THEN '' ELSE p.lease_owner END"
      " FROM unnest($1::bigint[], $2::int[], $3::bigint[], $4::int[], $5::int[], $6::int[], $7::int[], $8::int[],"
      " $9::text[], $10::text[], $11::text[], $12::text[]) AS r(id, alive, checked_at, latency, protocols, failed,"
      " probed_all, anonymity, exit_address, exit_province, exit_city, exit_carrier)"
      " WHERE p.id = r.id AND r.checked_at >= p.last_checked",
      {pgArray(ids), pgArray(alive), pgArray(checkedAt), pgArray(latency), pgArray(protocols), pgArray(failed),
       pgArray(probedAll), pgArray(anonymity), pgArray(exitAddress), pgArray(exitProvince), pgArray(exitCity),
       pgArray(exitCarrier), owner()});
}

std::int64_t PostgresStore::changes() {
  session_->ensure();
  // Something may have been missed while the connection was away.
  if (session_->reconnects() != reconnectsSeen_) {
    reconnectsSeen_ = session_->reconnects();
    ++version_;
  }
  if (session_->listening()) {
    if (session_->takeNotifications() > 0) ++version_;
    return version_;
  }
  // No channel here: the change counter, polled (its own writes move it too).
  std::string polled(session_->run("SELECT last_value FROM pool_changes").text(0, 0));
  if (polled != polledChanges_) {
    polledChanges_ = std::move(polled);
    ++version_;
  }
  return version_;
}

}  // namespace

std::unique_ptr<PoolStore> openPostgresStore(const std::string& uri, std::string& error, StoreSettings settings) {
  try {
    auto session = std::make_unique<PgSession>(uri, settings.busyTimeoutMs);
    migrate(*session);
    return std::make_unique<PostgresStore>(std::move(session), uri, settings);
  } catch (const StoreError& failure) {
    error = withoutSecret(failure.what(), uri);
    return nullptr;
  }
}
