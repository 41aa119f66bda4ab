// Importing 1,000,000 lines into each engine: `quorvelip-service import --db FILE|URI LIST` (run as it is
// built, a black box) against the engine's own bulk load of the same rows into the store's own table —
// the same columns, keys and indexes, made by opening a fresh store — from a CSV of what the import writes:
// `sqlite3 FILE ".import --csv ROWS proxies"` and `psql URI -c "\copy proxies (…) FROM ROWS (FORMAT csv)"`.
// The list: distinct public-looking address:port lines (millionProxies.h), generated into a scratch
// folder. The CSV holds every column as the import leaves it: its regions and carriers from the same
// region database through the service's own list reader, the list as the source, the check columns at
// their defaults; only first_seen is the time the CSV was written rather than the import's. Every load
// goes into a fresh, empty store; the rows are counted after each. PostgreSQL runs in a private cluster
// the benchmark starts and stops. Build with optimisation, no sanitizers.
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "benchClock.h"
#include "benchFolder.h"
#include "childProgram.h"
#include "millionProxies.h"
#include "pgCluster.h"
#include "regionFile.h"
#include "service/sources/proxyList.h"
#include "service/store/poolStore.h"

namespace {

constexpr std::size_t kLines = 1'000'000;
constexpr int kDefaultRuns = 3;

// A CSV field: quoted, quotes doubled.
std::string quoted(const std::string& text) {
  std::string field = "\"";
  for (char c : text) {
    if (c == '"') field += '"';
    field += c;
  }
  return field + "\"";
}

// The store table's columns in their order, read from a fresh store.
std::vector<std::string> tableColumns(const std::string& file) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(db, "PRAGMA table_info(proxies)", -1, &statement, nullptr);
  std::vector<std::string> columns;
  while (sqlite3_step(statement) == SQLITE_ROW) {
    columns.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(statement, 1)));
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return columns;
}

// Every row as the import writes it, in `columns`' order. A column the import leaves at its default is
// written as that default: 0, or empty.
void writeRows(const std::string& path, const std::vector<std::string>& columns, const std::vector<NewProxy>& proxies,
               const std::string& source, std::int64_t now) {
  std::ofstream csv(path);
  std::string line;
  std::int64_t id = 0;
  for (const NewProxy& proxy : proxies) {
    line.clear();
    ++id;
    for (const std::string& column : columns) {
      if (!line.empty()) line += ',';
      if (column == "id")
        line += std::to_string(id);
      else if (column == "address")
        line += quoted(proxy.address);
      else if (column == "port")
        line += std::to_string(proxy.port);
      else if (column == "province")
        line += quoted(proxy.province);
      else if (column == "city")
        line += quoted(proxy.city);
      else if (column == "carrier")
        line += quoted(proxy.carrier);
      else if (column == "source")
        line += quoted(source);
      else if (column == "first_seen")
        line += std::to_string(now);
      else if (column == "scheme")
        line += std::to_string(proxy.scheme);
      else if (column == "username")
        line += quoted(proxy.username);
      else if (column == "password")
        line += quoted(proxy.password);
      else if (column.starts_with("exit_") || column == "lease_owner")
        line += "\"\"";
      else
        line += '0';
    }
    line += '\n';
    csv << line;
  }
}

std::size_t rowsIn(const std::string& target) {
  std::string error;
  std::unique_ptr<PoolStore> store = PoolStore::open(target, error);
  std::size_t rows = 0;
  if (!store || !store->count(rows, error)) std::fprintf(stderr, "pool_import_bench: %s\n", error.c_str());
  return rows;
}

// A fresh store, its layout made, nothing in it.
void makeEmpty(const std::string& target) {
  std::string error;
  if (!PoolStore::open(target, error)) throw std::runtime_error(target + ": " + error);
}

// Times one program run; a failure or a wrong row count is said with the program's output.
double timed(const std::vector<std::string>& argv, const std::string& target, const std::string& log) {
  std::remove(log.c_str());
  const double begin = nowMs();
  const int status = runProgram(argv, log);
  const double ms = nowMs() - begin;
  const std::size_t rows = rowsIn(target);
  if (status != 0 || rows != kLines) {
    std::fprintf(stderr, "pool_import_bench: %s: exit %d, %zu rows:\n%s", argv[0].c_str(), status, rows,
                 fileText(log).c_str());
  }
  return ms;
}

struct Engine {
  std::string name;
  std::vector<double> ours;
  std::vector<double> bulk;
};

