// The checker against real proxy servers (squid, tinyproxy, dante, microsocks), each on a loopback address
// of its own and leaving from another: the protocols each works as, the grade its configuration earns,
// its exit, and credentials used and never printed. The table the first test prints is service/README.md's.
#include <gtest/gtest.h>
#include <stdio.h>
#include <unistd.h>

#include <cstdio>
#include <future>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fakeProxies.h"
#include "realProxies.h"
#include "service/check/checkCommand.h"
#include "service/check/checker.h"
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

}  // namespace
