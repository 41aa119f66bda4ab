// What the check target reports of a request (bounded, signed), how a proxy is graded from it, and which
// protocols a candidate's check tries in which order (CandidateProbe, driven with made-up attempt ends).
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "service/check/candidateProbe.h"
#include "service/check/checkAnswer.h"
#include "service/check/checkTarget.h"
#include "service/store/ipv4.h"
#include "service_testing.h"

namespace {

const CheckKey kKey{std::string(32, 'k')};

std::vector<AnswerField> factsFor(const CheckSight& sight) {
  std::optional<std::string> answer = answerCheck("token=abc", kKey, sight);
  EXPECT_TRUE(answer);
  std::optional<std::vector<AnswerField>> read = readCheckAnswer(answer.value_or(""), kKey);
  EXPECT_TRUE(read) << answer.value_or("");
  if (!read) return {};
  EXPECT_EQ((*read)[0].value, "abc");
  return std::vector<AnswerField>(read->begin() + 1, read->end());
}

std::string factValue(const std::vector<AnswerField>& facts, std::string_view name) {
  for (const AnswerField& fact : facts) {
    if (fact.name == name) return fact.value;
  }
  return "<none>";
}

TEST(CheckSight, ReportsThePeerAndEveryRevealingHeaderSignedAndNothingElse) {
  std::vector<SeenHeader> headers = {
      {"Host", "127.0.0.1:8080"},
      {"VIA", "1.1 vm (squid/5.7)"},
      {"X-Forwarded-For", "10.0.0.1"},
      {"x-forwarded-for", "10.0.0.2"},
      {"User-Agent", "curl"},
      {"Proxy-Authorization", "Basic c2VjcmV0"},
      {"X-Real-IP", "  10.0.0.3\t"},
      {"Forwarded", "for=\"\x01\xff\""},
      {"Cookie", "a=b"},
  };
  std::vector<AnswerField> facts = factsFor({"127.0.0.21", headers});
  EXPECT_EQ(factValue(facts, "peer"), "127.0.0.21");
  EXPECT_EQ(factValue(facts, "via"), "1.1 vm (squid/5.7)");
  EXPECT_EQ(factValue(facts, "x-forwarded-for"), "10.0.0.1, 10.0.0.2");  // repeated: one line, joined
  EXPECT_EQ(factValue(facts, "x-real-ip"), "10.0.0.3");
  EXPECT_EQ(factValue(facts, "forwarded"), "for=\"??\"");  // only what the answer's format can carry
  // A leaked Proxy-Authorization is told, its credentials never.
  EXPECT_EQ(factValue(facts, "proxy-authorization"), "present");
  for (const AnswerField& fact : facts) {
    EXPECT_EQ(fact.value.find("c2VjcmV0"), std::string::npos);
    EXPECT_NE(fact.name, "host");
    EXPECT_NE(fact.name, "user-agent");
    EXPECT_NE(fact.name, "cookie");
  }
  EXPECT_EQ(facts.size(), 6u);
}

TEST(CheckSight, StaysWithinTheLinesAndBytesTheReaderTakes) {
  // Every revealing header, each long and given many times over.
  std::vector<std::string> values;
  std::vector<SeenHeader> headers;
  const std::string longValue(5000, 'x');
  for (std::string_view name : kRevealingHeaders) {
    for (int copy = 0; copy < 50; ++copy) headers.emplace_back(name, longValue);
  }
  std::optional<std::string> answer = answerCheck("token=abc", kKey, {std::string(400, '1'), headers});
  ASSERT_TRUE(answer);
  EXPECT_LE(answer->size(), kMaxCheckAnswerBytes);
  std::optional<std::vector<AnswerField>> read = readCheckAnswer(*answer, kKey);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->size(), kMaxAnswerFields);
  for (const AnswerField& fact : *read) EXPECT_LE(fact.value.size(), kMaxSeenValueBytes) << fact.name;
  // The headers left out are counted, not dropped silently.
  EXPECT_EQ(factValue(*read, "more-headers"), std::to_string(kRevealingHeaders.size() - (kMaxAnswerFields - 3)));
}

