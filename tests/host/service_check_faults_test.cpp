// The checker under the faults of its own side, through the real program: a store locked by another
// writer or an import, a store it cannot write, too few open files, a bad check URL, a stop signal.
// Healthy proxies must never be blamed for any of them. Every proxy and target is on loopback.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "fakeProxies.h"
#include "serviceProcess.h"
#include "service_testing.h"

namespace {

std::string named(const CheckCandidate& candidate) {
  return candidate.address + ":" + std::to_string(candidate.port);
}

// 127.<block>.<i / 250>.<i % 250 + 1>: a loopback address of its own for each proxy.
std::string spread(int block, int i) {
  return "127." + std::to_string(block) + "." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
}

// `count` healthy proxies forwarding after `delayMs`, put in the store at `db`.
std::vector<CheckCandidate> healthyPool(FakeProxyFarm& farm, const std::string& db, int count, int delayMs) {
  std::vector<CheckCandidate> made;
  std::vector<NewProxy> proxies;
  for (int i = 0; i < count; ++i) {
    made.push_back(farm.add({FakeKind::forward, delayMs}, i, spread(41, i)));
    proxies.push_back({made.back().address, made.back().port, "", "", "", made.back().scheme});
  }
  openStore(db)->add(proxies, "farm", 0);
  return made;
}

// A second connection to the store, as another writer would hold it.
class RawConnection {
 public:
  explicit RawConnection(const std::string& path) {
    EXPECT_EQ(sqlite3_open(path.c_str(), &db_), SQLITE_OK);
    sqlite3_busy_timeout(db_, 30000);
  }
  ~RawConnection() { sqlite3_close(db_); }
  int run(const std::string& sql) { return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr); }
  void setBusyTimeout(int ms) { sqlite3_busy_timeout(db_, ms); }

 private:
  sqlite3* db_ = nullptr;
};

struct Recorded {
  std::size_t checked = 0;
  std::size_t alive = 0;
};

Recorded recordedIn(const std::string& db) {
  Recorded recorded;
  for (const StoredProxy& proxy : openStore(db)->all()) {
    if (proxy.lastChecked == 0) continue;
    ++recorded.checked;
    if (proxy.aliveAtLastCheck()) ++recorded.alive;
  }
  return recorded;
}

// The time a healthy proxy's check gets in the two tests of a held store: 2 s, four times its own 0.5 s.
// Under ThreadSanitizer, where the fake proxies forward several times slower on a loaded machine, 5 s:
// still less than the store is held, so a check that waited for the store would still time out.
#if defined(__SANITIZE_THREAD__)
constexpr char kHealthyTimeout[] = "5s";
#else
constexpr char kHealthyTimeout[] = "2s";
#endif

// The key file of `target` beside the store, for the service program.
std::string keyFile(const CheckTargetServer& target, const std::string& db) {
  return target.writeKey(db + ".key");
}

std::vector<std::string> checkCommand(const std::string& db, const CheckTargetServer& target, int parallel,
                                      const std::string& timeout) {
  return {"check",
          "--db",
          db,
          "--check-url",
          target.checkUrl(),
          "--check-key",
          keyFile(target, db),
          "--parallel",
          std::to_string(parallel),
          "--timeout",
          timeout};
}

std::vector<std::string> serveCommand(const std::string& db, const CheckTargetServer& target, int parallel,
                                      const std::string& timeout = "2s") {
  return {"--port",      "0",
          "--db",        db,
          "--check-url", target.checkUrl(),
          "--check-key", keyFile(target, db),
          "--parallel",  std::to_string(parallel),
          "--timeout",   timeout};
}

// The outcome lines of `check` ("address:port verdict …") and its summary, split.
struct CheckOutput {
  std::vector<std::string> outcomes;
  std::string summary;
};

CheckOutput readCheck(ServiceProcess& check) {
  CheckOutput output;
  for (const std::string& line : check.readAll()) {
    if (line.starts_with("127.")) {
      output.outcomes.push_back(line);
    } else {
      output.summary = line;
    }
  }
  return output;
}

