// What is served follows the store, whatever the options: every entry while nothing in it was ever
// checked (the sample pool, a fresh import), only the live ones once any check result is there, from
// this service's keeper, a `check` run beside it or another checker on the same file.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "rawHttp.h"
#include "service/check/poolKeeper.h"
#include "serviceProcess.h"
#include "service_testing.h"

namespace {

// Loopback addresses nothing here listens on: nothing contacts them, the keeper never checks.
const std::vector<NewProxy> kThree = {
    {"127.31.0.1", 8080, "", "", ""}, {"127.31.0.2", 8080, "", "", ""}, {"127.31.0.3", 8080, "", "", ""}};

std::vector<std::int64_t> idsOf(PoolStore& store) {
  std::vector<std::int64_t> ids;
  for (const StoredProxy& proxy : store.all()) ids.push_back(proxy.id);
  return ids;
}

void record(const std::string& db, std::int64_t id, bool alive) {
  CheckRecord outcome;
  outcome.id = id;
  outcome.alive = alive;
  outcome.latencyMs = 40;
  outcome.checkedAt = std::time(nullptr);
  std::string error;
  EXPECT_TRUE(openStore(db)->recordChecks({outcome}, error)) << error;
}

std::vector<std::string> servedAddresses(const PoolSnapshot& snapshot) {
  std::vector<std::string> addresses;
  for (const ServedFacts& facts : snapshot.facts) addresses.push_back(facts.address);
  return addresses;
}

TEST(ServedEntries, EveryEntryUntilTheStoreHoldsACheckResultThenTheLiveOnesWhateverTheOptions) {
  for (bool checking : {false, true}) {
    SCOPED_TRACE(checking ? "with a check URL" : "without a check URL");
    TempFolder folder;
    std::string db = folder.file("pool.db");
    openStore(db)->add(kThree, "list", 0);
    std::vector<std::int64_t> ids = idsOf(*openStore(db));
    ASSERT_EQ(ids.size(), 3u);
    KeeperSettings settings;
    settings.checking = checking;  // never started: nothing is checked here
    SnapshotHolder served;
    PoolKeeper keeper(openStore(db), settings, served);

    keeper.publish();
    EXPECT_FALSE(served.get()->checked);
    EXPECT_EQ(servedAddresses(*served.get()), (std::vector<std::string>{"127.31.0.1", "127.31.0.2", "127.31.0.3"}));
    EXPECT_EQ(served.get()->served.size(), 3u) << "the program's page lists them too";

    // One failed check is a check result: nothing is live, so nothing is served.
    record(db, ids[1], false);
    keeper.publish();
    EXPECT_TRUE(served.get()->checked);
    EXPECT_TRUE(served.get()->facts.empty());
    EXPECT_TRUE(served.get()->served.empty());

    record(db, ids[2], true);
    keeper.publish();
    EXPECT_TRUE(served.get()->checked);
    EXPECT_EQ(servedAddresses(*served.get()), std::vector<std::string>{"127.31.0.3"});
    EXPECT_EQ(served.get()->total.unchecked, 1u);
  }
}

TEST(ServedEntries, TheRunningServiceTurnsToLiveEntriesWhenAnotherProcessRecordsAnOutcome) {
  TempFolder folder;
  std::string db = folder.file("pool.db");
  openStore(db)->add(kThree, "list", 0);
  std::vector<std::int64_t> ids = idsOf(*openStore(db));
  ServiceProcess service({"--port", "0", "--db", db});
  std::string line = service.readLine();
  EXPECT_NE(line.find("3 entries served of 3"), std::string::npos) << line;
  EXPECT_NE(line.find("nothing checked yet"), std::string::npos) << line;
  int port = portOfStartLine(line);
  ASSERT_GT(port, 0);
  std::optional<RawAnswer> page = rawGet(port, "/mo.php?tqsl=10");
  ASSERT_TRUE(page);
  EXPECT_EQ(listedEntries(page->body).size(), 3u);

  record(db, ids[0], true);
  std::vector<std::string> listed;
  for (int waited = 0; waited < 100 && listed.size() != 1; ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    page = rawGet(port, "/mo.php?tqsl=10");
    listed = page ? listedEntries(page->body) : std::vector<std::string>{};
  }
  EXPECT_EQ(listed, std::vector<std::string>{"127.31.0.1:8080"}) << "within a second or two of the commit";
  std::optional<RawAnswer> json = rawGet(port, "/api/proxies");
  ASSERT_TRUE(json);
  EXPECT_NE(json->body.find("\"checked\":true,\"count\":1"), std::string::npos) << json->body;
}

}  // namespace
