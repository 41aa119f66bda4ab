#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <array>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "service/store/addressPolicy.h"
#include "service/store/ipv4.h"
#include "service/store/poolSnapshot.h"
#include "service/store/poolStore.h"
#include "service_testing.h"
#include "storeEngines.h"

namespace {

NewProxy proxy(const char* address, std::uint16_t port, std::string province = {}, std::string carrier = {}) {
  return {address, port, std::move(province), "", std::move(carrier)};
}

class ServiceStore : public StoreOnEngine {};
INSTANTIATE_TEST_SUITE_P(Engines, ServiceStore, testing::Values(Engine::sqlite, Engine::postgres), engineName);

TEST_P(ServiceStore, AddsNewEntriesAndMergesDuplicatesInsideAndAcrossBatches) {
  std::unique_ptr<PoolStore> store = fresh();
  MergeCounts first = store->add(
      {proxy("1.45.0.1", 80), proxy("1.45.0.2", 80), proxy("1.45.0.1", 80), proxy("1.45.0.1", 8080)}, "a.txt", 1000);
  EXPECT_EQ(first.added, 3u);
  EXPECT_EQ(first.merged, 1u);
  // A later source refreshes region, carrier and source but keeps the entry's first sighting.
  MergeCounts second = store->add({proxy("1.45.0.2", 80, "Beijing", "Unicom"), proxy("1.45.0.3", 80)}, "b.txt", 2000);
  EXPECT_EQ(second.added, 1u);
  EXPECT_EQ(second.merged, 1u);
  std::vector<StoredProxy> all = store->all();
  ASSERT_EQ(all.size(), 4u);
  EXPECT_EQ(all[1].address, "1.45.0.2");
  EXPECT_EQ(all[1].province, "Beijing");
  EXPECT_EQ(all[1].carrier, "Unicom");
  EXPECT_EQ(all[1].source, "b.txt");
  EXPECT_EQ(all[1].firstSeen, 1000);
  EXPECT_EQ(all[3].address, "1.45.0.3");  // insertion order
  EXPECT_EQ(store->count(), 4u);
}

TEST_P(ServiceStore, CountsConsecutiveFailuresAndSchedulesRechecks) {
  std::unique_ptr<PoolStore> store = fresh();
  store->add({proxy("127.0.0.1", 1), proxy("127.0.0.1", 2), proxy("127.0.0.1", 3)}, "t", 0);
  EXPECT_FALSE(store->nextDue(600).value() > 1000) << "never checked: due at once";
  std::vector<DueProxy> due = store->due(1000, 600);
  ASSERT_EQ(due.size(), 3u);

  store->recordCheck(due[0].id, true, 120, 1000);
  for (int i = 0; i < 3; ++i) store->recordCheck(due[1].id, false, 0, 1000 + i);
  store->recordCheck(due[2].id, false, 0, 1000);
  store->recordCheck(due[2].id, true, 40, 1001);
  std::vector<StoredProxy> all = store->all();
  EXPECT_TRUE(all[0].aliveAtLastCheck());
  EXPECT_EQ(all[0].latencyMs, 120u);
  EXPECT_EQ(all[0].lastAlive, 1000);
  EXPECT_EQ(all[1].failures, 3);
  EXPECT_FALSE(all[1].aliveAtLastCheck());
  EXPECT_EQ(all[1].lastAlive, 0);
  EXPECT_EQ(all[2].failures, 0) << "a success ends the run of failures";
  EXPECT_TRUE(all[2].aliveAtLastCheck());

  // Nothing is due again before its check is `every` old; then exactly the oldest are.
  EXPECT_TRUE(store->due(1500, 600).empty());
  EXPECT_EQ(store->nextDue(600), 1600);
  std::vector<DueProxy> later = store->due(1601, 600);
  ASSERT_EQ(later.size(), 2u);
  EXPECT_EQ(later[0].id, due[0].id);
}

TEST_P(ServiceStore, AReopenedStoreHoldsTheEntriesAndTheirCheckResults) {
  std::string target = newTarget();
  std::int64_t id = 0;
  {
    std::unique_ptr<PoolStore> store = open(target);
    store->add({proxy("1.45.0.9", 3128, utf8(u8"北京"), utf8(u8"联通"))}, "list.txt", 500);
    id = store->due(600, 60).at(0).id;
    store->recordCheck(id, true, 77, 600);
  }
  std::unique_ptr<PoolStore> reopened = open(target);
  std::vector<StoredProxy> all = reopened->all();
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].id, id);
  EXPECT_EQ(all[0].province, utf8(u8"北京"));
  EXPECT_EQ(all[0].carrier, utf8(u8"联通"));
  EXPECT_EQ(all[0].latencyMs, 77u);
  EXPECT_EQ(all[0].lastChecked, 600);
  EXPECT_TRUE(all[0].aliveAtLastCheck());

  if (!onPostgres()) {
    EXPECT_EQ(pragmaOf(target, "journal_mode"), "wal") << "so readers never wait on the writer";
  }
}

