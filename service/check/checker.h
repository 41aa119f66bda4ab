#pragma once
// The live check: every candidate is used as a proxy to fetch the check target, many at once through
// libcurl's multi interface, as each protocol it may speak (plain HTTP, a CONNECT tunnel, SOCKS4, SOCKS5;
// the order and the schedule are candidateProbe.h's). A protocol works only when what comes back through
// it is the target's own answer to this very request: the checker sends a fresh token with each attempt
// and the target signs its answer to it with the key they share (checkAnswer.h), so a proxy that serves
// its own page, a made-up or replayed answer, garbage or an error is dead. The answer also says what the
// target saw (checkTarget.h): the proxy's exit address and the headers it added, which grade it.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "service/check/checkAnswer.h"
#include "service/check/checkKey.h"
#include "service/sources/ipRegion.h"
#include "service/store/poolStore.h"
#include "service/store/proxyKinds.h"

struct CheckCandidate {
  std::int64_t id = 0;  // the caller's key; handed back in the outcome
  std::string address;  // dotted IPv4
  std::uint16_t port = 0;
  ProtocolSet scheme = 0;     // the one protocol its list named; 0 for a bare address
  std::string username = {};  // proxy credentials, empty for none; never printed nor put in a URL
  std::string password = {};
  ProtocolSet protocols = 0;        // those it worked as at its last successful check
  ProtocolSet failedProtocols = 0;  // those that failed then
  std::int64_t probedAt = 0;        // Unix seconds: when every protocol was last tried; 0 for never
};

enum class CheckVerdict {
  alive,
  refused,       // connection refused or reset before a reply
  timedOut,      // no complete reply within the timeout
  badStatus,     // an HTTP status other than 200, a refused tunnel, a SOCKS refusal (credentials too)
  wrongAnswer,   // a 200 whose body is not the target's signed answer to this check's token
  tooLarge,      // the reply passed the size cap
  brokenReply,   // not the protocol asked, or closed mid-reply
  badCandidate,  // not a dotted IPv4 address, port 0, or an address the policy forbids: never contacted
  notChecked,    // a shortage on this side (descriptors, memory, a transfer's set-up): no verdict at all
};

// Whether the outcome says anything about the proxy: everything but notChecked.
inline bool isVerdict(CheckVerdict verdict) {
  return verdict != CheckVerdict::notChecked;
}

struct CheckOutcome {
  std::int64_t id = 0;
  CheckVerdict verdict = CheckVerdict::refused;
  std::uint32_t latencyMs = 0;  // whole exchange through the proxy, by the first protocol that worked
  // Meaningful when alive:
  ProtocolSet protocols = 0;        // those it worked as in this check
  ProtocolSet failedProtocols = 0;  // those known not to work: failed now, or before and not tried again
  bool probedAll = false;           // every protocol was decided in this check
  Anonymity anonymity = Anonymity::unknown;
  ExitFacts exit = {};  // where its requests came out, when not from the listed address
};

// <chrono> cannot be included here: its C++20 part holds a literal (\u00b5s) the GBK execution character
// set cannot express, so the timeouts are plain counts of milliseconds.
struct CheckSettings {
  std::string checkUrl;                   // see checkUrlProblem; the token is appended as a query parameter
  CheckKey key;                           // the one the check target signs with
  std::size_t parallel = 256;             // connections in flight at most; at least 1
  std::uint32_t timeoutMs = 5000;         // per attempt, connection included; at least 1
  std::uint32_t connectTimeoutMs = 3000;  // per attempt, for the connection and a SOCKS or CONNECT handshake
  std::size_t maxReplyBytes = 64 * 1024;  // status line, headers and body together; at least 1
  // Protocols that failed are tried again once the entry's last full probe is this old.
  std::int64_t reprobeAfterSeconds = 6 * 600;
  const IpRegionDb* regions = nullptr;  // the exit's region and carrier; none when null
};

// What the round learnt before its checks: the checker's own address(es) as the target sees them, by a
// request straight to the target. Without them no proxy can be graded.
struct CheckRoundFacts {
  std::vector<std::string> ownAddresses;
  std::string problem;  // why they are unknown; empty when known
};

std::string_view verdictName(CheckVerdict verdict);

// Checks every candidate, at most `settings.parallel` connections in flight (one per candidate: its
// attempts follow one another in the same slot), and calls `onOutcome` on the calling thread as each
// candidate's check ends (once per candidate, in the order they end). Returns early (outcomes not yet
// delivered are dropped) once `stop` becomes true; it is looked at least every 50 ms. Never follows a
// redirect, only the candidate is used as proxy whatever the proxy environment variables say, and an
// address mayContact refuses is never connected to. Throws std::invalid_argument when the settings
// break the limits above, the check URL has a problem or there is no key; std::runtime_error when
// libcurl's multi handle fails as a whole.
CheckRoundFacts checkProxies(const std::vector<CheckCandidate>& candidates, const CheckSettings& settings,
                             const std::function<void(const CheckOutcome&)>& onOutcome,
                             const std::atomic<bool>* stop = nullptr);