TEST(CheckSight, AFactChangedOnTheWayBreaksTheAnswer) {
  std::vector<SeenHeader> headers = {{"Via", "1.1 honest"}};
  std::string answer = answerCheck("token=abc", kKey, {"127.0.0.21", headers}).value();
  for (auto [from, to] : {std::pair{"127.0.0.21", "127.0.0.99"}, std::pair{"1.1 honest", "1.1 forged"}}) {
    std::string forged = answer;
    forged.replace(forged.find(from), std::string_view(from).size(), to);
    EXPECT_FALSE(readCheckAnswer(forged, kKey)) << forged;
  }
  std::string dropped = answer;
  dropped.erase(dropped.find("via "), std::string_view("via 1.1 honest\n").size());
  EXPECT_FALSE(readCheckAnswer(dropped, kKey));
  EXPECT_FALSE(readCheckAnswer(answer, CheckKey{std::string(32, 'z')}));
}

TEST(Grade, TransparentWhereverTheOwnAddressShowsAnonymousOnAProxyHeaderEliteOtherwise) {
  const std::vector<std::string> own = {"127.0.0.1", "10.1.2.3"};
  using Facts = std::vector<AnswerField>;
  EXPECT_EQ(gradeSight(Facts{{"peer", "127.0.0.21"}}, own), Anonymity::elite);
  EXPECT_EQ(gradeSight(Facts{{"peer", "127.0.0.21"}, {"via", "1.1 vm"}}, own), Anonymity::anonymous);
  EXPECT_EQ(gradeSight(Facts{{"peer", "127.0.0.21"}, {"x-forwarded-for", "127.0.0.1"}}, own), Anonymity::transparent);
  EXPECT_EQ(gradeSight(Facts{{"peer", "127.0.0.21"}, {"forwarded", "for=10.1.2.3;proto=http"}}, own),
            Anonymity::transparent);
  // No proxy at all in between: the checker's own address is the peer.
  EXPECT_EQ(gradeSight(Facts{{"peer", "127.0.0.1"}}, own), Anonymity::transparent);
  // A longer address holding ours is not ours.
  EXPECT_EQ(gradeSight(Facts{{"peer", "127.0.0.21"}, {"x-forwarded-for", "127.0.0.12, 210.1.2.34"}}, own),
            Anonymity::anonymous);
  // Nothing to grade by: no peer reported, or our own address unknown.
  EXPECT_EQ(gradeSight(Facts{{"via", "1.1 vm"}}, own), Anonymity::unknown);
  EXPECT_EQ(gradeSight(Facts{{"peer", "127.0.0.21"}}, {}), Anonymity::unknown);
}

TEST(Grade, FindsAnAddressOnlyAsAWhole) {
  EXPECT_TRUE(showsAddress("127.0.0.1", "127.0.0.1"));
  EXPECT_TRUE(showsAddress("for=\"127.0.0.1:5000\"", "127.0.0.1"));
  EXPECT_TRUE(showsAddress("a, 127.0.0.1, b", "127.0.0.1"));
  EXPECT_FALSE(showsAddress("127.0.0.12", "127.0.0.1"));
  EXPECT_FALSE(showsAddress("1127.0.0.1", "127.0.0.1"));
  EXPECT_FALSE(showsAddress("127.0.0.1.5", "127.0.0.1"));
  EXPECT_TRUE(showsAddress("for=\"[2001:DB8::1]\"", "2001:db8::1"));
  EXPECT_FALSE(showsAddress("2001:db8::10", "2001:db8::1"));
  EXPECT_FALSE(showsAddress("", "127.0.0.1"));
  EXPECT_FALSE(showsAddress("127.0.0.1", ""));
}

// Drives a probe: `ends` answers each protocol it asks for; returns the protocols asked, in order.
std::vector<ProtocolBit> drive(CandidateProbe& probe, const std::vector<std::pair<ProtocolBit, AttemptEnd>>& ends,
                               AttemptEnd otherwise = AttemptEnd::otherProtocol) {
  std::vector<ProtocolBit> asked;
  while (std::optional<ProtocolBit> protocol = probe.next()) {
    EXPECT_LT(asked.size(), 4u) << "asked more than every protocol";
    if (asked.size() >= 4) break;
    asked.push_back(*protocol);
    AttemptEnd end = otherwise;
    for (auto [which, how] : ends) {
      if (which == *protocol) end = how;
    }
    Attempt attempt{*protocol, end, end == AttemptEnd::worked ? CheckVerdict::alive : CheckVerdict::brokenReply};
    if (end == AttemptEnd::worked) attempt.facts = {{"peer", "127.0.0.9"}};
    if (end == AttemptEnd::stopped) attempt.verdict = CheckVerdict::timedOut;
    if (end == AttemptEnd::spoke) attempt.verdict = CheckVerdict::badStatus;
    if (end == AttemptEnd::local) attempt.verdict = CheckVerdict::notChecked;
    probe.record(std::move(attempt));
  }
  return asked;
}