void report(const Engine& engine, const char* bulkName) {
  Timing ours = summarise(engine.ours);
  Timing bulk = summarise(engine.bulk);
  std::printf("  import %.0f ms (min %.0f, max %.0f); %s %.0f ms (min %.0f, max %.0f); ratio %.2f (goal at most 2)\n\n",
              ours.median, ours.min, ours.max, bulkName, bulk.median, bulk.min, bulk.max, ours.median / bulk.median);
  std::printf("RESULT import_1m_%s %.1f %.1f %.1f %.1f ms\n\n", engine.name.c_str(), ours.median, ours.min, ours.max,
              bulk.median);
}

}  // namespace

// pool_import_bench [RUNS]
int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultRuns;
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  BenchFolder folder("qv-pool-import-bench");
  const std::string list = folder.file("list.txt");
  const std::string rows = folder.file("rows.csv");
  const std::string log = folder.file("run.log");
  const std::string regionFile = regionFileOf(QV_SERVICE_EXE);
  {
    const std::string text = generatedList(kLines);
    std::ofstream(list) << text;
    std::optional<IpRegionDb> regions;
    if (!regionFile.empty()) regions = loadIpRegionDb(regionFile);
    ProxyList read = parseProxyList(text, regions ? &*regions : nullptr);
    if (read.proxies.size() != kLines) {
      std::fprintf(stderr, "pool_import_bench: the list reads as %zu entries\n", read.proxies.size());
      return 1;
    }
    const std::string sample = folder.file("columns.db");
    makeEmpty(sample);
    writeRows(rows, tableColumns(sample), read.proxies, list, std::time(nullptr));
  }
  std::printf("import_1m: %zu distinct lines, regions from %s\n", kLines,
              regionFile.empty() ? "nowhere (no region database)" : regionFile.c_str());
  std::vector<std::string> import = {QV_SERVICE_EXE, "import"};
  if (!regionFile.empty()) import.insert(import.end(), {"--ip-db", regionFile});
  int status = 0;
  try {
    Engine sqlite{"sqlite", {}, {}};
    for (int run = 0; run < runs; ++run) {
      const std::string ours = folder.file("import.db");
      const std::string bulk = folder.file("bulk.db");
      makeEmpty(ours);
      makeEmpty(bulk);
      std::vector<std::string> command = import;
      command.insert(command.end(), {"--db", ours, list});
      sqlite.ours.push_back(timed(command, ours, log));
      sqlite.bulk.push_back(timed({"/usr/bin/sqlite3", bulk, ".import --csv " + rows + " proxies"}, bulk, log));
      std::printf("  sqlite run %d: import %.0f ms, sqlite3 .import %.0f ms\n", run + 1, sqlite.ours.back(),
                  sqlite.bulk.back());
      for (const std::string& file : {ours, bulk}) {
        for (const char* suffix : {"", "-wal", "-shm"}) std::remove((file + suffix).c_str());
      }
    }
    report(sqlite, "sqlite3 .import");

    PgCluster* cluster = PgCluster::get();
    if (!cluster) {
      std::printf("import_1m_postgres: skipped: %s\n", PgCluster::why().c_str());
      return status;
    }
    std::string columns;
    for (const std::string& column : tableColumns(folder.file("columns.db"))) {
      columns += (columns.empty() ? "" : ", ") + column;
    }
    Engine postgres{"postgres", {}, {}};
    for (int run = 0; run < runs; ++run) {
      const std::string ours = cluster->fresh();
      const std::string bulk = cluster->fresh();
      makeEmpty(ours);
      makeEmpty(bulk);
      std::vector<std::string> command = import;
      command.insert(command.end(), {"--db", ours, list});
      postgres.ours.push_back(timed(command, ours, log));
      postgres.bulk.push_back(timed({"/usr/bin/psql", bulk, "-v", "ON_ERROR_STOP=1", "-c",
                                     "\\copy proxies (" + columns + ") FROM '" + rows + "' WITH (FORMAT csv)"},
                                    bulk, log));
      std::printf("  postgres run %d: import %.0f ms, psql \\copy %.0f ms\n", run + 1, postgres.ours.back(),
                  postgres.bulk.back());
      cluster->drop(ours);
      cluster->drop(bulk);
    }
    report(postgres, "psql \\copy");
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "pool_import_bench: %s\n", failure.what());
    status = 1;
  }
  PgCluster::shutDown();
  return status;
}
