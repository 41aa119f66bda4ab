// The checker against real proxy servers (squid, tinyproxy, dante, microsocks), each on a loopback address
// of its own and leaving from another: the protocols each works as, the grade its configuration earns,
// its exit, and credentials used and never printed. The table the first test prints is service/README.md's.
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <future>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "fakeProxies.h"
#include "realProxies.h"
#include "service/check/checkCommand.h"
#include "service/check/checker.h"
#include "serviceProcess.h"
#include "service_testing.h"

namespace {

std::string protocolList(ProtocolSet protocols) {
  std::string names;
  for (ProtocolBit protocol : kProtocols) {
    if (protocols & protocol) names += (names.empty() ? "" : ",") + std::string(protocolName(protocol));
  }
  return names.empty() ? "-" : names;
}

// Starts them all at once (squid alone takes seconds); any that cannot start fails the test.
std::vector<std::unique_ptr<RealProxy>> startAll(const std::vector<RealProxySetup>& setups) {
  std::vector<std::future<std::unique_ptr<RealProxy>>> starting;
  for (const RealProxySetup& setup : setups) {
    starting.push_back(std::async(std::launch::async, [setup] { return std::make_unique<RealProxy>(setup); }));
  }
  std::vector<std::unique_ptr<RealProxy>> proxies;
  std::string failures;
  for (auto& start : starting) {
    try {
      proxies.push_back(start.get());
    } catch (const std::exception& failure) {
      failures += std::string(failure.what()) + "\n";
    }
  }
  if (!failures.empty()) {
    ADD_FAILURE() << failures;
    proxies.clear();  // ends those that did start
  }
  return proxies;
}

void expectAllEnded(const std::vector<pid_t>& pids) {
  for (pid_t pid : pids) EXPECT_FALSE(processGroupExists(pid)) << "left running: " << pid;
}

CheckSettings settingsFor(const CheckTargetServer& target) {
  CheckSettings settings;
  settings.checkUrl = target.checkUrl();
  settings.key = target.key();
  settings.timeoutMs = 10000;  // generous: four servers and a sanitizer on two shared cores
  settings.connectTimeoutMs = 5000;
  return settings;
}

struct Expected {
  const char* name;
  std::size_t proxy;  // index in the setups
  std::string password;
  const char* verdict;
  ProtocolSet protocols;
  Anonymity grade;
  bool exitShown;
};

TEST(RealProxies, OneRoundGradesEachAsItIsConfigured) {
  std::vector<RealProxySetup> setups = {
      {RealServer::squid, "127.22.0.11", "127.22.1.11", "on", true},
      {RealServer::squid, "127.22.0.12", "127.22.1.12", "delete", true},
      {RealServer::squid, "127.22.0.13", "127.22.1.13", "delete", false},
      {RealServer::tinyproxy, "127.22.0.14", "127.22.1.14"},
      {RealServer::dante, "127.22.0.15", "127.22.1.15"},
      {RealServer::microsocks, "127.22.0.16", "127.22.1.16"},
      {RealServer::microsocks, "127.22.0.17", "127.22.1.17", "", false, "alice", "s3cret"},
      {RealServer::microsocks, "127.22.0.18", "127.22.0.18"},  // leaves from where it listens
  };
  const std::vector<Expected> expected = {
      {"squid, forwarded_for on, via on", 0, "", "alive", kHttp | kHttps, Anonymity::transparent, true},
      {"squid, forwarded_for delete, via on", 1, "", "alive", kHttp | kHttps, Anonymity::anonymous, true},
      {"squid, forwarded_for delete, via off", 2, "", "alive", kHttp | kHttps, Anonymity::elite, true},
      {"tinyproxy, default", 3, "", "alive", kHttp | kHttps, Anonymity::anonymous, true},
      {"dante", 4, "", "alive", kSocks4 | kSocks5, Anonymity::elite, true},
      {"microsocks", 5, "", "alive", kSocks5, Anonymity::elite, true},
      {"microsocks -u alice, right password", 6, "s3cret", "alive", kSocks5, Anonymity::elite, true},
      {"microsocks -u alice, wrong password", 6, "wrong", "badStatus", 0, Anonymity::unknown, false},
      {"microsocks, exit = listed address", 7, "", "alive", kSocks5, Anonymity::elite, false},
  };
  std::vector<pid_t> pids;
  {
    std::vector<std::unique_ptr<RealProxy>> proxies = startAll(setups);
    ASSERT_EQ(proxies.size(), setups.size());
    for (const auto& proxy : proxies) pids.push_back(proxy->pid());
    CheckTargetServer target;
    std::vector<CheckCandidate> candidates;
    for (std::size_t at = 0; at < expected.size(); ++at) {
      CheckCandidate candidate = proxies[expected[at].proxy]->candidate(static_cast<std::int64_t>(at));
      candidate.password = expected[at].password.empty() ? candidate.password : expected[at].password;
      candidates.push_back(candidate);  // bare: every protocol probed
    }
    std::map<std::int64_t, CheckOutcome> outcomes;
    CheckRoundFacts round = checkProxies(candidates, settingsFor(target), [&](const CheckOutcome& outcome) {
      EXPECT_TRUE(outcomes.emplace(outcome.id, outcome).second) << "twice: " << outcome.id;
    });
    EXPECT_EQ(round.problem, "");
    ASSERT_FALSE(round.ownAddresses.empty());
    EXPECT_EQ(round.ownAddresses.front(), "127.0.0.1");
    ASSERT_EQ(outcomes.size(), expected.size());

    std::printf("| proxy | listens on | verdict | protocols | grade | exit |\n|---|---|---|---|---|---|\n");
    for (std::size_t at = 0; at < expected.size(); ++at) {
      const Expected& want = expected[at];
      const CheckOutcome& got = outcomes[static_cast<std::int64_t>(at)];
      const RealProxySetup& setup = setups[want.proxy];
      std::printf("| %s | %s | %s | %s | %s | %s |\n", want.name, setup.listen.c_str(),
                  std::string(verdictName(got.verdict)).c_str(), protocolList(got.protocols).c_str(),
                  std::string(anonymityName(got.anonymity)).c_str(),
                  got.exit.address.empty() ? "-" : got.exit.address.c_str());
      EXPECT_EQ(verdictName(got.verdict), want.verdict) << want.name << "\n" << proxies[want.proxy]->log();
      if (got.verdict != CheckVerdict::alive) continue;
      EXPECT_EQ(protocolList(got.protocols), protocolList(want.protocols)) << want.name;
      EXPECT_EQ(anonymityName(got.anonymity), anonymityName(want.grade)) << want.name;
      EXPECT_EQ(got.exit.address, want.exitShown ? setup.exit : "") << want.name;
      EXPECT_TRUE(got.probedAll) << want.name;
      EXPECT_EQ(got.failedProtocols, (kHttp | kHttps | kSocks4 | kSocks5) & ~want.protocols) << want.name;
    }
  }
  expectAllEnded(pids);
}

std::string readAll(std::FILE* file) {
  std::rewind(file);
  std::string text;
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, got);
  return text;
}