// Another writer holds the store's lock for 6 s while the round goes on: the outcomes wait for it, the
// checks do not, so no healthy proxy times out.
TEST(CheckFaults, AStoreLockHeldMidRoundBlamesNoHealthyProxy) {
  TempFolder folder;
  CheckTargetServer target;
  FakeProxyFarm farm(64);
  std::string db = folder.file("pool.db");
  healthyPool(farm, db, 200, 500);
  ServiceProcess check(checkCommand(db, target, 50, kHealthyTimeout));
  for (int printed = 0; printed < 10; ++printed) ASSERT_FALSE(check.readLine().empty()) << "the round ended early";
  {
    RawConnection other(db);
    ASSERT_EQ(other.run("BEGIN IMMEDIATE"), SQLITE_OK);
    std::this_thread::sleep_for(std::chrono::seconds(6));
    ASSERT_EQ(other.run("COMMIT"), SQLITE_OK);
  }
  CheckOutput output = readCheck(check);
  EXPECT_EQ(check.wait(), 0);
  EXPECT_NE(output.summary.find("200 alive, 0 not"), std::string::npos) << output.summary;
  Recorded recorded = recordedIn(db);
  EXPECT_EQ(recorded.checked, 200u);
  EXPECT_EQ(recorded.alive, 200u);
}

// A million-line import by another process holds the store while a server checks: the same. Under
// ThreadSanitizer, where the import alone would take minutes, a tenth of the lines holds it as long.
#if defined(__SANITIZE_THREAD__)
constexpr int kImportLines = 100000;
#else
constexpr int kImportLines = 1000000;
#endif

TEST(CheckFaults, AMillionLineImportBesideACheckingServerBlamesNoHealthyProxy) {
  TempFolder folder;
  CheckTargetServer target;
  FakeProxyFarm farm(64);
  std::string db = folder.file("pool.db");
  std::vector<CheckCandidate> healthy = healthyPool(farm, db, 200, 500);
  // Loopback addresses on ports nothing here listens on: whatever checks them only meets refusals.
  std::string list;
  list.reserve(24 * kImportLines);
  for (int i = 0; i < kImportLines; ++i) {
    list += "127.254." + std::to_string((i >> 8) & 0xFF) + "." + std::to_string(i & 0xFF) + ":" +
            std::to_string(1 + (i >> 16)) + "\n";
  }
  std::string listFile = folder.write("million.txt", list);
  ServiceProcess import({"import", "--db", db, listFile});
  // Wait until the import holds the store's lock, then start the server beside it.
  RawConnection probe(db);
  probe.setBusyTimeout(0);
  bool held = false;
  for (int waited = 0; !held && waited < 120000; waited += 20) {
    held = probe.run("BEGIN IMMEDIATE") == SQLITE_BUSY;
    if (!held) {
      probe.run("ROLLBACK");
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  ASSERT_TRUE(held) << "the import never took the store";
  ServiceProcess server(serveCommand(db, target, 50, kHealthyTimeout));
  ASSERT_NE(server.readLine().find("listening"), std::string::npos);
  EXPECT_EQ(import.wait(180000), 0);
  std::set<std::string> healthyNames;
  for (const CheckCandidate& candidate : healthy) healthyNames.insert(named(candidate));
  std::size_t checked = 0, alive = 0;
  for (int waited = 0; checked < healthy.size() && waited < 120; ++waited) {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    checked = alive = 0;
    for (const StoredProxy& proxy : openStore(db)->all()) {
      if (proxy.lastChecked == 0 || !healthyNames.contains(proxy.address + ":" + std::to_string(proxy.port))) continue;
      ++checked;
      if (proxy.aliveAtLastCheck()) ++alive;
    }
  }
  server.stop(SIGTERM);
  EXPECT_EQ(checked, healthy.size());
  EXPECT_EQ(alive, healthy.size()) << "healthy proxies recorded dead";
}

// A store that refuses the outcomes: the entry is checked once, its outcome waits (said once, on
// standard error), and is written once the store takes it again.
TEST(CheckFaults, AnOutcomeTheStoreRefusesWaitsAndIsNotCheckedAgain) {
  TempFolder folder;
  CheckTargetServer target;
  FakeProxyFarm farm;
  std::string db = folder.file("pool.db");
  healthyPool(farm, db, 1, 0);
  RawConnection other(db);
  // Outcomes refused, claims taken: a claim writes the lease alone.
  ASSERT_EQ(other.run("CREATE TRIGGER refuse BEFORE UPDATE OF last_checked ON proxies BEGIN SELECT RAISE(ABORT, "
                      "'checks refused'); END"),
            SQLITE_OK);
  ServiceProcess server(serveCommand(db, target, 8), {.withErrors = true});
  ASSERT_NE(server.readLine().find("listening"), std::string::npos);
  std::vector<std::string> reports;
  for (std::string line = server.readLine(5000); !line.empty(); line = server.readLine(5000)) reports.push_back(line);
  EXPECT_EQ(farm.accepted(), 1) << "checked again while its outcome waited";
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find("store not writable: "), std::string::npos) << reports[0];
  EXPECT_NE(reports[0].find("checks refused"), std::string::npos) << reports[0];
  EXPECT_NE(reports[0].find("; 1 outcome waiting"), std::string::npos) << reports[0];
  EXPECT_EQ(recordedIn(db).checked, 0u);

  ASSERT_EQ(other.run("DROP TRIGGER refuse"), SQLITE_OK);
  Recorded recorded;
  for (int waited = 0; recorded.checked == 0 && waited < 300; ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    recorded = recordedIn(db);
  }
  EXPECT_EQ(recorded.alive, 1u);
  EXPECT_EQ(farm.accepted(), 1);
}

// A thousand checks at once under a soft limit of 256 open files: the limit is raised to what they
// need (all alive: never a refusal per proxy), or the command refuses to start, with the numbers, when
// the hard limit is too low.
TEST(CheckFaults, ParallelChecksGetTheOpenFilesTheyNeed) {
  rlimit files{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &files), 0);
  if (files.rlim_max != RLIM_INFINITY && files.rlim_max < 4096) GTEST_SKIP() << "hard limit " << files.rlim_max;
  // The farm itself holds a thousand listeners and their connections.
  rlimit raised = files;
  raised.rlim_cur = files.rlim_max;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &raised), 0);
  TempFolder folder;
  CheckTargetServer target;
  FakeProxyFarm farm(16);
  std::string db = folder.file("pool.db");
  healthyPool(farm, db, 1000, 0);
  {
    ServiceProcess check(checkCommand(db, target, 1000, "30s"), {.openFilesSoft = 256});
    CheckOutput output = readCheck(check);
    EXPECT_EQ(check.wait(), 0);
    EXPECT_EQ(output.outcomes.size(), 1000u);
    EXPECT_NE(output.summary.find("1000 alive, 0 not"), std::string::npos) << output.summary;
    EXPECT_EQ(recordedIn(db).alive, 1000u);
  }
  {
    ServiceProcess check(checkCommand(db, target, 1000, "30s"),
                         {.withErrors = true, .openFilesSoft = 256, .openFilesHard = 256});
    std::vector<std::string> lines = check.readAll(10000);
    int status = check.wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << status;
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "quorvelip-service: --parallel 1000 needs about 1064 open files; the limit is 256 (hard)");
  }
  setrlimit(RLIMIT_NOFILE, &files);
}

