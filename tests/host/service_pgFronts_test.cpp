// Front-ends and workers as separate programs over one PostgreSQL database: what a worker commits reaches
// every front-end within the freshness promise, alike on each; and the whole pool rides out the database
// server going away for 20 s. Every proxy and server here is on loopback.
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "fakeProxies.h"
#include "pgCluster.h"
#include "serviceProcess.h"
#include "service_testing.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kPage[] = "/mo.php?tqsl=1000";

// Rows a query answers, each row's columns joined by '|', past the store.
std::vector<std::string> queriedRows(const std::string& uri, const std::string& sql) {
  PGconn* db = PQconnectdb(uri.c_str());
  PGresult* result = PQexec(db, sql.c_str());
  EXPECT_EQ(PQresultStatus(result), PGRES_TUPLES_OK) << sql << ": " << PQerrorMessage(db);
  std::vector<std::string> rows;
  for (int row = 0; row < PQntuples(result); ++row) {
    std::string text;
    for (int column = 0; column < PQnfields(result); ++column) {
      text += (column ? "|" : "") + std::string(PQgetvalue(result, row, column));
    }
    rows.push_back(text);
  }
  PQclear(result);
  PQfinish(db);
  return rows;
}

std::int64_t queried(const std::string& uri, const std::string& sql) {
  std::vector<std::string> rows = queriedRows(uri, sql);
  return rows.empty() ? -1 : std::stoll(rows[0]);
}

// What a served page would list for the store as it is now: live HTTP entries, fastest first.
std::vector<std::string> liveInServingOrder(const std::string& uri) {
  return queriedRows(uri,
                     "SELECT address || ':' || port FROM proxies WHERE last_checked <> 0 AND failures = 0"
                     " AND protocols & 1 <> 0 ORDER BY latency_ms, id");
}

std::string pageOf(int port, const std::string& target = kPage) {
  httplib::Result page = getLoopback(port, target);
  return page && page->status == 200 ? page->body : std::string();
}

// A front-end: `quorvelip-service --db URI` on a port of its own, checking nothing.
std::unique_ptr<ServiceProcess> startFrontEnd(const std::string& db, int& port, std::string& startLine) {
  auto front = std::make_unique<ServiceProcess>(std::vector<std::string>{"--port", "0", "--db", db},
                                                ServiceLaunch{.withErrors = true});
  for (std::string line = front->readLine(); !line.empty(); line = front->readLine()) {
    if (line.find("listening on") != std::string::npos) {
      startLine = line;
      port = portOfStartLine(line);
      break;
    }
  }
  return front;
}

// Proxies that forward to the check target, each on an address of its own (127.<net>.x.y), named as
// HTTP proxies so that a check is one request.
std::vector<NewProxy> forwarding(FakeProxyFarm& farm, int count, int net, int delayMs) {
  std::vector<NewProxy> proxies;
  for (int i = 0; i < count; ++i) {
    std::string address =
        "127." + std::to_string(net) + "." + std::to_string(i / 200) + "." + std::to_string(i % 200 + 1);
    CheckCandidate candidate = farm.add({FakeKind::forward, delayMs, 0, 0}, i, address);
    proxies.push_back({candidate.address, candidate.port, "", "", "", kHttp});
  }
  return proxies;
}

void fill(const std::string& db, const std::vector<NewProxy>& proxies) {
  std::string error;
  std::unique_ptr<PoolStore> store = PoolStore::open(db, error);
  ASSERT_TRUE(store) << error;
  store->add(proxies, "farm", 0);
}

std::set<std::string> addressesOf(const std::vector<NewProxy>& proxies) {
  std::set<std::string> addresses;
  for (const NewProxy& proxy : proxies) addresses.insert(proxy.address + ":" + std::to_string(proxy.port));
  return addresses;
}

// A program's output as it comes, each line with when it was read.
struct Watched {
  std::unique_ptr<ServiceProcess> process;
  std::vector<std::pair<Clock::time_point, std::string>> lines;

  void drain() {
    for (std::string line = process->readLine(1); !line.empty(); line = process->readLine(1)) {
      lines.emplace_back(Clock::now(), line);
    }
  }
  // Lines read within [from, to) holding `words`.
  std::vector<std::string> said(std::string_view words, Clock::time_point from = {},
                                Clock::time_point to = Clock::time_point::max()) const {
    std::vector<std::string> found;
    for (const auto& [at, line] : lines) {
      if (at >= from && at < to && line.find(words) != std::string::npos) found.push_back(line);
    }
    return found;
  }
};

