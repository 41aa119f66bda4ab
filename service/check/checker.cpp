// The live check's round: at most `parallel` connections in flight, one slot per candidate, its attempts
// (candidateProbe.h) one after another in the slot, and each slot reused for the next candidate as soon as
// a check ends, so the round never waits for its slowest check before starting others. The transfers
// themselves are in checkTransfer.cpp.
#include "service/check/checker.h"

#include <arpa/inet.h>
#include <curl/curl.h>

#include <algorithm>
#include <ctime>
#include <optional>
#include <random>
#include <stdexcept>
#include <utility>

#include "service/check/candidateProbe.h"
#include "service/check/checkTarget.h"
#include "service/check/checkTransfer.h"
#include "service/check/checkUrl.h"
#include "service/check/transferRound.h"
#include "service/sources/curlGlobal.h"
#include "service/store/addressPolicy.h"

namespace {

using namespace check;

// How often a round wakes to look at `stop` while nothing happens on its connections.
constexpr int kStopPollMs = 50;
constexpr std::size_t kTokenBytes = 16;

std::string freshToken(std::random_device& random) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string token;
  token.reserve(2 * kTokenBytes);
  for (std::size_t i = 0; i < kTokenBytes; i += 4) {
    std::uint32_t word = random();
    for (int b = 0; b < 4; ++b, word >>= 8) {
      token += kHex[(word >> 4) & 0xF];
      token += kHex[word & 0xF];
    }
  }
  return token;
}

// A dotted IPv4 address the policy lets us contact, and a port. Whatever the import let in, an address
// that is no host (0.0.0.0 reaches this machine), or names none, is never connected to.
bool usable(const CheckCandidate& candidate) {
  in_addr parsed{};
  return candidate.port != 0 && inet_pton(AF_INET, candidate.address.c_str(), &parsed) == 1 &&
         mayContact(ntohl(parsed.s_addr));
}

void validate(const CheckSettings& settings) {
  if (std::string problem = checkUrlProblem(settings.checkUrl); !problem.empty()) {
    throw std::invalid_argument("check URL " + settings.checkUrl + ": " + problem);
  }
  if (settings.key.empty()) throw std::invalid_argument("no check key");
  if (settings.parallel == 0 || settings.timeoutMs == 0 || settings.connectTimeoutMs == 0 ||
      settings.maxReplyBytes == 0) {
    throw std::invalid_argument("parallel, timeouts and reply cap must be at least 1");
  }
}

// Runs the transfers in flight, handing each ended one to `ended` (which may start another in its slot and
// says whether it did), until none is left or `stopped()`. False when stopped.
template <class Stopped, class Ended>
bool pump(Round& round, std::size_t& inFlight, Stopped stopped, Ended ended) {
  while (inFlight > 0 && !stopped()) {
    round.step(kStopPollMs);
    CURLcode result = CURLE_OK;
    while (Slot* slot = round.nextEnded(result)) {
      if (!ended(*slot, result)) --inFlight;
      if (stopped()) return false;
    }
  }
  return !stopped();
}

// The checker's own address as the target sees it (and the local end of that connection), by one request
// straight to the target.
template <class Stopped>
CheckRoundFacts learnOwnAddresses(Round& round, const TransferCommon& common, std::random_device& random,
                                  Stopped stopped) {
  CheckRoundFacts facts;
  Slot& slot = round.slots().front();
  if (!prepare(slot, nullptr, kHttp, common, freshToken(random)) || !round.start(slot)) {
    facts.problem = "no transfer could be set up";
    return facts;
  }
  std::size_t inFlight = 1;
  std::optional<Attempt> direct;
  std::string local;
  pump(round, inFlight, stopped, [&](Slot& done, CURLcode result) {
    direct = readAttempt(done, result, common.settings.key);
    local = localAddress(done);
    round.finish(done);
    return false;
  });
  if (!direct) return facts;  // stopped
  if (direct->verdict != CheckVerdict::alive) {
    facts.problem =
        "the check target did not answer the checker directly (" + std::string(verdictName(direct->verdict)) + ")";
    return facts;
  }
  for (const AnswerField& fact : direct->facts) {
    if (fact.name == kPeerFact) facts.ownAddresses.push_back(fact.value);
  }
  if (facts.ownAddresses.empty()) {
    facts.problem = "the check target does not say what it sees";
    return facts;
  }
  if (!local.empty() && local != facts.ownAddresses.front()) facts.ownAddresses.push_back(local);
  return facts;
}

}  // namespace