// Options the keeper could not use end the program at start, with the reason; nothing is checked.
TEST(CheckFaults, ABadCheckUrlIsRefusedAtStart) {
  TempFolder folder;
  FakeProxyFarm farm;
  std::string db = folder.file("pool.db");
  healthyPool(farm, db, 1, 0);
  for (const std::string url : {"http://127.0.0.1:9/check#x", "http://", "http://exa mple/"}) {
    for (bool serving : {true, false}) {
      std::vector<std::string> arguments =
          serving ? std::vector<std::string>{"--port", "0"} : std::vector<std::string>{"check"};
      for (const char* rest : {"--db", db.c_str(), "--check-url", url.c_str(), "--timeout", "1s"}) {
        arguments.push_back(rest);
      }
      ServiceProcess service(arguments, {.withErrors = true});
      std::vector<std::string> lines = service.readAll(10000);
      int status = service.wait(10000);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << url << " exit status " << status;
      ASSERT_FALSE(lines.empty()) << url;
      EXPECT_NE(lines[0].find("--check-url"), std::string::npos) << lines[0];
    }
  }
  EXPECT_EQ(farm.accepted(), 0);
  EXPECT_EQ(recordedIn(db).checked, 0u);
}

// SIGINT or SIGTERM mid-round: the round stops, what arrived is written and printed, the summary follows,
// and the command exits 0.
TEST(CheckFaults, AStopSignalEndsTheRoundWithItsOutcomesWritten) {
  for (int stopSignal : {SIGTERM, SIGINT}) {
    TempFolder folder;
    CheckTargetServer target;
    FakeProxyFarm farm;
    std::string db = folder.file("pool.db");
    healthyPool(farm, db, 40, 200);
    ServiceProcess check(checkCommand(db, target, 2, "5s"));
    std::vector<std::string> printed;
    while (printed.size() < 4) {
      std::string line = check.readLine();
      ASSERT_FALSE(line.empty()) << "the round ended before the signal";
      printed.push_back(line);
    }
    check.signal(stopSignal);
    CheckOutput rest = readCheck(check);
    int status = check.wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << strsignal(stopSignal) << ": status " << status;
    printed.insert(printed.end(), rest.outcomes.begin(), rest.outcomes.end());
    EXPECT_NE(rest.summary.find("stopped"), std::string::npos) << rest.summary;
    EXPECT_LT(printed.size(), 40u);
    EXPECT_EQ(recordedIn(db).checked, printed.size()) << "every outcome printed is written, and only those";
  }
}

}  // namespace
