// The live checker against fake proxies on loopback, and the check target's route. Ordering and counts
// are checked, never durations: the machine may be loaded.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "fakeProxies.h"
#include "service/check/checkTarget.h"
#include "service/check/checker.h"
#include "service/store/addressPolicy.h"

namespace {

std::vector<CheckOutcome> runChecks(const std::vector<CheckCandidate>& candidates, const CheckSettings& settings,
                                    const std::atomic<bool>* stop = nullptr) {
  std::vector<CheckOutcome> outcomes;
  checkProxies(
      candidates, settings, [&](const CheckOutcome& outcome) { outcomes.push_back(outcome); }, stop);
  return outcomes;
}

CheckSettings settingsFor(const CheckTargetServer& target, std::uint32_t timeoutMs = 5000, std::size_t parallel = 256) {
  CheckSettings settings;
  settings.checkUrl = target.checkUrl();
  settings.key = target.key();
  settings.timeoutMs = timeoutMs;
  settings.parallel = parallel;
  return settings;
}

// Verdict names by candidate id; an id delivered twice shows up as a failure.
std::map<std::int64_t, std::string> verdictsById(const std::vector<CheckOutcome>& outcomes) {
  std::map<std::int64_t, std::string> verdicts;
  for (const CheckOutcome& outcome : outcomes) {
    EXPECT_TRUE(verdicts.emplace(outcome.id, verdictName(outcome.verdict)).second) << "twice: " << outcome.id;
  }
  return verdicts;
}

// Every outcome alive, one per candidate.
void expectAllAlive(const std::vector<CheckOutcome>& outcomes, std::size_t candidates) {
  ASSERT_EQ(outcomes.size(), candidates);
  for (const CheckOutcome& outcome : outcomes) EXPECT_EQ(verdictName(outcome.verdict), "alive") << outcome.id;
}

// <chrono> holds a literal the GBK execution character set cannot express.
time_t monotonicSeconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec;
}

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) { setenv(name, value.c_str(), 1); }
  ~ScopedEnv() { unsetenv(name_); }

 private:
  const char* name_;
};

TEST(Checker, GivesEveryKindOfProxyItsVerdict) {
  CheckTargetServer target;
  FakeProxyFarm farm;
  std::vector<CheckCandidate> candidates = {
      farm.add({FakeKind::forward, 300}, 1, "127.0.0.1"),
      farm.add({FakeKind::forward, 50}, 2, "127.0.0.2"),
      farm.add({FakeKind::forward, 150}, 3, "127.0.0.3"),
      FakeProxyFarm::refusing(4),
      farm.add({FakeKind::hold}, 5),
      farm.add({FakeKind::ownPage}, 6),
      farm.add({FakeKind::errorPage}, 7),
      farm.add({FakeKind::staleAnswer}, 8),
      farm.add({FakeKind::garbage}, 9),
      farm.add({FakeKind::closeMidReply}, 10),
      farm.add({FakeKind::hugeReply}, 11),
      farm.add({FakeKind::hugeDeclared}, 12),
      farm.add({FakeKind::redirect}, 13),
      farm.add({FakeKind::closeAtOnce}, 14),
  };
  // The fastest one twice more: each check of the same proxy must have a token of its own.
  for (std::int64_t id : {15, 16}) candidates.push_back({id, candidates[1].address, candidates[1].port});
  CheckSettings settings = settingsFor(target, 3000);
  settings.checkUrl += "?lang=en";  // the token joins a query the check URL already has
  std::vector<CheckOutcome> outcomes = runChecks(candidates, settings);

  std::map<std::int64_t, std::string> expected = {
      {1, "alive"},       {2, "alive"},        {3, "alive"},     {4, "refused"},
      {5, "timedOut"},    {6, "wrongAnswer"},  {7, "badStatus"}, {8, "wrongAnswer"},
      {9, "brokenReply"}, {10, "brokenReply"}, {11, "tooLarge"}, {12, "tooLarge"},
      {13, "badStatus"},  {14, "refused"},     {15, "alive"},    {16, "alive"},
  };
  EXPECT_EQ(verdictsById(outcomes), expected);

  // The good ones in the order of their added latency, each at least that latency.
  std::map<std::int64_t, std::uint32_t> latency;
  for (const CheckOutcome& outcome : outcomes) latency[outcome.id] = outcome.latencyMs;
  EXPECT_GE(latency[2], 50u);
  EXPECT_LT(latency[2], latency[3]);
  EXPECT_LT(latency[3], latency[1]);

  // Every request went through a proxy in absolute form, with a token of its own; the redirect was not
  // followed (its proxy would have forwarded a second request to the real target).
  // Those that did not give the answer were asked for a tunnel to the target too (the fakes refuse it).
  std::set<std::string> tokens;
  std::vector<std::string> requests;
  for (const std::string& request : farm.requestTargets()) {
    if (request == "127.0.0.1:" + std::to_string(target.port())) continue;
    requests.push_back(request);
  }
  EXPECT_EQ(requests.size(), candidates.size() - 2);  // all but the refusing and the silent one
  for (const std::string& request : requests) {
    std::string prefix = settings.checkUrl + "&token=";
    ASSERT_TRUE(request.starts_with(prefix)) << request;
    std::string token = request.substr(prefix.size());
    EXPECT_EQ(token.size(), 32u);
    EXPECT_EQ(token.find_first_not_of("0123456789abcdefABCDEF"), std::string::npos) << token;
    tokens.insert(token);
  }
  EXPECT_EQ(tokens.size(), requests.size());
}