using Asked = std::vector<ProtocolBit>;
constexpr std::int64_t kNow = 1'000'000;
constexpr std::int64_t kReprobe = 3600;
const RoundSight kSight{{"127.0.0.1"}, nullptr};

CheckCandidate bare() {
  return {7, "127.0.0.8", 8080};
}

TEST(Probe, ABareAddressIsAskedHttpFirstAndSocksOnlyWhenItDidNotSpeakHttp) {
  CheckCandidate candidate = bare();
  CandidateProbe httpProxy(candidate, kNow, kReprobe);
  EXPECT_EQ(drive(httpProxy, {{kHttp, AttemptEnd::worked}, {kHttps, AttemptEnd::spoke}}), (Asked{kHttp, kHttps}));
  CheckOutcome outcome = httpProxy.conclude(kSight);
  EXPECT_EQ(outcome.verdict, CheckVerdict::alive);
  EXPECT_EQ(outcome.id, 7);
  EXPECT_EQ(outcome.protocols, kHttp);
  EXPECT_EQ(outcome.failedProtocols, kHttps | kSocks4 | kSocks5);
  EXPECT_TRUE(outcome.probedAll);
  EXPECT_EQ(outcome.exit.address, "127.0.0.9");
  EXPECT_EQ(outcome.anonymity, Anonymity::elite);

  CandidateProbe socksProxy(candidate, kNow, kReprobe);
  EXPECT_EQ(drive(socksProxy, {{kSocks5, AttemptEnd::worked}, {kSocks4, AttemptEnd::worked}}),
            (Asked{kHttp, kSocks5, kSocks4}));
  outcome = socksProxy.conclude(kSight);
  EXPECT_EQ(outcome.protocols, kSocks4 | kSocks5);
  EXPECT_EQ(outcome.failedProtocols, kHttp | kHttps);
  EXPECT_TRUE(outcome.probedAll);
}

TEST(Probe, ARefusedOrSilentConnectionEndsTheCheckAtOnce) {
  CheckCandidate candidate = bare();
  for (AttemptEnd end : {AttemptEnd::stopped, AttemptEnd::local}) {
    CandidateProbe probe(candidate, kNow, kReprobe);
    EXPECT_EQ(drive(probe, {}, end), Asked{kHttp});
    CheckOutcome outcome = probe.conclude(kSight);
    EXPECT_EQ(outcome.verdict, end == AttemptEnd::local ? CheckVerdict::notChecked : CheckVerdict::timedOut);
  }
  // Answered in no protocol at all: every one asked, the verdict the first one's.
  CandidateProbe nothing(candidate, kNow, kReprobe);
  EXPECT_EQ(drive(nothing, {}), (Asked{kHttp, kSocks5, kSocks4}));
  EXPECT_EQ(nothing.conclude(kSight).verdict, CheckVerdict::brokenReply);
  // An HTTP proxy that refuses us: its status is the verdict, and SOCKS is not asked.
  CandidateProbe refusing(candidate, kNow, kReprobe);
  EXPECT_EQ(drive(refusing, {}, AttemptEnd::spoke), (Asked{kHttp, kHttps}));
  EXPECT_EQ(refusing.conclude(kSight).verdict, CheckVerdict::badStatus);
}

TEST(Probe, TheNamedProtocolComesFirstAndTheRestTheRoundAfterItFirstWorks) {
  CheckCandidate candidate = bare();
  candidate.scheme = kSocks4;
  CandidateProbe first(candidate, kNow, kReprobe);
  EXPECT_EQ(drive(first, {{kSocks4, AttemptEnd::worked}}), Asked{kSocks4});
  CheckOutcome outcome = first.conclude(kSight);
  EXPECT_EQ(outcome.protocols, kSocks4);
  EXPECT_FALSE(outcome.probedAll);

  candidate.protocols = kSocks4;  // what the store keeps from that check; never fully probed
  CandidateProbe second(candidate, kNow, kReprobe);
  EXPECT_EQ(drive(second, {{kSocks4, AttemptEnd::worked}, {kSocks5, AttemptEnd::worked}}),
            (Asked{kSocks4, kHttp, kSocks5}));
  outcome = second.conclude(kSight);
  EXPECT_EQ(outcome.protocols, kSocks4 | kSocks5);
  EXPECT_TRUE(outcome.probedAll);

  // The named protocol that does not work: the others are asked in the same check.
  candidate.protocols = 0;
  candidate.scheme = kHttps;
  CandidateProbe wrongName(candidate, kNow, kReprobe);
  EXPECT_EQ(drive(wrongName, {{kSocks5, AttemptEnd::worked}}), (Asked{kHttps, kSocks5, kSocks4}));
  EXPECT_EQ(wrongName.conclude(kSight).protocols, kSocks5);
}