TEST_P(ServiceStore, SeesCommitsOfAnotherConnectionButNotItsOwn) {
  std::string target = newTarget();
  std::unique_ptr<PoolStore> server = open(target);
  std::unique_ptr<PoolStore> importer = open(target);
  std::int64_t before = server->dataVersion();
  server->add({proxy("1.45.0.1", 80)}, "own", 0);
  EXPECT_EQ(server->dataVersion(), before) << "its own commit is not news";
  importer->add({proxy("1.45.0.2", 80)}, "other", 0);
  // A notification may take a moment to arrive; a SQLite commit is seen at once.
  std::int64_t after = server->dataVersion();
  for (int waited = 0; after == before && waited < 200; ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    after = server->dataVersion();
  }
  EXPECT_NE(after, before);
  EXPECT_EQ(server->count(), 2u);
  std::vector<StoredProxy> all = importer->all();
  std::string error;
  ASSERT_TRUE(importer->recordChecks({{all[0].id, true, 30, 500}}, error)) << error;
  std::int64_t checked = server->dataVersion();
  for (int waited = 0; checked == after && waited < 200; ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    checked = server->dataVersion();
  }
  EXPECT_NE(checked, after) << "an outcome written by a worker is news too";
}

TEST_P(ServiceStore, WritesABatchOfOutcomesWholeOrNotAtAll) {
  std::string target = newTarget();
  std::unique_ptr<PoolStore> store = open(target, {.busyTimeoutMs = 200});
  ASSERT_TRUE(store);
  std::string error;
  store->add({proxy("127.0.0.1", 1), proxy("127.0.0.1", 2), proxy("127.0.0.1", 3)}, "t", 0);
  std::vector<StoredProxy> before = store->all();
  ASSERT_TRUE(store->recordChecks({{before[0].id, true, 30, 500}, {before[1].id, false, 0, 500}}, error)) << error;
  std::vector<StoredProxy> after = store->all();
  EXPECT_EQ(after[0].latencyMs, 30u);
  EXPECT_EQ(after[0].lastAlive, 500);
  EXPECT_EQ(after[1].failures, 1);
  EXPECT_EQ(after[2].lastChecked, 0) << "not in the batch";

  // Another writer holds the store (its rows): the batch waits once, then nothing of it is written.
  RawConnection holder(engine(), target);
  ASSERT_TRUE(holder.run(onPostgres() ? "BEGIN; UPDATE proxies SET failures = 9"
                                      : "BEGIN IMMEDIATE; UPDATE proxies SET failures = 9"));
  std::vector<StoredProxy> during;
  ASSERT_TRUE(store->all(during, error)) << "a reader never waits on a writer: " << error;
  EXPECT_EQ(during[1].failures, 1) << "the writer's uncommitted change is not seen";
  EXPECT_FALSE(store->recordChecks({{before[2].id, true, 10, 600}, {before[1].id, false, 0, 600}}, error));
  EXPECT_EQ(error, "store busy: another process holds it");
  holder.run("ROLLBACK");
  std::vector<StoredProxy> unchanged = store->all();
  EXPECT_EQ(unchanged[2].lastChecked, 0);
  EXPECT_EQ(unchanged[1].failures, 1);
}