// For an https check URL the proxy is asked for a tunnel; a proxy that refuses it is answering with its
// own status.
TEST(Checker, CountsARefusedTunnelAsABadStatus) {
  CheckTargetServer target;
  FakeProxyFarm farm;
  CheckSettings settings = settingsFor(target);
  settings.checkUrl = "https://127.0.0.1:" + std::to_string(target.port()) + kCheckPath;
  EXPECT_EQ(verdictsById(runChecks({farm.add({FakeKind::forward}, 1)}, settings)),
            (std::map<std::int64_t, std::string>{{1, "badStatus"}}));
  // To an https URL a plain HTTP proxy is asked for a tunnel as well: asked once, not again as a tunnel.
  EXPECT_EQ(farm.requestTargets(), std::vector<std::string>{"127.0.0.1:" + std::to_string(target.port())});
}

// A bare address is asked as each protocol only as far as its answers allow: an HTTP proxy is asked for
// a tunnel too but never for SOCKS, a silent one once, a port that answers in no protocol as SOCKS as
// well; and a SOCKS handshake that stalls is cut at the connect timeout, not the whole check's.
TEST(Checker, ProbesABareAddressOnlyAsFarAsItsAnswersAllow) {
  CheckTargetServer target;
  FakeProxyFarm farm;
  CheckSettings settings = settingsFor(target, 60000);
  settings.connectTimeoutMs = 500;
  struct Case {
    FakeKind kind;
    int connections;
    const char* verdict;
    ProtocolSet protocols;
  };
  for (const Case& want : {Case{FakeKind::forward, 2, "alive", kHttp}, Case{FakeKind::errorPage, 2, "badStatus", 0},
                           Case{FakeKind::garbage, 2, "brokenReply", 0}}) {
    CheckCandidate candidate = farm.add({want.kind}, 1);
    candidate.scheme = 0;
    const int before = farm.accepted();
    const time_t start = monotonicSeconds();
    std::vector<CheckOutcome> outcomes = runChecks({candidate}, settings);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_LT(monotonicSeconds() - start, 8) << "not cut at the connect timeout";
    EXPECT_EQ(verdictName(outcomes[0].verdict), want.verdict);
    EXPECT_EQ(farm.accepted() - before, want.connections) << want.verdict;
    EXPECT_EQ(outcomes[0].protocols, want.protocols);
    if (want.protocols != 0) {
      EXPECT_EQ(outcomes[0].failedProtocols, kHttps | kSocks4 | kSocks5);
      EXPECT_TRUE(outcomes[0].probedAll);
      // The fake adds no header but connects on from 127.0.0.1, the checker's own address.
      EXPECT_EQ(outcomes[0].anonymity, Anonymity::transparent);
    }
  }
  // Silent: one connection, timed out, nothing else asked.
  CheckCandidate silent = farm.add({FakeKind::hold}, 2);
  silent.scheme = 0;
  settings.timeoutMs = 500;
  const int before = farm.accepted();
  EXPECT_EQ(verdictsById(runChecks({silent, FakeProxyFarm::refusing(3)}, settings)),
            (std::map<std::int64_t, std::string>{{2, "timedOut"}, {3, "refused"}}));
  EXPECT_EQ(farm.accepted() - before, 1);
}