TEST(Probe, FailedProtocolsWaitForTheReprobeUnlessTheWorkingOnesFail) {
  CheckCandidate candidate = bare();
  candidate.protocols = kSocks5;
  candidate.failedProtocols = kHttp | kHttps | kSocks4;
  candidate.probedAt = kNow - kReprobe + 1;
  CandidateProbe recent(candidate, kNow, kReprobe);
  EXPECT_EQ(drive(recent, {{kSocks5, AttemptEnd::worked}}), Asked{kSocks5});
  CheckOutcome outcome = recent.conclude(kSight);
  EXPECT_EQ(outcome.protocols, kSocks5);
  EXPECT_EQ(outcome.failedProtocols, kHttp | kHttps | kSocks4);  // still known, not tried again
  EXPECT_FALSE(outcome.probedAll);

  candidate.probedAt = kNow - kReprobe;
  CandidateProbe old(candidate, kNow, kReprobe);
  EXPECT_EQ(drive(old, {{kSocks5, AttemptEnd::worked}, {kSocks4, AttemptEnd::worked}}),
            (Asked{kSocks5, kHttp, kSocks4}));  // no tunnel asked of a port that did not speak HTTP
  outcome = old.conclude(kSight);
  EXPECT_EQ(outcome.protocols, kSocks4 | kSocks5);
  EXPECT_EQ(outcome.failedProtocols, kHttp | kHttps);
  EXPECT_TRUE(outcome.probedAll);

  // It turned into an HTTP proxy since: the known one fails, the rest are asked at once.
  candidate.probedAt = kNow - 10;
  CandidateProbe changed(candidate, kNow, kReprobe);
  EXPECT_EQ(drive(changed, {{kHttp, AttemptEnd::worked}, {kHttps, AttemptEnd::spoke}}),
            (Asked{kSocks5, kHttp, kHttps}));
  outcome = changed.conclude(kSight);
  EXPECT_EQ(outcome.verdict, CheckVerdict::alive);
  EXPECT_EQ(outcome.protocols, kHttp);
  EXPECT_EQ(outcome.failedProtocols, kHttps | kSocks4 | kSocks5);
  EXPECT_TRUE(outcome.probedAll);
}

TEST(Probe, TheGradeIsTheLeastAnonymousWayThroughAndTheExitOnlyWhenElsewhere) {
  CheckCandidate candidate = bare();
  candidate.address = "127.0.0.9";
  CandidateProbe probe(candidate, kNow, kReprobe);
  probe.record({kHttp, AttemptEnd::worked, CheckVerdict::alive, 12, {{"peer", "127.0.0.9"}}});
  probe.record({kHttps, AttemptEnd::worked, CheckVerdict::alive, 30, {{"peer", "127.0.0.9"}, {"via", "1.1 x"}}});
  CheckOutcome outcome = probe.conclude(kSight);
  EXPECT_EQ(outcome.anonymity, Anonymity::anonymous);
  EXPECT_EQ(outcome.latencyMs, 12u);
  EXPECT_EQ(outcome.exit.address, "");  // leaves from where it listens
  EXPECT_EQ(probe.conclude({{}, nullptr}).anonymity, Anonymity::unknown);
}

TEST(Probe, AnExitElsewhereIsRecordedWithItsRegionAndCarrier) {
  std::optional<IpRegionDb> regions = loadIpRegionDb(regionDbPath());
  if (!regions) GTEST_SKIP() << "no region database at " << regionDbPath();
  const char* exit = "114.114.114.114";
  std::optional<IpRegion> region = regions->lookup(*parseIpv4(exit));
  ASSERT_TRUE(region && !region->province.empty());
  CheckCandidate candidate = bare();
  CandidateProbe probe(candidate, kNow, kReprobe);
  probe.record({kSocks5, AttemptEnd::worked, CheckVerdict::alive, 5, {{"peer", exit}}});
  CheckOutcome outcome = probe.conclude({{"127.0.0.1"}, &*regions});
  EXPECT_EQ(outcome.exit.address, exit);
  EXPECT_EQ(outcome.exit.province, region->province);
  EXPECT_EQ(outcome.exit.city, region->city);
  EXPECT_EQ(outcome.exit.carrier, region->carrier);
  EXPECT_EQ(probe.conclude(kSight).exit.province, "");  // no database: the address alone
}

}  // namespace
