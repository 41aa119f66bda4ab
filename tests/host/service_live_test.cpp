// The pool served live: fake proxies on loopback checked through the real checker, in the server's
// background keeper and in the real program's commands, and what survives a restart or a kill.
// Every proxy here is a 127.x address: nothing outside loopback is ever contacted.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "fakeProxies.h"
#include "service/poolKeeper.h"
#include "service/serviceRoutes.h"
#include "service_testing.h"

extern char** environ;

namespace {

// Fills the store with one proxy per kind; the good ones forward after 150, 10 and 80 ms. Returns
// "127.0.0.1:port" of the good ones, fastest first.
std::vector<std::string> addFarm(PoolStore& store, FakeProxyFarm& farm) {
  std::vector<NewProxy> proxies;
  std::vector<CheckCandidate> good;
  for (int delay : {150, 10, 80}) good.push_back(farm.add({FakeKind::forward, delay, 0, 0}, 0));
  std::vector<CheckCandidate> bad = {FakeProxyFarm::refusing(0)};
  for (FakeKind kind : {FakeKind::hold, FakeKind::ownPage, FakeKind::errorPage, FakeKind::staleAnswer,
                        FakeKind::garbage, FakeKind::closeMidReply, FakeKind::hugeReply}) {
    bad.push_back(farm.add({kind, 0, 0, 0}, 0));
  }
  for (const std::vector<CheckCandidate>* group : {&good, &bad}) {
    for (const CheckCandidate& candidate : *group) proxies.push_back({candidate.address, candidate.port, "", "", ""});
  }
  store.add(proxies, "farm", 0);
  for (const StoredProxy& proxy : store.all()) EXPECT_TRUE(proxy.address.starts_with("127.")) << "loopback only";
  auto named = [](const CheckCandidate& c) { return c.address + ":" + std::to_string(c.port); };
  return {named(good[1]), named(good[2]), named(good[0])};
}

TEST(ServiceLivePool, TheKeeperChecksTheStoreAndServesExactlyTheGoodProxiesFastestFirst) {
  TempFolder folder;
  CheckTargetServer target;
  FakeProxyFarm farm;
  std::string error;
  std::unique_ptr<PoolStore> store = PoolStore::open(folder.file("pool.db"), error);
  ASSERT_TRUE(store) << error;
  std::vector<std::string> fastestFirst = addFarm(*store, farm);

  KeeperSettings settings;
  settings.checking = true;
  settings.check.checkUrl = target.checkUrl();
  settings.check.timeoutMs = 2000;
  SnapshotHolder snapshot;
  PoolKeeper keeper(std::move(store), settings, snapshot);
  keeper.publish();
  EXPECT_TRUE(snapshot.get()->served.empty()) << "nothing is live before its first check";
  keeper.start();
  for (int waited = 0; snapshot.get()->rounds == 0 && waited < 300; ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  std::shared_ptr<const PoolSnapshot> checked = snapshot.get();
  ASSERT_EQ(checked->rounds, 1u);
  EXPECT_EQ(checked->lastRound.checks, 11u);
  EXPECT_EQ(checked->lastRound.alive, 3u);
  EXPECT_EQ(checked->total.live, 3u);
  EXPECT_EQ(checked->total.failing, 8u);

  // Through the server, as the program asks.
  httplib::Server server;
  installRoutes(server, snapshot, {target.checkUrl(), 600});
  int port = server.bind_to_any_port("127.0.0.1");
  std::thread listener([&] { server.listen_after_bind(); });
  for (int waited = 0; !server.is_running() && waited < 5000; ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  httplib::Client client("127.0.0.1", port);
  client.set_url_encode(false);
  httplib::Result page = client.Get("/mo.php?sxb=&tqsl=%32%30&ports[]2=&ktip=&sxa=&submit=%CC%E1%20%20%C8%A1");
  ASSERT_TRUE(page);
  EXPECT_EQ(splitEntries(cutList(page->body).list), fastestFirst);
  httplib::Result json = client.Get("/api/proxies?count=2");
  ASSERT_TRUE(json);
  nlohmann::json answer = nlohmann::json::parse(json->body);
  ASSERT_EQ(answer["proxies"].size(), 2u);
  EXPECT_EQ(answer["proxies"][0]["address"].get<std::string>() + ":" +
                std::to_string(answer["proxies"][0]["port"].get<int>()),
            fastestFirst[0]);
  EXPECT_LE(answer["proxies"][0]["latency_ms"], answer["proxies"][1]["latency_ms"]);
  server.stop();
  listener.join();
}

// The real service program with its standard output on a pipe.
class ServiceProcess {
 public:
  explicit ServiceProcess(std::vector<std::string> arguments) {
    int pipeEnds[2];
    EXPECT_EQ(pipe2(pipeEnds, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    arguments.insert(arguments.begin(), QV_SERVICE_EXE);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    EXPECT_EQ(posix_spawn(&pid_, QV_SERVICE_EXE, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    out_ = pipeEnds[0];
  }
  ~ServiceProcess() {
    stop(SIGKILL);
    close(out_);
  }

  // The next line of its output, or empty after `timeoutMs` or at its end.
  std::string readLine(int timeoutMs = 30000) {
    for (int waited = 0; waited < timeoutMs;) {
      std::size_t end = buffer_.find('\n');
      if (end != std::string::npos) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        return line;
      }
      pollfd entry{out_, POLLIN, 0};
      if (poll(&entry, 1, 100) <= 0) {
        waited += 100;
        continue;
      }
      char bytes[4096];
      ssize_t got = read(out_, bytes, sizeof bytes);
      if (got <= 0) return {};
      buffer_.append(bytes, static_cast<std::size_t>(got));
    }
    return {};
  }

  void stop(int signal) {
    if (pid_ <= 0) return;
    kill(pid_, signal);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string buffer_;
};

int portOfStartLine(const std::string& line) {
  std::size_t at = line.rfind(':');
  return at == std::string::npos ? 0 : std::stoi(line.substr(at + 1));
}

std::vector<std::string> listed(int port) {
  httplib::Client client("127.0.0.1", port);
  client.set_url_encode(false);
  httplib::Result page = client.Get("/mo.php?tqsl=%31%30%30");
  return page ? splitEntries(cutList(page->body).list) : std::vector<std::string>{"no answer"};
}

TEST(ServiceLivePool, ARestartKeepsThePoolAndTheCheckResults) {
  TempFolder folder;
  CheckTargetServer target;
  auto farm = std::make_unique<FakeProxyFarm>();
  std::string db = folder.file("pool.db");
  std::vector<std::string> fastestFirst;
  {
    std::string error;
    std::unique_ptr<PoolStore> store = PoolStore::open(db, error);
    fastestFirst = addFarm(*store, *farm);
  }
  const std::vector<std::string> serve = {"--port",          "0",         "--db", db, "--check-url",
                                          target.checkUrl(), "--timeout", "2s"};
  {
    ServiceProcess first(serve);
    std::string line = first.readLine();
    ASSERT_NE(line.find("0 entries served of 11"), std::string::npos) << line;
    int port = portOfStartLine(line);
    std::vector<std::string> served;
    for (int waited = 0; served.size() < 3 && waited < 300; ++waited) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      served = listed(port);
    }
    EXPECT_EQ(served, fastestFirst);
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

TEST(ServiceLivePool, AKillMidRoundLosesAtMostTheChecksInFlight) {
  TempFolder folder;
  CheckTargetServer target;
  FakeProxyFarm farm;
  std::string db = folder.file("pool.db");
  constexpr int kProxies = 40;
  constexpr int kParallel = 2;
  {
    std::string error;
    std::unique_ptr<PoolStore> store = PoolStore::open(db, error);
    std::vector<NewProxy> proxies;
    for (int i = 0; i < kProxies; ++i) {
      CheckCandidate candidate = farm.add({FakeKind::forward, 200, 0, 0}, i);
      proxies.push_back({candidate.address, candidate.port, "", "", ""});
    }
    store->add(proxies, "farm", 0);
  }
  // Each printed line is an outcome already committed: kill the round after a few of them.
  ServiceProcess check(
      {"check", "--db", db, "--check-url", target.checkUrl(), "--parallel", std::to_string(kParallel)});
  std::vector<std::string> printed;
  while (printed.size() < 6) {
    std::string line = check.readLine();
    ASSERT_FALSE(line.empty()) << "the round ended before the kill";
    printed.push_back(line.substr(0, line.find(' ')));
  }
  check.stop(SIGKILL);

  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(db.c_str(), &raw), SQLITE_OK);
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(raw, "PRAGMA integrity_check", -1, &statement, nullptr);
  ASSERT_EQ(sqlite3_step(statement), SQLITE_ROW);
  EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)), "ok");
  sqlite3_finalize(statement);
  sqlite3_close(raw);

  std::string error;
  std::unique_ptr<PoolStore> reopened = PoolStore::open(db, error);
  std::vector<StoredProxy> all = reopened->all();
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
  // At most the checks in flight at the kill may have been committed without being printed.
  EXPECT_GE(recorded, printed.size());
  EXPECT_LE(recorded, printed.size() + kParallel);
}

}  // namespace