// Every proxy answers only once four connections have been open at the same time, so the round must
// fill its four slots; and the farm never sees more than four at once.
TEST(Checker, KeepsExactlyParallelChecksInFlightOverALongerList) {
  CheckTargetServer target;
  FakeProxyFarm farm;
  std::vector<CheckCandidate> candidates;
  for (int i = 0; i < 24; ++i) candidates.push_back(farm.add({FakeKind::forward, 0, 0, 4}, i));
  expectAllAlive(runChecks(candidates, settingsFor(target, 5000, 4)), candidates.size());
  EXPECT_EQ(farm.maxOpen(), 4);
  EXPECT_EQ(farm.accepted(), 24);
}

// More checks in flight than one libcurl multi handle of the round carries: every proxy answers only once
// all 600 are connected at once, so each of the round's handles must keep its share going, and the
// refusing addresses between them must hand their slots on.
TEST(Checker, KeepsHundredsInFlightAcrossTheRoundsHandles) {
  CheckTargetServer target;
  FakeProxyFarm farm(8);
  std::vector<CheckCandidate> candidates;
  for (int i = 0; i < 600; ++i) {
    candidates.push_back(farm.add({FakeKind::forward, 0, 0, 600}, i));
    if (i % 6 == 0) candidates.push_back(FakeProxyFarm::refusing(1000 + i, "127.0.3.1"));  // its port never reused
  }
  std::map<std::int64_t, std::string> verdicts = verdictsById(runChecks(candidates, settingsFor(target, 30000, 600)));
  ASSERT_EQ(verdicts.size(), candidates.size());
  for (const auto& [id, verdict] : verdicts) EXPECT_EQ(verdict, id < 1000 ? "alive" : "refused") << id;
  EXPECT_EQ(farm.maxOpen(), 600);
}

// The first proxy answers only after ten other connections reached the farm: with two slots that
// happens only if the other slot goes on to the next candidate each time a check ends, rather than the
// round waiting for both before starting two more.
TEST(Checker, StartsTheNextCheckAsSoonAsOneEnds) {
  CheckTargetServer target;
  FakeProxyFarm farm;
  std::vector<CheckCandidate> candidates = {farm.add({FakeKind::forward, 0, 11}, 0)};
  for (int i = 1; i <= 10; ++i) candidates.push_back(farm.add({FakeKind::forward}, i));
  std::vector<CheckOutcome> outcomes = runChecks(candidates, settingsFor(target, 5000, 2));
  expectAllAlive(outcomes, candidates.size());
  // It answers together with the tenth other one, so only the last two places are certain.
  EXPECT_TRUE(outcomes.back().id == 0 || outcomes[outcomes.size() - 2].id == 0);
}

TEST(Checker, StopEndsTheRoundAndDropsWhatIsLeft) {
  CheckTargetServer target;
  FakeProxyFarm farm;
  std::vector<CheckCandidate> silent;
  for (int i = 0; i < 8; ++i) silent.push_back(farm.add({FakeKind::hold}, i));
  const CheckSettings settings = settingsFor(target, 20000, 4);

  std::atomic<bool> stop{true};
  EXPECT_TRUE(runChecks(silent, settings, &stop).empty());
  EXPECT_EQ(farm.accepted(), 0);

  // From another thread, while every slot waits on a silent proxy: nothing is delivered, and the round
  // ends long before its checks could have timed out (the bound is only there to tell "ended by stop"
  // from "ended by the 20 s timeout").
  stop = false;
  std::thread stopper([&] {
    while (farm.accepted() < 4) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    stop = true;
  });
  auto begin = std::chrono::steady_clock::now();
  EXPECT_TRUE(runChecks(silent, settings, &stop).empty());
  auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin);
  EXPECT_LT(elapsed.count(), settings.timeoutMs / 2);
  stopper.join();
  EXPECT_EQ(farm.accepted(), 4);

  // From the outcome callback: the outcome in hand is the last one.
  std::vector<CheckCandidate> refusing;
  for (int i = 0; i < 6; ++i) refusing.push_back(FakeProxyFarm::refusing(i));
  stop = false;
  int delivered = 0;
  checkProxies(
      refusing, settings, [&](const CheckOutcome&) { ++delivered, stop = true; }, &stop);
  EXPECT_EQ(delivered, 1);
}