std::string_view verdictName(CheckVerdict verdict) {
  switch (verdict) {
    case CheckVerdict::alive:
      return "alive";
    case CheckVerdict::refused:
      return "refused";
    case CheckVerdict::timedOut:
      return "timedOut";
    case CheckVerdict::badStatus:
      return "badStatus";
    case CheckVerdict::wrongAnswer:
      return "wrongAnswer";
    case CheckVerdict::tooLarge:
      return "tooLarge";
    case CheckVerdict::brokenReply:
      return "brokenReply";
    case CheckVerdict::badCandidate:
      return "badCandidate";
    case CheckVerdict::notChecked:
      return "notChecked";
  }
  return "unknown";
}

CheckRoundFacts checkProxies(const std::vector<CheckCandidate>& candidates, const CheckSettings& settings,
                             const std::function<void(const CheckOutcome&)>& onOutcome, const std::atomic<bool>* stop) {
  validate(settings);
  auto stopped = [stop] { return stop && stop->load(); };
  if (candidates.empty() || stopped()) return {};
  initCurlOnce();
  std::random_device random;
  const TransferCommon common(settings);
  const std::int64_t now = std::time(nullptr);

  Round round(std::min(settings.parallel, candidates.size()));
  CheckRoundFacts facts = learnOwnAddresses(round, common, random, stopped);
  const RoundSight sight{facts.ownAddresses, settings.regions};
  std::vector<std::optional<CandidateProbe>> probes(round.slots().size());
  std::size_t next = 0;
  std::size_t inFlight = 0;

  // Starts the next attempt of the slot's check; false once the check is over. An attempt that cannot
  // be set up here ends the check as not checked.
  auto attempt = [&](Slot& slot) {
    CandidateProbe& probe = *probes[round.indexOf(slot)];
    while (std::optional<ProtocolBit> protocol = probe.next()) {
      if (prepare(slot, &candidates[slot.candidate], *protocol, common, freshToken(random)) && round.start(slot)) {
        return true;
      }
      probe.record({*protocol, AttemptEnd::local, CheckVerdict::notChecked});
    }
    return false;
  };
  // Starts the next usable candidate's check in `slot`; unusable ones are answered at once, and so are
  // those whose transfer cannot even be set up here (not checked). True when one was started.
  auto refill = [&](Slot& slot) {
    std::optional<CandidateProbe>& probe = probes[round.indexOf(slot)];
    while (next < candidates.size() && !stopped()) {
      const CheckCandidate& candidate = candidates[next];
      slot.candidate = next++;
      if (!usable(candidate)) {
        onOutcome({candidate.id, CheckVerdict::badCandidate});
        continue;
      }
      probe.emplace(candidate, now, settings.reprobeAfterSeconds);
      if (attempt(slot)) return true;
      onOutcome(probe->conclude(sight));
    }
    probe.reset();
    return false;
  };
  for (Slot& slot : round.slots()) inFlight += refill(slot) ? 1 : 0;

  pump(round, inFlight, stopped, [&](Slot& slot, CURLcode result) {
    CandidateProbe& probe = *probes[round.indexOf(slot)];
    Attempt done = readAttempt(slot, result, settings.key);
    if (common.alwaysTunnels && done.protocol == kHttp) {
      // The plain HTTP attempt was a tunnel already: it answers for the tunnel too, not asked twice.
      Attempt tunnel = done;
      tunnel.protocol = kHttps;
      probe.record(std::move(tunnel));
    }
    probe.record(std::move(done));
    round.finish(slot);
    if (attempt(slot)) return true;  // the same candidate, another protocol, in the same slot
    CheckOutcome outcome = probe.conclude(sight);
    if (stopped()) return false;
    onOutcome(outcome);
    return refill(slot);
  });
  return facts;
}
