// Workers sharing a PostgreSQL store: three `check --forever` programs over 3,000 loopback proxies, one
// killed mid-batch. Every entry is checked, none twice; what the killed one held is taken by the others once
// its lease runs out. Every proxy is on a 127.x address of its own.
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sys/resource.h>

#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "fakeProxies.h"
#include "pgCluster.h"
#include "serviceProcess.h"
#include "service_testing.h"

namespace {

// One number a query answers, past the store.
std::int64_t queried(const std::string& uri, const std::string& sql) {
  PGconn* db = PQconnectdb(uri.c_str());
  PGresult* result = PQexec(db, sql.c_str());
  std::int64_t value = PQresultStatus(result) == PGRES_TUPLES_OK ? std::stoll(PQgetvalue(result, 0, 0)) : -1;
  EXPECT_GE(value, 0) << sql << ": " << PQerrorMessage(db);
  PQclear(result);
  PQfinish(db);
  return value;
}

std::set<std::int64_t> idsHeldBy(const std::string& uri, pid_t pid) {
  PGconn* db = PQconnectdb(uri.c_str());
  std::string sql = "SELECT id FROM proxies WHERE lease_owner LIKE '%:" + std::to_string(pid) + ":%'";
  PGresult* result = PQexec(db, sql.c_str());
  std::set<std::int64_t> ids;
  for (int row = 0; row < PQntuples(result); ++row) ids.insert(std::stoll(PQgetvalue(result, row, 0)));
  PQclear(result);
  PQfinish(db);
  return ids;
}

TEST(ServicePostgresWorkers, ThreeWorkersCheckEveryEntryOnceAndAKilledOnesBatchIsTakenAfterItsLease) {
  PgCluster* cluster = PgCluster::get();
  if (!cluster) GTEST_SKIP() << PgCluster::why();
  constexpr int kEntries = 3000;
  // A listening socket per proxy, beside the connections of the checks.
  rlimit files{};
  getrlimit(RLIMIT_NOFILE, &files);
  if (files.rlim_cur < 8192 && files.rlim_max >= 8192) {
    files.rlim_cur = 8192;
    setrlimit(RLIMIT_NOFILE, &files);
  }
  ASSERT_GE(files.rlim_cur, 8192u) << "too few open files for the farm";

  std::string db = cluster->fresh();
  TempFolder folder;
  CheckTargetServer target;
  // Each answer a tenth of a second late, so that a batch is still out when its worker is killed.
  FakeProxyFarm farm(64);
  std::vector<NewProxy> proxies;
  for (int id = 0; id < kEntries; ++id) {
    std::string address = "127.2." + std::to_string(id / 200) + "." + std::to_string(id % 200 + 1);
    CheckCandidate candidate = farm.add({FakeKind::forward, 100, 0, 0}, id, address);
    proxies.push_back({candidate.address, candidate.port, "", "", ""});
  }
  {
    std::string error;
    std::unique_ptr<PoolStore> store = PoolStore::open(db, error);
    ASSERT_TRUE(store) << error;
    store->add(proxies, "farm", 0);
  }
  std::string key = target.writeKey(folder.file("check.key"));
  const std::vector<std::string> worker = {
      "check",           "--forever", "--db",       db,   "--check-url", target.checkUrl(),
      "--check-key",     key,         "--parallel", "24", "--lease",     "3s",
      "--recheck-every", "1h",        "--timeout",  "5s"};
  std::vector<std::unique_ptr<ServiceProcess>> workers;
  for (int i = 0; i < 3; ++i) workers.push_back(std::make_unique<ServiceProcess>(worker));
  for (auto& process : workers) EXPECT_NE(process->readLine().find("checking"), std::string::npos);

  // Killed once the work is under way and it holds a batch.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  std::set<std::int64_t> held;
  while (std::chrono::steady_clock::now() < deadline) {
    held = idsHeldBy(db, workers[0]->pid());
    if (held.size() > 20 && queried(db, "SELECT count(*) FROM proxies WHERE checks > 0") >= 300) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_GT(held.size(), 20u) << "the first worker never held a batch";
  pid_t killed = workers[0]->pid();
  workers[0]->stop(SIGKILL);
  auto killedAt = std::chrono::steady_clock::now();
  std::set<std::int64_t> stillHeld = idsHeldBy(db, killed);

  std::int64_t checked = 0;
  while (std::chrono::steady_clock::now() < deadline &&
         (checked = queried(db, "SELECT count(*) FROM proxies WHERE checks > 0")) < kEntries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  auto doneAt = std::chrono::steady_clock::now();
  EXPECT_EQ(checked, kEntries) << "entries left unchecked";
  EXPECT_EQ(queried(db, "SELECT count(*) FROM proxies WHERE checks <> 1"), 0) << "an entry checked twice";
  EXPECT_EQ(queried(db, "SELECT count(*) FROM proxies WHERE failures <> 0"), 0) << "every proxy forwards";
  // What the dead worker held could only be taken after its lease ran out.
  EXPECT_FALSE(stillHeld.empty());
  EXPECT_GE(doneAt - killedAt, std::chrono::milliseconds(1900)) << "its batch was taken before the lease ended";

  // Stopped gently, the others give back whatever they held.
  for (int i = 1; i < 3; ++i) workers[i]->signal(SIGTERM);
  for (int i = 1; i < 3; ++i) {
    std::vector<std::string> lines = workers[i]->readAll(30000);
    EXPECT_EQ(workers[i]->wait(30000), 0);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "stopped");
  }
  EXPECT_EQ(queried(db, "SELECT count(*) FROM proxies WHERE lease_owner <> ''"), 0);
}

}  // namespace