TEST(Checker, AnswersUnusableCandidatesWithoutContactingThemAndRefusesBadSettings) {
  CheckTargetServer target;
  const CheckSettings settings = settingsFor(target);
  EXPECT_TRUE(runChecks({}, settings).empty());

  std::vector<CheckCandidate> candidates = {
      {1, "localhost", 80}, {2, "127.0.0.1", 0},   {3, "127.0.0", 80},         {4, "::1", 80},
      {5, "", 80},          {6, "127.0.0.01", 80}, FakeProxyFarm::refusing(7),
  };
  std::map<std::int64_t, std::string> expected;
  for (std::int64_t id = 1; id <= 6; ++id) expected[id] = "badCandidate";
  expected[7] = "refused";
  EXPECT_EQ(verdictsById(runChecks(candidates, settings)), expected);

  for (auto broken : {+[](CheckSettings& s) { s.parallel = 0; }, +[](CheckSettings& s) { s.timeoutMs = 0; },
                      +[](CheckSettings& s) { s.maxReplyBytes = 0; }, +[](CheckSettings& s) { s.checkUrl = ""; },
                      +[](CheckSettings& s) { s.checkUrl = "ftp://127.0.0.1/check"; },
                      +[](CheckSettings& s) { s.checkUrl += "#part"; }, +[](CheckSettings& s) { s.key = {}; }}) {
    CheckSettings bad = settings;
    broken(bad);
    EXPECT_THROW(runChecks(candidates, bad), std::invalid_argument) << bad.checkUrl;
  }
}

// A forged answer (made up from the request line), a replayed one (the target's real answer to an
// earlier token) and a real one wrapped in a page of the proxy's own are never alive.
TEST(Checker, NeverBelievesAForgedReplayedOrWrappedAnswer) {
  CheckTargetServer target;
  FakeProxyFarm farm;
  std::vector<CheckCandidate> candidates = {
      farm.add({FakeKind::forward}, 1),     farm.add({FakeKind::oldFormat}, 2), farm.add({FakeKind::staleAnswer}, 3),
      farm.add({FakeKind::wrapsAnswer}, 4), farm.add({FakeKind::wrongKey}, 5),
  };
  EXPECT_EQ(verdictsById(runChecks(candidates, settingsFor(target))),
            (std::map<std::int64_t, std::string>{
                {1, "alive"}, {2, "wrongAnswer"}, {3, "wrongAnswer"}, {4, "wrongAnswer"}, {5, "wrongAnswer"}}));
  EXPECT_GE(farm.accepted(), 5) << "every one was asked";
}

// Addresses the policy forbids are never contacted, whatever a list says. Those that stay on this host
// even when contacted (0.0.0.0 reaches the listener on 127.0.0.1) come first: only once they are shown
// refused are the ones that would leave it given to the checker.
TEST(Checker, NeverContactsAnAddressThePolicyForbids) {
  CheckTargetServer target;
  FakeProxyFarm farm;
  const std::uint16_t port = farm.add({FakeKind::ownPage}, 0, "127.0.0.1").port;
  const CheckSettings settings = settingsFor(target, 2000);
  std::vector<CheckCandidate> local = {{1, "0.0.0.0", port}, {2, "224.0.0.1", port}, {3, "255.255.255.255", port}};
  ASSERT_EQ(verdictsById(runChecks(local, settings)),
            (std::map<std::int64_t, std::string>{{1, "badCandidate"}, {2, "badCandidate"}, {3, "badCandidate"}}));
  ASSERT_EQ(farm.accepted(), 0);
  for (const char* away : {"240.0.0.1", "192.0.2.1"}) {
    in_addr parsed{};
    ASSERT_EQ(inet_pton(AF_INET, away, &parsed), 1);
    ASSERT_FALSE(mayContact(ntohl(parsed.s_addr))) << away;
  }
  EXPECT_EQ(verdictsById(runChecks({{4, "240.0.0.1", port}, {5, "192.0.2.1", port}}, settings)),
            (std::map<std::int64_t, std::string>{{4, "badCandidate"}, {5, "badCandidate"}}));
}