// Each block at its edges: the address before it, its first and last, the one after.
TEST(ServiceAddressPolicy, ClassifiesEveryBlockToItsEdges) {
  struct Kind {
    const char* name;
    bool fromFile, fromWeb, fromWebAllowed, contact;
  };
  const Kind kinds[] = {
      {"global", true, true, true, true},           {"private", true, false, true, true},
      {"shared", true, false, true, true},          {"loopback", true, false, true, true},
      {"link-local", true, false, true, true},      {"protocol assignments", true, false, true, true},
      {"documentation", true, false, true, false},  {"benchmarking", true, false, true, false},
      {"this network", false, false, false, false}, {"multicast", false, false, false, false},
      {"reserved", false, false, false, false},     {"broadcast", false, false, false, false},
  };
  const std::pair<const char*, const char*> addresses[] = {
      {"0.0.0.0", "this network"},
      {"0.255.255.255", "this network"},
      {"1.0.0.0", "global"},
      {"9.255.255.255", "global"},
      {"10.0.0.0", "private"},
      {"10.255.255.255", "private"},
      {"11.0.0.0", "global"},
      {"100.63.255.255", "global"},
      {"100.64.0.0", "shared"},
      {"100.127.255.255", "shared"},
      {"100.128.0.0", "global"},
      {"126.255.255.255", "global"},
      {"127.0.0.0", "loopback"},
      {"127.255.255.255", "loopback"},
      {"128.0.0.0", "global"},
      {"169.253.255.255", "global"},
      {"169.254.0.0", "link-local"},
      {"169.254.255.255", "link-local"},
      {"169.255.0.0", "global"},
      {"172.15.255.255", "global"},
      {"172.16.0.0", "private"},
      {"172.31.255.255", "private"},
      {"172.32.0.0", "global"},
      {"191.255.255.255", "global"},
      {"192.0.0.0", "protocol assignments"},
      {"192.0.0.255", "protocol assignments"},
      {"192.0.1.0", "global"},
      {"192.0.1.255", "global"},
      {"192.0.2.0", "documentation"},
      {"192.0.2.255", "documentation"},
      {"192.0.3.0", "global"},
      {"192.167.255.255", "global"},
      {"192.168.0.0", "private"},
      {"192.168.255.255", "private"},
      {"192.169.0.0", "global"},
      {"198.17.255.255", "global"},
      {"198.18.0.0", "benchmarking"},
      {"198.19.255.255", "benchmarking"},
      {"198.20.0.0", "global"},
      {"198.51.99.255", "global"},
      {"198.51.100.0", "documentation"},
      {"198.51.100.255", "documentation"},
      {"198.51.101.0", "global"},
      {"203.0.112.255", "global"},
      {"203.0.113.0", "documentation"},
      {"203.0.113.255", "documentation"},
      {"203.0.114.0", "global"},
      {"223.255.255.255", "global"},
      {"224.0.0.0", "multicast"},
      {"239.255.255.255", "multicast"},
      {"240.0.0.0", "reserved"},
      {"255.255.255.254", "reserved"},
      {"255.255.255.255", "broadcast"},
  };
  for (const auto& [text, kindName] : addresses) {
    std::uint32_t address = parseIpv4(text).value();
    const Kind* kind = nullptr;
    for (const Kind& candidate : kinds) {
      if (std::string_view(candidate.name) == kindName) kind = &candidate;
    }
    ASSERT_TRUE(kind) << kindName;
    EXPECT_EQ(classifyIpv4(address).name, kind->name) << text;
    EXPECT_EQ(mayImport(address, false, false), kind->fromFile) << text;
    EXPECT_EQ(mayImport(address, false, true), kind->fromFile) << text;
    EXPECT_EQ(mayImport(address, true, false), kind->fromWeb) << text;
    EXPECT_EQ(mayImport(address, true, true), kind->fromWebAllowed) << text;
    EXPECT_EQ(mayContact(address), kind->contact) << text;
  }
}

// The counts are written out: a test reading the constant would move with it.
TEST(ServiceSnapshot, AnEntryIsFailingAfterOneOrTwoFailedChecksAndDeadAfterThree) {
  std::unique_ptr<PoolStore> store = openStore(":memory:");
  const char* names[] = {"one", "two", "three", "four"};
  std::vector<NewProxy> proxies;
  for (int i = 0; i < 4; ++i) proxies.push_back(proxy("1.45.0.1", static_cast<std::uint16_t>(80 + i), names[i]));
  store->add(proxies, "t", 0);
  std::vector<StoredProxy> all = store->all();
  for (int i = 0; i < 4; ++i) {
    for (int failure = 0; failure <= i; ++failure) store->recordCheck(all[i].id, false, 0, 1000 + failure);
  }
  std::shared_ptr<PoolSnapshot> snapshot = buildSnapshot(store->all(), true);
  EXPECT_TRUE(snapshot->served.empty());
  EXPECT_EQ(snapshot->total.failing, 2u);
  EXPECT_EQ(snapshot->total.dead, 2u);
  for (const HealthCount& region : snapshot->byRegion) {
    bool dead = region.name == "three" || region.name == "four";
    EXPECT_EQ(region.dead, dead ? 1u : 0u) << region.name;
    EXPECT_EQ(region.failing, dead ? 0u : 1u) << region.name;
  }
}