// `quorvelip-service check` over a store: one round's printed lines, and what the store keeps.
std::string checkRound(PoolStore& store, const CheckSettings& settings) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  EXPECT_EQ(runCheck(store, settings, out, err), 0);
  std::string printed = readAll(out) + readAll(err);
  std::fclose(out);
  std::fclose(err);
  return printed;
}

StoredProxy storedAt(PoolStore& store, const RealProxy& proxy) {
  for (const StoredProxy& stored : store.all()) {
    if (stored.address == proxy.address() && stored.port == proxy.port()) return stored;
  }
  ADD_FAILURE() << "not in the store: " << proxy.address();
  return {};
}

TEST(RealProxies, TheCheckCommandUsesCredentialsNeverPrintsThemAndProbesTheRestTheRoundAfter) {
  std::vector<pid_t> pids;
  {
    std::vector<std::unique_ptr<RealProxy>> proxies = startAll({
        {RealServer::dante, "127.22.0.25", "127.22.1.25"},
        {RealServer::microsocks, "127.22.0.26", "127.22.1.26", "", false, "quorvelip-user", "Sesame-4711"},
        {RealServer::microsocks, "127.22.0.27", "127.22.1.27", "", false, "quorvelip-user", "Sesame-4711"},
    });
    ASSERT_EQ(proxies.size(), 3u);
    for (const auto& proxy : proxies) pids.push_back(proxy->pid());
    const RealProxy& dante = *proxies[0];
    const RealProxy& withUser = *proxies[1];
    const RealProxy& wrongPassword = *proxies[2];
    TempFolder folder;
    std::unique_ptr<PoolStore> store = openStore(folder.file("pool.db"));
    store->add({{dante.address(), dante.port(), "", "", "", kSocks5},
                {withUser.address(), withUser.port(), "", "", "", kSocks5, "quorvelip-user", "Sesame-4711"},
                {wrongPassword.address(), wrongPassword.port(), "", "", "", kSocks5, "quorvelip-user", "Open-4712"}},
               "real", 0);
    CheckTargetServer target;
    const CheckSettings settings = settingsFor(target);
    auto line = [](const RealProxy& proxy) { return proxy.address() + ":" + std::to_string(proxy.port()) + " "; };

    // The listed protocol first, and alone while it works.
    std::string first = checkRound(*store, settings);
    for (std::string_view secret : {"quorvelip-user", "Sesame-4711", "Open-4712"}) {
      EXPECT_EQ(first.find(secret), std::string::npos) << secret << " printed:\n" << first;
    }
    EXPECT_NE(first.find(line(dante) + "alive "), std::string::npos) << first;
    EXPECT_NE(first.find(" ms socks5 elite exit " + std::string("127.22.1.25") + "\n"), std::string::npos) << first;
    EXPECT_NE(first.find(line(withUser) + "alive "), std::string::npos) << first;
    EXPECT_NE(first.find(line(wrongPassword) + "badStatus\n"), std::string::npos) << first;
    StoredProxy stored = storedAt(*store, dante);
    EXPECT_EQ(stored.protocols, kSocks5);
    EXPECT_EQ(stored.probedAt, 0);
    EXPECT_EQ(stored.anonymity, Anonymity::elite);
    EXPECT_EQ(stored.exit.address, "127.22.1.25");
    EXPECT_EQ(storedAt(*store, wrongPassword).failures, 1);

    // The round after: the rest probed, SOCKS4 found.
    std::string second = checkRound(*store, settings);
    EXPECT_NE(second.find(" ms socks4,socks5 elite exit 127.22.1.25\n"), std::string::npos) << second;
    stored = storedAt(*store, dante);
    EXPECT_EQ(stored.protocols, kSocks4 | kSocks5);
    EXPECT_EQ(stored.failedProtocols, kHttp | kHttps);
    EXPECT_NE(stored.probedAt, 0);
    for (std::string_view secret : {"quorvelip-user", "Sesame-4711", "Open-4712"}) {
      EXPECT_EQ(second.find(secret), std::string::npos) << secret << " printed:\n" << second;
    }
  }
  expectAllEnded(pids);
}