// Out of descriptors is our shortage, not the proxy's fault: "not checked", never "refused". The
// candidates all lead to a listener that never accepts, so each check that gets a socket holds it
// until its timeout while the others find none left.
TEST(Checker, ADescriptorShortageIsNotAVerdictAgainstTheProxy) {
  int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof at;
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
  ASSERT_EQ(listen(listener, 128), 0);
  ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&at), &size), 0);
  std::vector<CheckCandidate> candidates;
  for (int i = 0; i < 40; ++i) candidates.push_back({i, "127.0.0.1", ntohs(at.sin_port)});
  CheckSettings settings;
  settings.checkUrl = "http://127.0.0.1:9/check";
  settings.key = freshCheckKey().value();
  settings.parallel = 40;
  settings.timeoutMs = 1000;
  rlimit files{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &files), 0);
  std::size_t open = 0;  // the iterator's own descriptor among them
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++open;
  rlimit scarce = files;
  scarce.rlim_cur = open + 8;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &scarce), 0);
  std::vector<CheckOutcome> outcomes = runChecks(candidates, settings);
  setrlimit(RLIMIT_NOFILE, &files);
  close(listener);
  std::map<std::string, int> counts;
  for (const CheckOutcome& outcome : outcomes) ++counts[std::string(verdictName(outcome.verdict))];
  EXPECT_EQ(outcomes.size(), candidates.size());
  EXPECT_GT(counts["notChecked"], 0);
  EXPECT_GT(counts["timedOut"], 0);
  EXPECT_EQ(counts["notChecked"] + counts["timedOut"], 40) << "only the shortage and the silence: nothing refused";
}

// With no_proxy covering everything, a checker that let the environment in would fetch the target
// directly and call a dead candidate alive; with http_proxy set, it could ask the wrong proxy.
TEST(Checker, UsesOnlyTheCandidateWhateverTheProxyEnvironmentSays) {
  CheckTargetServer target;
  FakeProxyFarm farm;
  CheckCandidate good = farm.add({FakeKind::forward}, 0);
  std::string goodUrl = "http://" + good.address + ":" + std::to_string(good.port);
  ScopedEnv noProxy("no_proxy", "*");
  ScopedEnv noProxyUpper("NO_PROXY", "*");
  ScopedEnv httpProxy("http_proxy", goodUrl);
  ScopedEnv allProxy("ALL_PROXY", goodUrl);
  std::vector<CheckCandidate> candidates = {FakeProxyFarm::refusing(1), farm.add({FakeKind::ownPage}, 2)};
  EXPECT_EQ(verdictsById(runChecks(candidates, settingsFor(target))),
            (std::map<std::int64_t, std::string>{{1, "refused"}, {2, "wrongAnswer"}}));
  EXPECT_EQ(farm.accepted(), 2) << "only the candidate, as an HTTP proxy and for a tunnel";
}

TEST(CheckTarget, AnswersOneHexTokenAndNothingElse) {
  const CheckKey key = freshCheckKey().value();
  EXPECT_EQ(answerCheck("token=0f9A", key), checkTargetAnswer(key, "0f9A"));
  EXPECT_EQ(answerCheck("lang=en&token=abc&x=", key), checkTargetAnswer(key, "abc"));
  EXPECT_EQ(answerCheck("token=" + std::string(kMaxCheckTokenLength, 'e'), key),
            checkTargetAnswer(key, std::string(kMaxCheckTokenLength, 'e')));
  for (std::string query : {"", "token", "token=", "tokens=ab", "xtoken=ab", "token=ab&token=ab", "token=ag",
                            "token=%61", "token=a+b", "token=ab%00"}) {
    EXPECT_FALSE(answerCheck(query, key)) << query;
  }
  EXPECT_FALSE(answerCheck("token=" + std::string(kMaxCheckTokenLength + 1, 'e'), key));
}

TEST(CheckTarget, ServesTheAnswerOverHttp) {
  CheckTargetServer target;
  httplib::Client client("127.0.0.1", target.port());
  httplib::Result ok = client.Get("/check?token=c0ffee");
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->status, 200);
  EXPECT_TRUE(answersToken(ok->body, target.key(), "c0ffee")) << ok->body;
  EXPECT_EQ(ok->get_header_value("Cache-Control"), "no-store");
  httplib::Result head = client.Head("/check?token=c0ffee");
  ASSERT_TRUE(head);
  EXPECT_EQ(head->status, 200);
  httplib::Result bad = client.Get("/check?token=nothex");
  ASSERT_TRUE(bad);
  EXPECT_EQ(bad->status, 400);
}

}  // namespace