// The process's state letter and the CPU seconds it used, from /proc; '?' when it is gone.
std::pair<char, double> processState(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  std::size_t end = text.rfind(')');
  if (end == std::string::npos) return {'?', 0};
  std::istringstream fields(text.substr(end + 2));
  char state = '?';
  std::string skipped;
  fields >> state;
  for (int field = 4; field <= 13; ++field) fields >> skipped;
  double user = 0, system = 0;
  fields >> user >> system;
  return {state, (user + system) / static_cast<double>(sysconf(_SC_CLK_TCK))};
}

// Brings the cluster back however the test ends: the other tests share it.
struct ClusterBack {
  PgCluster& cluster;
  ~ClusterBack() { cluster.start(); }
};

TEST(ServicePostgresFronts, TwoFrontEndsShowAWorkersOutcomesWithinTwoSecondsAndAnswerByteForByteAlike) {
  PgCluster* cluster = PgCluster::get();
  if (!cluster) GTEST_SKIP() << PgCluster::why();
  std::string db = cluster->fresh();
  TempFolder folder;
  CheckTargetServer target;
  FakeProxyFarm farm(4);
  // Latencies apart, so that the fastest-first order is the proxies' own and not a tie.
  std::vector<NewProxy> alive;
  for (int delayMs : {60, 0, 30}) {
    std::string address = "127.4.0." + std::to_string(alive.size() + 1);
    CheckCandidate candidate = farm.add({FakeKind::forward, delayMs, 0, 0}, 0, address);
    alive.push_back({candidate.address, candidate.port, "", "", "", kHttp});
  }
  CheckCandidate refusing = FakeProxyFarm::refusing(0, "127.4.1.1");
  std::vector<NewProxy> all = alive;
  all.push_back({refusing.address, refusing.port, "", "", "", kHttp});
  fill(db, all);
  std::string key = target.writeKey(folder.file("check.key"));

  int ports[2] = {0, 0};
  std::unique_ptr<ServiceProcess> fronts[2];
  for (int i = 0; i < 2; ++i) {
    std::string line;
    fronts[i] = startFrontEnd(db, ports[i], line);
    ASSERT_NE(line.find("4 entries served of 4"), std::string::npos) << line;
  }

  // A worker's one round: it prints each outcome once its batch is committed.
  ServiceProcess check({"check", "--db", db, "--check-url", target.checkUrl(), "--check-key", key, "--timeout", "5s"},
                       {.withErrors = true});
  std::vector<std::string> said;
  Clock::time_point committed;
  for (std::string line = check.readLine(60000); !line.empty(); line = check.readLine(60000)) {
    said.push_back(line);
    if (line.rfind("127.4.", 0) == 0) committed = Clock::now();
    if (line.find("checked 4 in") != std::string::npos) break;
  }
  ASSERT_NE(committed, Clock::time_point()) << testing::PrintToString(said);
  EXPECT_EQ(WEXITSTATUS(check.wait()), 0) << testing::PrintToString(said);

  // Both front-ends serve the live three, fastest first, from the moment the last outcome was committed.
  std::vector<std::string> expected = liveInServingOrder(db);
  ASSERT_EQ(std::set<std::string>(expected.begin(), expected.end()), addressesOf(alive));
  Clock::duration shown[2] = {};
  for (bool waiting = true; waiting && Clock::now() < committed + std::chrono::seconds(10);) {
    waiting = false;
    for (int i = 0; i < 2; ++i) {
      if (shown[i] != Clock::duration()) continue;
      if (listedEntries(pageOf(ports[i])) == expected) {
        shown[i] = Clock::now() - committed;
      } else {
        waiting = true;
      }
    }
    if (waiting) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  for (int i = 0; i < 2; ++i) {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(shown[i]).count();
    RecordProperty("front_end_" + std::to_string(i) + "_fresh_ms", static_cast<int>(ms));
    std::printf("front-end %d showed the committed outcomes after %lld ms\n", i, static_cast<long long>(ms));
    EXPECT_NE(shown[i], Clock::duration()) << "front-end " << i << " never showed them: " << pageOf(ports[i]);
    EXPECT_LT(shown[i], std::chrono::seconds(2)) << "front-end " << i << " missed the freshness promise";
  }

  // One store, one snapshot: the same answer to the same question, byte for byte.
  for (std::string query : {std::string(kPage), std::string("/mo.php?tqsl=2"), std::string("/api/proxies?count=10")}) {
    std::string first = pageOf(ports[0], query);
    EXPECT_FALSE(first.empty()) << query;
    EXPECT_EQ(first, pageOf(ports[1], query)) << query;
  }
  for (auto& front : fronts) {
    front->signal(SIGTERM);
    EXPECT_EQ(front->wait(), 0);
  }
}

TEST(ServicePostgresFronts, TwoWorkersAndAFrontEndRideOutTheDatabaseStoppedForTwentySecondsAndLoseNothing) {
  PgCluster* cluster = PgCluster::get();
  if (!cluster) GTEST_SKIP() << PgCluster::why();
  std::string db = cluster->fresh();
  TempFolder folder;
  CheckTargetServer target;
  // More entries than one worker claims at once (256), so both always have work; each check takes a
  // tenth of a second, so rounds are out when the database goes away. The second farm goes away with it:
  // its proxies' next checks fail, which the front-end must come to show.
  FakeProxyFarm staying(16);
  auto leavingFarm = std::make_unique<FakeProxyFarm>(8);
  std::vector<NewProxy> kept = forwarding(staying, 200, 5, 100);
  std::vector<NewProxy> leaving = forwarding(*leavingFarm, 100, 6, 100);
  std::vector<NewProxy> all = kept;
  all.insert(all.end(), leaving.begin(), leaving.end());
  fill(db, all);
  std::string key = target.writeKey(folder.file("check.key"));
  const std::vector<std::string> worker = {
      "check",           "--forever", "--db",       db,  "--check-url", target.checkUrl(),
      "--check-key",     key,         "--parallel", "8", "--lease",     "2s",
      "--recheck-every", "1s",        "--timeout",  "5s"};
  Watched workers[2];
  for (Watched& one : workers) {
    one.process = std::make_unique<ServiceProcess>(worker, ServiceLaunch{.withErrors = true});
  }
  int port = 0;
  std::string startLine;
  Watched front{startFrontEnd(db, port, startLine), {}};
  ASSERT_NE(port, 0) << "the front-end did not start";
  auto drainAll = [&] {
    for (Watched& one : workers) one.drain();
    front.drain();
  };

  // Under way: every entry checked, both workers through a round, the front-end serving them all.
  Clock::time_point deadline = Clock::now() + std::chrono::seconds(90);
  while (Clock::now() < deadline &&
         (queried(db, "SELECT count(*) FROM proxies WHERE checks = 0") != 0 || workers[0].said("checked ").empty() ||
          workers[1].said("checked ").empty() || listedEntries(pageOf(port)).size() != all.size())) {
    drainAll();
  }
  ASSERT_EQ(listedEntries(pageOf(port)).size(), all.size()) << "never under way";
  std::vector<std::string> before = queriedRows(db, "SELECT id, checks, last_checked FROM proxies ORDER BY id");
  std::int64_t checksBefore = queried(db, "SELECT sum(checks) FROM proxies");

  std::vector<pid_t> pids = {workers[0].process->pid(), workers[1].process->pid(), front.process->pid()};
  std::vector<double> cpuBefore;
  for (pid_t pid : pids) cpuBefore.push_back(processState(pid).second);
  Clock::time_point stoppedAt = Clock::now();
  Clock::time_point restartedAt;
  {
    ClusterBack back{*cluster};
    ASSERT_TRUE(cluster->stop());
    leavingFarm.reset();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    std::string page = pageOf(port);
    EXPECT_EQ(listedEntries(page).size(), all.size()) << "the last snapshot is served meanwhile";
    while (Clock::now() < stoppedAt + std::chrono::seconds(20)) drainAll();
    EXPECT_EQ(pageOf(port), page) << "the snapshot held still";
    httplib::Result status = getLoopback(port, "/status");
    ASSERT_TRUE(status);
    EXPECT_EQ(status->status, 200);
    for (std::size_t i = 0; i < pids.size(); ++i) {
      auto [state, cpu] = processState(pids[i]);
      EXPECT_NE(state, 'Z') << "process " << i << " ended while the database was away";
      EXPECT_NE(state, '?') << "process " << i << " is gone";
      // Waiting, not spinning: a generous bound, a tenth of the time.
      EXPECT_LT(cpu - cpuBefore[i], 2.0) << "process " << i << " busy while the database was away";
    }
    ASSERT_TRUE(cluster->start());
    restartedAt = Clock::now();
  }

  // Each said the outage once (a worker holding outcomes says that too), and never that it was over
  // before it was.
  for (Watched* one : {&workers[0], &workers[1], &front}) {
    std::vector<std::string> during = one->said("", stoppedAt, restartedAt);
    EXPECT_EQ(one->said("keeping the pool: the database is unreachable", stoppedAt, restartedAt).size(), 1u)
        << testing::PrintToString(during);
    EXPECT_TRUE(one->said("answers again", stoppedAt, restartedAt).empty()) << testing::PrintToString(during);
    EXPECT_LE(during.size(), 2u) << testing::PrintToString(during);
  }

  // Back: both workers claim, check and write again (a round counted after the one in flight at the stop
  // was claimed after the restart), and the failed checks of the proxies that left are written.
  deadline = Clock::now() + std::chrono::seconds(90);
  auto resumed = [&] {
    return workers[0].said("checked ", restartedAt).size() >= 2 &&
           workers[1].said("checked ", restartedAt).size() >= 2 &&
           !front.said("the store answers again", restartedAt).empty() &&
           queried(db, "SELECT count(*) FROM proxies WHERE failures = 0 AND address LIKE '127.6.%'") == 0;
  };
  while (Clock::now() < deadline && !resumed()) drainAll();
  ASSERT_TRUE(resumed()) << "worker 0: " << workers[0].said("checked ", restartedAt).size()
                         << " rounds, worker 1: " << workers[1].said("checked ", restartedAt).size()
                         << " rounds; front-end back: " << !front.said("the store answers again").empty();
  // Outcomes held while the database was away were written once it came back, not dropped.
  bool heldAndWritten = false;
  for (Watched& one : workers) {
    heldAndWritten |=
        !one.said("outcomes waiting", stoppedAt).empty() && !one.said("writable again", stoppedAt).empty();
  }
  EXPECT_TRUE(heldAndWritten) << "no worker had outcomes waiting through the outage";

  for (Watched& one : workers) one.process->signal(SIGTERM);
  for (Watched& one : workers) {
    for (std::string line : one.process->readAll(30000)) one.lines.emplace_back(Clock::now(), line);
    EXPECT_EQ(one.process->wait(30000), 0);
    ASSERT_FALSE(one.lines.empty());
    EXPECT_EQ(one.lines.back().second, "stopped");
  }
  EXPECT_EQ(queried(db, "SELECT count(*) FROM proxies WHERE lease_owner <> ''"), 0) << "leases left behind";

  // The front-end follows: what it serves is the store's live entries, the leavers gone.
  std::vector<std::string> expected = liveInServingOrder(db);
  EXPECT_EQ(std::set<std::string>(expected.begin(), expected.end()), addressesOf(kept));
  std::vector<std::string> served;
  for (Clock::time_point until = Clock::now() + std::chrono::seconds(5);
       (served = listedEntries(pageOf(port))) != expected && Clock::now() < until;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(served, expected);

  // Nothing written before the stop was lost.
  std::vector<std::string> after = queriedRows(db, "SELECT id, checks, last_checked FROM proxies ORDER BY id");
  ASSERT_EQ(after.size(), before.size());
  for (std::size_t i = 0; i < before.size(); ++i) {
    std::int64_t id = 0, checks = 0, checked = 0, idAfter = 0, checksAfter = 0, checkedAfter = 0;
    std::sscanf(before[i].c_str(), "%ld|%ld|%ld", &id, &checks, &checked);
    std::sscanf(after[i].c_str(), "%ld|%ld|%ld", &idAfter, &checksAfter, &checkedAfter);
    EXPECT_EQ(idAfter, id);
    EXPECT_GE(checksAfter, checks) << "entry " << id;
    EXPECT_GE(checkedAfter, checked) << "entry " << id;
  }
  EXPECT_GT(queried(db, "SELECT sum(checks) FROM proxies"), checksBefore);

  front.process->signal(SIGTERM);
  front.drain();
  EXPECT_EQ(front.process->wait(), 0);
  for (const Watched* one : {&workers[0], &workers[1], &front}) {
    EXPECT_TRUE(one->said(cluster->password()).empty()) << "the password leaked";
  }
}

}  // namespace
