// A pool of 1,000,000 entries on each engine: how long a front-end takes to rebuild its snapshot from the
// store, and how long `mo.php` then takes to answer. The store is filled through the store's own import
// (the list of millionProxies.h, read by the service's list reader with the region database), and a fifth
// of it gets check results through the checker's batched write — half alive with latencies from 20 ms to
// 2 s, half failed — so the snapshot holds the 100,000 live entries, fastest first, filtered from the
// million.
//
// Rebuild: snapshotOfStore over the whole store, as the keeper calls it, against a plain SELECT of the
// same columns and rows in the same order through the engine's own client library (sqlite3_step, libpq's
// PQexec), every value read. mo.php: answered in process through the service's routes (ServiceRoutes,
// no HTTP: the HTTP front's cost is measured by service_bench and service_load.sh), the program's query
// mix, against the same page code (answerExtraction) over a plain in-memory vector of the same served
// entries. PostgreSQL runs in a private cluster the benchmark starts and stops. Build with optimisation,
// no sanitizers.
#include <libpq-fe.h>
#include <sqlite3.h>

#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "benchClock.h"
#include "benchFolder.h"
#include "millionProxies.h"
#include "pgCluster.h"
#include "regionFile.h"
#include "service/serve/routes.h"
#include "service/sources/proxyList.h"
#include "service/store/poolSnapshot.h"
#include "service/store/poolStore.h"

namespace {

constexpr std::size_t kEntries = 1'000'000;
constexpr int kRebuilds = 5;
constexpr int kRequests = 300;
constexpr std::size_t kBatch = 1000;  // the check writer's largest batch
constexpr char kColumns[] =
    "id, address, port, province, city, carrier, source, first_seen, last_checked, last_alive, failures,"
    " latency_ms, scheme, username, password, protocols, failed_protocols, probed_at, anonymity, exit_address,"
    " exit_province, exit_city, exit_carrier, checks";

// The program's queries: its default (addresses starting 11, port 18186, 20 entries), region and carrier
// (北京, 联通 in GBK), and 1,000 entries of any kind.
const std::vector<std::string> kQueries = {
    "/mo.php?sxb=&tqsl=%32%30&ports[]2=%31%38%31%38%36&ktip=%31%31&sxa=&submit=%CC%E1%20%20%C8%A1",
    "/mo.php?sxb=%B1%B1%BE%A9&tqsl=%32%30&ports[]2=&ktip=&sxa=%C1%AA%CD%A8&submit=",
    "/mo.php?sxb=&tqsl=%31%30%30%30&ports[]2=&ktip=&sxa=&submit="};

// Every value of the same rows a rebuild reads, through SQLite itself.
std::size_t plainSqlite(const std::string& file) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(db, (std::string("SELECT ") + kColumns + " FROM proxies ORDER BY id").c_str(), -1, &statement,
                     nullptr);
  std::size_t bytes = 0;
  const int columns = sqlite3_column_count(statement);
  while (sqlite3_step(statement) == SQLITE_ROW) {
    for (int column = 0; column < columns; ++column) {
      if (sqlite3_column_type(statement, column) == SQLITE_INTEGER) {
        bytes += static_cast<std::size_t>(sqlite3_column_int64(statement, column) & 1);
      } else {
        sqlite3_column_text(statement, column);
        bytes += static_cast<std::size_t>(sqlite3_column_bytes(statement, column));
      }
    }
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return bytes;
}

// The same through libpq: one query, every value looked at.
std::size_t plainPostgres(const std::string& uri) {
  PGconn* db = PQconnectdb(uri.c_str());
  PGresult* result = PQexec(db, (std::string("SELECT ") + kColumns + " FROM proxies ORDER BY id").c_str());
  std::size_t bytes = 0;
  const int rows = PQntuples(result);
  const int columns = PQnfields(result);
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      bytes += static_cast<std::size_t>(PQgetlength(result, row, column)) + (PQgetvalue(result, row, column)[0] & 1);
    }
  }
  PQclear(result);
  PQfinish(db);
  return bytes;
}

// One batch of outcomes, as the check writer commits it.
void write(PoolStore& store, std::vector<CheckRecord>& batch, std::size_t& records) {
  if (batch.empty()) return;
  std::string error;
  if (!store.recordChecks(batch, error)) throw std::runtime_error("outcomes not written: " + error);
  records += batch.size();
  batch.clear();
}

// Fills the store: the import in process, then a fifth of the entries checked.
void fill(PoolStore& store, const std::vector<NewProxy>& proxies) {
  const std::int64_t now = std::time(nullptr);
  double begin = nowMs();
  store.add(proxies, "bench", now);
  const double added = nowMs() - begin;
  std::vector<std::int64_t> ids;
  ids.reserve(proxies.size());
  store.scan([&](const StoredProxy& proxy) { ids.push_back(proxy.id); });
  begin = nowMs();
  std::vector<CheckRecord> batch;
  std::uint32_t state = 7;
  std::size_t records = 0;
  for (std::size_t i = 0; i < ids.size(); ++i) {
    if (i % 10 != 1 && i % 10 != 6) continue;
    state = state * 1103515245u + 12345u;
    CheckRecord record;
    record.id = ids[i];
    record.alive = i % 10 == 1;
    record.latencyMs = 20 + (state >> 8) % 2000;
    record.checkedAt = now;
    batch.push_back(record);
    if (batch.size() == kBatch) write(store, batch, records);
  }
  write(store, batch, records);
  std::printf(
      "  filled: %zu entries added in %.0f ms (in process), %zu outcomes written in batches of %zu in %.0f ms\n",
      proxies.size(), added, records, kBatch, nowMs() - begin);
}