// Enough entries that an unstable sort would reorder equals (small ranges sort stably by insertion).
TEST(ServiceSnapshot, ServesEqualLatenciesInTheOrderTheEntriesCame) {
  std::unique_ptr<PoolStore> store = openStore(":memory:");
  std::vector<NewProxy> proxies;
  for (int i = 0; i < 90; ++i) proxies.push_back(proxy("1.45.0.1", static_cast<std::uint16_t>(1000 + i)));
  store->add(proxies, "t", 0);
  std::vector<StoredProxy> all = store->all();
  std::vector<std::string> expected[3];
  for (int i = 0; i < 90; ++i) {
    int latency = (i * 7) % 3;  // 0, 1, 2, 0, … in insertion order
    store->recordCheck(all[i].id, true, static_cast<std::uint32_t>(40 + latency * 10), 1000);
    expected[latency].push_back(std::to_string(1000 + i));
  }
  std::shared_ptr<PoolSnapshot> snapshot = buildSnapshot(store->all(), true);
  std::vector<std::string> served;
  for (const PoolEntry& entry : snapshot->served) served.push_back(std::to_string(entry.port));
  std::vector<std::string> fastestFirst = expected[0];
  fastestFirst.insert(fastestFirst.end(), expected[1].begin(), expected[1].end());
  fastestFirst.insert(fastestFirst.end(), expected[2].begin(), expected[2].end());
  EXPECT_EQ(served, fastestFirst);
}

}  // namespace

namespace {

// A store as the first service left it: the first table, no version, one live and one dead entry.
void writeFirstLayout(Engine engine, const std::string& target) {
  RawConnection db(engine, target);
  std::string sql =
      std::string("CREATE TABLE proxies (id ") + (engine == Engine::postgres ? "BIGSERIAL" : "INTEGER") +
      " PRIMARY KEY, address TEXT NOT NULL, port INTEGER NOT NULL,"
      " province TEXT NOT NULL DEFAULT '', city TEXT NOT NULL DEFAULT '', carrier TEXT NOT NULL DEFAULT '',"
      " source TEXT NOT NULL DEFAULT '', first_seen INTEGER NOT NULL, last_checked INTEGER NOT NULL DEFAULT 0,"
      " last_alive INTEGER NOT NULL DEFAULT 0, failures INTEGER NOT NULL DEFAULT 0,"
      " latency_ms INTEGER NOT NULL DEFAULT 0, UNIQUE (address, port));"
      "INSERT INTO proxies (address, port, first_seen, last_checked, last_alive, failures, latency_ms)"
      " VALUES ('1.45.0.1', 80, 1, 50, 50, 0, 12), ('1.45.0.2', 80, 1, 50, 0, 3, 0);";
  std::string error;
  EXPECT_TRUE(db.run(sql, &error)) << error;
}

class ServiceStoreLayout : public StoreOnEngine {};
INSTANTIATE_TEST_SUITE_P(Engines, ServiceStoreLayout, testing::Values(Engine::sqlite, Engine::postgres), engineName);

}  // namespace

TEST_P(ServiceStoreLayout, UpgradesAFirstLayoutStoreAndRefusesOneFromANewerService) {
  std::string target = newTarget();
  writeFirstLayout(engine(), target);
  {
    std::unique_ptr<PoolStore> store = open(target);
    std::vector<StoredProxy> all = store->all();
    ASSERT_EQ(all.size(), 2u);
    // The first checker checked plain HTTP only: what it found alive is an HTTP proxy, the rest unknown.
    EXPECT_EQ(all[0].protocols, kHttp);
    EXPECT_EQ(all[0].latencyMs, 12u);
    EXPECT_EQ(all[1].protocols, 0);
    EXPECT_EQ(all[1].failures, 3);
    EXPECT_EQ(store->add({proxy("1.45.0.3", 80)}, "t", 2).added, 1u) << "new ids follow the old ones";
  }
  EXPECT_EQ(open(target)->count(), 3u) << "an upgraded store opens again as it is";

  RawConnection db(engine(), target);
  ASSERT_TRUE(db.run("UPDATE schema_version SET version = 99"));
  std::string error;
  EXPECT_FALSE(PoolStore::open(target, error));
  EXPECT_NE(error.find("newer"), std::string::npos) << error;
}