// From a page a person pastes to the answers: the real service imports a forum-style page naming real
// proxies with schemes and credentials, checks them, and serves each filter and the program's page.
std::string named(const RealProxy& proxy) {
  return proxy.address() + ":" + std::to_string(proxy.port());
}

std::set<std::string> apiEntries(int port, const std::string& query) {
  std::set<std::string> entries;
  httplib::Result answer = getLoopback(port, "/api/proxies?" + query);
  if (!answer || answer->status != 200) return {"no answer"};
  nlohmann::json listed = nlohmann::json::parse(answer->body);
  for (const nlohmann::json& entry : listed["proxies"]) {
    std::string line = entry["address"].get<std::string>() + ":" + std::to_string(entry["port"].get<int>());
    if (entry.contains("username")) line += " " + entry["username"].get<std::string>();
    entries.insert(line);
  }
  return entries;
}

TEST(RealProxies, AnImportedPageIsCheckedAndServedByProtocolAndGradeAndTheProgramGetsHttpOnly) {
  std::vector<pid_t> pids;
  {
    std::vector<std::unique_ptr<RealProxy>> proxies = startAll({
        {RealServer::squid, "127.22.0.31", "127.22.1.31", "on", true},
        {RealServer::tinyproxy, "127.22.0.32", "127.22.1.32"},
        {RealServer::microsocks, "127.22.0.33", "127.22.1.33"},
        {RealServer::microsocks, "127.22.0.34", "127.22.1.34", "", false, "quorvelip-user", "Sesame-4711"},
    });
    ASSERT_EQ(proxies.size(), 4u);
    for (const auto& proxy : proxies) pids.push_back(proxy->pid());
    const RealProxy& squid = *proxies[0];
    const RealProxy& tinyproxy = *proxies[1];
    const RealProxy& socks = *proxies[2];
    const RealProxy& withUser = *proxies[3];

    TempFolder folder;
    CheckTargetServer target;
    std::string page =
        folder.write("post.html", "<html><body><div class=\"post\"><p>Fresh ones, all tried this morning:</p>\n<pre>" +
                                      named(squid) + "\nhttp://" + named(tinyproxy) + "\nsocks5://" + named(socks) +
                                      "</pre>\n<p>Mine, with a login: <code>socks5://quorvelip-user:Sesame-4711@" +
                                      named(withUser) + "</code></p></div></body></html>\n");
    std::string db = folder.file("pool.db");
    ServiceProcess import({"import", "--db", db, page}, {.withErrors = true});
    std::vector<std::string> report = import.readAll();
    int ended = import.wait();
    ASSERT_TRUE(WIFEXITED(ended) && WEXITSTATUS(ended) == 0) << testing::PrintToString(report);

    ServiceProcess service({"--port", "0", "--db", db, "--check-url", target.checkUrl(), "--check-key",
                            target.writeKey(folder.file("check.key")), "--timeout", "10s"});
    std::string line = service.readLine();
    int port = portOfStartLine(line);
    ASSERT_GT(port, 0) << line;
    // Served whole until the first outcomes are in; an entry has protocols once its check found them.
    std::set<std::string> live;
    for (int waited = 0; live.size() < 4 && waited < 600; ++waited) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      live = apiEntries(port, "count=10&protocol=http,https,socks4,socks5");
    }
    ASSERT_EQ(live, (std::set<std::string>{named(squid), named(tinyproxy), named(socks), named(withUser)}));

    EXPECT_EQ(apiEntries(port, "protocol=socks5&anonymity=elite"),
              (std::set<std::string>{named(socks), named(withUser)}));
    EXPECT_EQ(apiEntries(port, "protocol=socks5&anonymity=elite&credentials=1"),
              (std::set<std::string>{named(socks), named(withUser) + " quorvelip-user"}));
    EXPECT_EQ(apiEntries(port, "protocol=http&anonymity=transparent"), std::set<std::string>{named(squid)});
    // Listed as http://, tinyproxy is checked as that alone this round; its tunnel is probed the next.
    EXPECT_EQ(apiEntries(port, "protocol=https,http&anonymity=anonymous,elite"),
              std::set<std::string>{named(tinyproxy)});
    EXPECT_EQ(apiEntries(port, "protocol=socks4"), std::set<std::string>{});

    httplib::Result listPage = getLoopback(port, "/mo.php?tqsl=10");
    ASSERT_TRUE(listPage);
    std::vector<std::string> listed = listedEntries(listPage->body);
    EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()),
              (std::set<std::string>{named(squid), named(tinyproxy)}))
        << "the program uses them as HTTP proxies";
    httplib::Result status = getLoopback(port, "/status");
    ASSERT_TRUE(status);
    EXPECT_EQ(status->body.find("Sesame-4711"), std::string::npos);
    EXPECT_EQ(status->body.find("quorvelip-user"), std::string::npos);
    service.stop(SIGTERM);
  }
  expectAllEnded(pids);
}

}  // namespace
