// The pool served live: fake proxies on loopback checked through the real checker by the real
// program's server and check command, and what survives a restart or a kill.
// Every proxy here is a 127.x address: nothing outside loopback is ever contacted.
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "fakeProxies.h"
#include "serviceProcess.h"
#include "service_testing.h"

namespace {

// Fills the store with one proxy per kind (the farm binds loopback addresses only); the good ones
// forward after 150, 10 and 80 ms. Returns "127.0.0.1:port" of the good ones, fastest first.
std::vector<std::string> addFarm(PoolStore& store, FakeProxyFarm& farm) {
  std::vector<CheckCandidate> all = {FakeProxyFarm::refusing(0)};
  for (int delay : {150, 10, 80}) all.push_back(farm.add({FakeKind::forward, delay}, 0));
  for (FakeKind kind : {FakeKind::hold, FakeKind::ownPage, FakeKind::errorPage, FakeKind::staleAnswer,
                        FakeKind::garbage, FakeKind::closeMidReply, FakeKind::hugeReply}) {
    all.push_back(farm.add({kind}, 0));
  }
  std::vector<NewProxy> proxies;
  for (const CheckCandidate& candidate : all) proxies.push_back({candidate.address, candidate.port, "", "", ""});
  store.add(proxies, "farm", 0);
  auto named = [](const CheckCandidate& c) { return c.address + ":" + std::to_string(c.port); };
  return {named(all[2]), named(all[3]), named(all[1])};
}

std::vector<std::string> listed(int port) {
  httplib::Result page = getLoopback(port, "/mo.php?tqsl=%31%30%30");
  return page ? listedEntries(page->body) : std::vector<std::string>{"no answer"};
}

TEST(ServiceLivePool, ServesExactlyTheGoodProxiesFastestFirstOnceCheckedAndAfterARestart) {
  TempFolder folder;
  CheckTargetServer target;
  auto farm = std::make_unique<FakeProxyFarm>();
  std::string db = folder.file("pool.db");
  std::vector<std::string> fastestFirst = addFarm(*openStore(db), *farm);
  const std::vector<std::string> serve = {"--port",      "0",
                                          "--db",        db,
                                          "--check-url", target.checkUrl(),
                                          "--check-key", target.writeKey(folder.file("check.key")),
                                          "--timeout",   "2s"};
  {
    ServiceProcess first(serve);
    std::string line = first.readLine();
    ASSERT_NE(line.find("11 entries served of 11"), std::string::npos) << "nothing checked yet: all served: " << line;
    EXPECT_NE(line.find("nothing checked yet, checking against"), std::string::npos) << line;
    int port = portOfStartLine(line);
    std::string status;
    for (int waited = 0; status.find(utf8(u8"（第 1 轮）")) == std::string::npos && waited < 300; ++waited) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      httplib::Result page = getLoopback(port, "/status");
      status = page ? page->body : "";
    }
    EXPECT_NE(status.find(utf8(u8"检测 11 个，存活 3 个")), std::string::npos) << status;
    EXPECT_NE(status.find(utf8(u8"存活 3</span>，<span class=\"dead\">失效 0</span>，失败中 8")), std::string::npos);
    EXPECT_EQ(listed(port), fastestFirst);
    httplib::Result json = getLoopback(port, "/api/proxies?count=2");
    ASSERT_TRUE(json);
    nlohmann::json answer = nlohmann::json::parse(json->body);
    ASSERT_EQ(answer["proxies"].size(), 2u);
    EXPECT_EQ(answer["proxies"][0]["address"].get<std::string>() + ":" +
                  std::to_string(answer["proxies"][0]["port"].get<int>()),
              fastestFirst[0]);
    EXPECT_LE(answer["proxies"][0]["latency_ms"], answer["proxies"][1]["latency_ms"]);
    first.stop(SIGTERM);
  }
  // The results come back with the store: served at once, before any new check (none is due for
  // ten minutes), even with the proxies gone.
  farm.reset();
  ServiceProcess second(serve);
  std::string line = second.readLine();
  EXPECT_NE(line.find("3 entries served of 11"), std::string::npos) << line;
  EXPECT_EQ(listed(portOfStartLine(line)), fastestFirst);
}

TEST(ServiceLivePool, AKillMidRoundLosesAtMostTheChecksInFlightAndTheLastBatch) {
  TempFolder folder;
  CheckTargetServer target;
  FakeProxyFarm farm;
  std::string db = folder.file("pool.db");
  constexpr int kProxies = 40;
  constexpr int kParallel = 2;
  std::vector<NewProxy> proxies = addToFarm(farm, {FakeKind::forward, 200, 0, 0}, kProxies);
  openStore(db)->add(proxies, "farm", 0);
  // Each printed line is an outcome already committed: kill the round after a few of them.
  ServiceProcess check({"check", "--db", db, "--check-url", target.checkUrl(), "--check-key",
                        target.writeKey(folder.file("check.key")), "--parallel", std::to_string(kParallel)});
  std::vector<std::string> printed;
  while (printed.size() < 6) {
    std::string line = check.readLine();
    ASSERT_FALSE(line.empty()) << "the round ended before the kill";
    printed.push_back(line.substr(0, line.find(' ')));
  }
  check.stop(SIGKILL);

  EXPECT_EQ(pragmaOf(db, "integrity_check"), "ok");
  std::vector<StoredProxy> all = openStore(db)->all();
  ASSERT_EQ(all.size(), static_cast<std::size_t>(kProxies)) << "nothing imported is lost";
  std::size_t recorded = 0;
  for (const StoredProxy& proxy : all) {
    std::string name = proxy.address + ":" + std::to_string(proxy.port);
    bool wasPrinted = std::find(printed.begin(), printed.end(), name) != printed.end();
    if (proxy.lastChecked != 0) {
      ++recorded;
      EXPECT_TRUE(proxy.aliveAtLastCheck()) << name;
    }
    EXPECT_TRUE(!wasPrinted || proxy.lastChecked != 0) << name << " was reported checked but is not recorded";
  }
  // Committed without being read here: the rest of the batch whose line was read last (a batch gathers a
  // fifth of a second of outcomes: with two checks of 200 ms in flight, about two), and what ended since.
  EXPECT_GE(recorded, printed.size());
  EXPECT_LE(recorded, printed.size() + 3 * kParallel);
}

}  // namespace