TEST_P(ServiceStoreLayout, KeepsHowToReachAnEntryAndHoldsItsSecretsPrivately) {
  std::string target = newTarget();
  std::unique_ptr<PoolStore> store = open(target);
  if (!onPostgres()) {
    struct stat file {};
    ASSERT_EQ(stat(target.c_str(), &file), 0);
    EXPECT_EQ(file.st_mode & 0777, 0600u) << "the store holds credentials";
  }

  NewProxy socks = proxy("1.45.0.1", 1080);
  socks.scheme = kSocks5;
  socks.username = "alice";
  socks.password = "s3cret:with@signs\ttab\"";
  store->add({socks}, "a.txt", 1);
  // A bare listing of the same address later keeps the scheme and credentials; a new pair replaces them.
  store->add({proxy("1.45.0.1", 1080)}, "b.txt", 2);
  StoredProxy kept = store->all().at(0);
  EXPECT_EQ(kept.scheme, kSocks5);
  EXPECT_EQ(kept.username, "alice");
  EXPECT_EQ(kept.password, "s3cret:with@signs\ttab\"");
  EXPECT_EQ(kept.source, "b.txt");
  NewProxy renamed = proxy("1.45.0.1", 1080);
  renamed.username = "bob";
  store->add({renamed}, "c.txt", 3);
  EXPECT_EQ(store->all().at(0).username, "bob");
  EXPECT_EQ(store->all().at(0).password, "");

  DueProxy due = store->due(10, 5).at(0);
  EXPECT_EQ(due.scheme, kSocks5);
  EXPECT_EQ(due.username, "bob");
}

TEST_P(ServiceStoreLayout, RecordsWhatALiveCheckFoundAndKeepsItThroughAFailure) {
  std::unique_ptr<PoolStore> store = fresh();
  store->add({proxy("1.45.0.1", 8080), proxy("1.45.0.2", 1080)}, "a.txt", 1);
  std::vector<StoredProxy> all = store->all();
  CheckRecord http;
  http.id = all[0].id;
  http.alive = true;
  http.latencyMs = 30;
  http.checkedAt = 100;
  http.protocols = kHttp | kHttps;
  http.failedProtocols = kSocks4 | kSocks5;
  http.probedAll = true;
  http.anonymity = Anonymity::anonymous;
  http.exit = {"1.45.9.9", "P", "C", "K"};
  CheckRecord socks = http;
  socks.id = all[1].id;
  socks.protocols = kSocks5;
  socks.failedProtocols = 0;
  socks.probedAll = false;
  socks.anonymity = Anonymity::elite;
  socks.exit = {};
  std::string error;
  ASSERT_TRUE(store->recordChecks({http, socks}, error)) << error;
  ASSERT_TRUE(store->recordCheck(all[0].id, false, 0, 200, error)) << error;

  all = store->all();
  EXPECT_EQ(all[0].protocols, kHttp | kHttps) << "a failure leaves what the entry was known to be";
  EXPECT_EQ(all[0].failedProtocols, kSocks4 | kSocks5);
  EXPECT_EQ(all[0].probedAt, 100);
  EXPECT_EQ(all[0].anonymity, Anonymity::anonymous);
  EXPECT_EQ(all[0].exit.address, "1.45.9.9");
  EXPECT_EQ(all[0].failures, 1);
  EXPECT_EQ(all[1].probedAt, 0);

  // The program's page lists HTTP proxies only; the JSON answer has every live one with its kind.
  std::shared_ptr<PoolSnapshot> snapshot = buildSnapshot(all, true);
  EXPECT_TRUE(snapshot->served.empty()) << "the HTTP proxy failed its last check, the other is SOCKS only";
  ASSERT_EQ(snapshot->facts.size(), 1u);
  EXPECT_EQ(snapshot->facts[0].protocols, kSocks5);
  EXPECT_EQ(snapshot->facts[0].anonymity, Anonymity::elite);
  EXPECT_EQ(snapshot->liveByProtocol, (std::array<std::size_t, 4>{0, 0, 0, 1}));
  EXPECT_EQ(snapshot->liveByAnonymity, (std::array<std::size_t, 4>{0, 0, 0, 1}));
}