void result(const std::string& figure, const Timing& ours, double baseline) {
  std::printf("RESULT %s %.3f %.3f %.3f %.3f ms\n", figure.c_str(), ours.median, ours.min, ours.max, baseline);
}

// Both figures of one engine.
void measure(const std::string& engine, PoolStore& store, const std::function<std::size_t()>& plainRead) {
  std::vector<double> rebuilds;
  std::vector<double> plain;
  std::shared_ptr<PoolSnapshot> snapshot;
  for (int run = 0; run < kRebuilds; ++run) {
    double begin = nowMs();
    snapshot = snapshotOfStore(store, store.holdsCheckResults());
    rebuilds.push_back(nowMs() - begin);
    begin = nowMs();
    std::size_t bytes = plainRead();
    plain.push_back(nowMs() - begin);
    std::printf("  rebuild %.0f ms (%zu served of %zu), plain SELECT %.0f ms (%zu bytes of text)\n", rebuilds.back(),
                snapshot->served.size(),
                snapshot->total.live + snapshot->total.dead + snapshot->total.failing + snapshot->total.unchecked,
                plain.back(), bytes);
  }
  Timing rebuild = summarise(rebuilds);
  Timing select = summarise(plain);
  std::printf("  snapshot rebuild median %.0f ms against the plain SELECT's %.0f ms: %.2f\n", rebuild.median,
              select.median, rebuild.median / select.median);
  result("snapshot_1m_" + engine, rebuild, select.median);

  SnapshotHolder holder;
  holder.set(snapshot);
  ServiceRoutes routes(holder, StatusSettings{});
  const std::vector<PoolEntry> plainPool = snapshot->served;
  std::vector<double> answers;
  std::vector<double> baseline;
  for (int i = 0; i < 2 * kRequests; ++i) {
    const std::string& target = kQueries[static_cast<std::size_t>(i) % kQueries.size()];
    HttpRequest request{"GET", target, {}};
    double begin = nowMs();
    HttpAnswer answer = routes.answer(request);
    double ms = nowMs() - begin;
    begin = nowMs();
    Reply reply = answerExtraction(plainPool, std::string_view(target).substr(target.find('?') + 1));
    double plainMs = nowMs() - begin;
    if (answer.status != 200 || reply.status != 200 || answer.body->size() != reply.body.size()) {
      std::fprintf(stderr, "pool_snapshot_bench: %s answered %d\n", target.c_str(), answer.status);
    }
    if (i < kRequests) continue;  // the first pass warms up
    answers.push_back(ms);
    baseline.push_back(plainMs);
  }
  Timing ours = summarise(answers);
  Timing plainAnswers = summarise(baseline);
  std::printf("  mo.php in process: median %.4f ms (min %.4f, max %.4f); the page code over a plain vector %.4f ms\n",
              ours.median, ours.min, ours.max, plainAnswers.median);
  result("mophp_1m_" + engine, ours, plainAnswers.median);
  std::printf("\n");
}

}  // namespace

int main() {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  BenchFolder folder("qv-pool-snapshot-bench");
  const std::string regionFile = regionFileOf(QV_SERVICE_EXE);
  std::optional<IpRegionDb> regions;
  if (!regionFile.empty()) regions = loadIpRegionDb(regionFile);
  const std::vector<NewProxy> proxies = parseProxyList(generatedList(kEntries), regions ? &*regions : nullptr).proxies;
  std::printf("snapshot_1m: %zu entries, a fifth checked (half alive), regions from %s\n", proxies.size(),
              regionFile.empty() ? "nowhere (no region database)" : regionFile.c_str());
  int status = 0;
  try {
    {
      const std::string file = folder.file("pool.db");
      std::string error;
      std::unique_ptr<PoolStore> store = PoolStore::open(file, error);
      if (!store) throw std::runtime_error(error);
      std::printf("sqlite:\n");
      fill(*store, proxies);
      measure("sqlite", *store, [&] { return plainSqlite(file); });
    }
    PgCluster* cluster = PgCluster::get();
    if (!cluster) {
      std::printf("snapshot_1m_postgres: skipped: %s\n", PgCluster::why().c_str());
      return status;
    }
    const std::string uri = cluster->fresh();
    std::string error;
    std::unique_ptr<PoolStore> store = PoolStore::open(uri, error);
    if (!store) throw std::runtime_error(error);
    std::printf("postgres:\n");
    fill(*store, proxies);
    measure("postgres", *store, [&] { return plainPostgres(uri); });
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "pool_snapshot_bench: %s\n", failure.what());
    status = 1;
  }
  PgCluster::shutDown();
  return status;
}
