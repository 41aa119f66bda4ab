// The server's keeper in the test's own process: how often it rebuilds the served snapshot, what its
// stop leaves in the store, and what it does with a fault of its own. Proxies and target on loopback.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fakeProxies.h"
#include "service/check/poolKeeper.h"
#include "service_testing.h"

namespace {

// 127.<block>.<i / 250>.<i % 250 + 1>: a loopback address of its own for each proxy.
std::string spread(int block, int i) {
  return "127." + std::to_string(block) + "." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
}

void addCandidates(const std::string& db, const std::vector<CheckCandidate>& candidates) {
  std::vector<NewProxy> proxies;
  for (const CheckCandidate& candidate : candidates) proxies.push_back({candidate.address, candidate.port, "", "", ""});
  openStore(db)->add(proxies, "farm", 0);
}

void runSql(const std::string& db, const std::string& sql) {
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(db.c_str(), &raw), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
  sqlite3_close(raw);
}

std::size_t checkedSince(const std::string& db, std::int64_t since) {
  std::size_t count = 0;
  for (const StoredProxy& proxy : openStore(db)->all()) count += proxy.lastChecked >= since ? 1 : 0;
  return count;
}

KeeperSettings checking(const CheckTargetServer& target, std::int64_t recheckEverySeconds) {
  KeeperSettings settings;
  settings.checking = true;
  settings.check.checkUrl = target.checkUrl();
  settings.check.key = target.key();
  settings.check.timeoutMs = 5000;
  settings.recheckEverySeconds = recheckEverySeconds;
  return settings;
}

// Entries falling due one after another over the next four seconds are checked together: one round,
// one rebuild, not a rebuild for each piece.
TEST(PoolKeeper, ChecksEntriesFallingDueAtScatteredTimesWithOneRebuild) {
  TempFolder folder;
  CheckTargetServer target;
  std::string db = folder.file("pool.db");
  std::vector<CheckCandidate> candidates;
  for (int i = 0; i < 60; ++i) candidates.push_back(FakeProxyFarm::refusing(i, spread(43, i)));
  addCandidates(db, candidates);
  constexpr std::int64_t kEvery = 60;
  const std::int64_t now = std::time(nullptr);
  // Entry i falls due at now + 1 + i % 4.
  runSql(db, "UPDATE proxies SET last_checked = " + std::to_string(now - kEvery + 1) + " + id % 4");
  SnapshotHolder snapshot;
  {
    PoolKeeper keeper(openStore(db), checking(target, kEvery), snapshot);
    keeper.publish();
    keeper.start();
    for (int waited = 0; checkedSince(db, now) < candidates.size() && waited < 300; ++waited) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_EQ(checkedSince(db, now), candidates.size());
    // Time for the rebuilds that follow the last commit.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    EXPECT_LE(keeper.snapshotsBuilt(), 1u + 2u) << "the first publish, then at most two";
  }
  EXPECT_EQ(snapshot.get()->rounds, 1u);
}

// Outcomes trickling in over three seconds are committed every fifth of a second, yet the snapshot is
// rebuilt at most once a second.
TEST(PoolKeeper, RebuildsAtMostOnceASecondWhileOutcomesTrickleIn) {
  TempFolder folder;
  CheckTargetServer target;
  FakeProxyFarm farm(64);
  std::string db = folder.file("pool.db");
  std::vector<CheckCandidate> candidates;
  for (int i = 0; i < 60; ++i) candidates.push_back(farm.add({FakeKind::forward, 50 * i}, i, spread(44, i)));
  addCandidates(db, candidates);
  SnapshotHolder snapshot;
  KeeperSettings settings = checking(target, 600);
  settings.check.parallel = 64;
  PoolKeeper keeper(openStore(db), settings, snapshot);
  keeper.publish();
  auto began = std::chrono::steady_clock::now();
  keeper.start();
  for (int waited = 0; checkedSince(db, 1) < candidates.size() && waited < 300; ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  ASSERT_EQ(checkedSince(db, 1), candidates.size());
  EXPECT_LE(static_cast<double>(keeper.snapshotsBuilt()), 1 + seconds + 1) << seconds << " s";
  EXPECT_EQ(snapshot.get()->served.size(), candidates.size());
}

// The destructor stops the round in flight (silent proxies are not waited for), then writes what
// arrived: here the store is locked when it starts (once the round was claimed, before any answer), and
// the outcomes wait for it rather than vanish.
TEST(PoolKeeper, StopsTheRoundThenWritesEveryOutcomeThatArrived) {
  TempFolder folder;
  CheckTargetServer target;
  FakeProxyFarm farm(16);
  std::string db = folder.file("pool.db");
  std::vector<CheckCandidate> candidates;
  for (int i = 0; i < 10; ++i) candidates.push_back(farm.add({FakeKind::forward, 200}, i, spread(45, i)));
  for (int i = 10; i < 14; ++i) candidates.push_back(farm.add({FakeKind::hold}, i, spread(45, i)));
  addCandidates(db, candidates);
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(db.c_str(), &other), SQLITE_OK);
  SnapshotHolder snapshot;
  KeeperSettings settings = checking(target, 600);
  settings.check.timeoutMs = 30000;
  settings.report = [](const std::string&) {};
  auto keeper = std::make_unique<PoolKeeper>(openStore(db), settings, snapshot);
  keeper->start();
  for (int waited = 0; farm.accepted() < 14 && waited < 3000; ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the ten answers reach the writer
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
  });
  auto began = std::chrono::steady_clock::now();
  keeper.reset();
  auto took = std::chrono::steady_clock::now() - began;
  release.join();
  sqlite3_close(other);
  EXPECT_LT(took, std::chrono::seconds(15)) << "waited for the silent proxies";
  std::size_t alive = 0, checked = 0;
  for (const StoredProxy& proxy : openStore(db)->all()) {
    checked += proxy.lastChecked != 0 ? 1 : 0;
    alive += proxy.aliveAtLastCheck() ? 1 : 0;
  }
  EXPECT_EQ(checked, 10u) << "the ten that answered, not the silent four";
  EXPECT_EQ(alive, 10u);
}

// A fault of the keeper's own (here a check URL it cannot use, as no command line would let through)
// is told once; the keeper backs off and the last snapshot stays served.
TEST(PoolKeeper, SurvivesARoundThatThrowsAndTellsItOnce) {
  TempFolder folder;
  CheckTargetServer target;
  std::string db = folder.file("pool.db");
  addCandidates(db, {FakeProxyFarm::refusing(0, spread(46, 0))});
  SnapshotHolder snapshot;
  KeeperSettings settings = checking(target, 600);
  settings.check.checkUrl += "#fragment";
  std::mutex reportsLock;
  std::vector<std::string> reports;
  settings.report = [&](const std::string& message) {
    std::lock_guard lock(reportsLock);
    reports.push_back(message);
  };
  {
    PoolKeeper keeper(openStore(db), settings, snapshot);
    keeper.publish();
    keeper.start();
    std::this_thread::sleep_for(std::chrono::milliseconds(3500));
  }
  std::lock_guard lock(reportsLock);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find("check round failed: check URL"), std::string::npos) << reports[0];
  EXPECT_EQ(snapshot.get()->total.unchecked, 1u) << "still served, still unchecked";
  EXPECT_EQ(checkedSince(db, 1), 0u);
}

}  // namespace
