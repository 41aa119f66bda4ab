#pragma once
// The live check: every candidate is used as an HTTP proxy to fetch the check target, many at once
// through libcurl's multi interface. A candidate is alive only when what comes back through it is the
// target's own answer to this very request: the checker sends a fresh token with each check and the
// target signs its answer to it with the key they share (checkAnswer.h), so a proxy that serves its
// own page, a made-up or replayed answer, garbage or an error is dead.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "service/check/checkAnswer.h"
#include "service/check/checkKey.h"

struct CheckCandidate {
  std::int64_t id = 0;  // the caller's key; handed back in the outcome
  std::string address;  // dotted IPv4
  std::uint16_t port = 0;
};

enum class CheckVerdict {
  alive,
  refused,       // connection refused or reset before a reply
  timedOut,      // no complete reply within the timeout
  badStatus,     // an HTTP status other than 200 (also the proxy's own error pages)
  wrongAnswer,   // a 200 whose body is not the target's signed answer to this check's token
  tooLarge,      // the reply passed the size cap
  brokenReply,   // not HTTP, or closed mid-reply
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
  std::uint32_t latencyMs = 0;  // whole exchange through the proxy; meaningful when alive
};

// <chrono> cannot be included here: its C++20 part holds a literal (\u00b5s) the GBK execution character
// set cannot express, so the timeout is a plain count of milliseconds.
struct CheckSettings {
  std::string checkUrl;                   // see checkUrlProblem; the token is appended as a query parameter
  CheckKey key;                           // the one the check target signs with
  std::size_t parallel = 256;             // checks in flight at most; at least 1
  std::uint32_t timeoutMs = 5000;         // per check, connection included; at least 1
  std::size_t maxReplyBytes = 64 * 1024;  // status line, headers and body together; at least 1
};

std::string_view verdictName(CheckVerdict verdict);

// Checks every candidate, at most `settings.parallel` in flight, and calls `onOutcome` on the calling
// thread as each one ends (once per candidate, in the order they end). Returns early (outcomes not yet
// delivered are dropped) once `stop` becomes true; it is looked at least every 50 ms. Never follows a
// redirect, only the candidate is used as proxy whatever the proxy environment variables say, and an
// address mayContact refuses is never connected to. Throws std::invalid_argument when the settings
// break the limits above, the check URL has a problem or there is no key; std::runtime_error when
// libcurl's multi handle fails as a whole.
void checkProxies(const std::vector<CheckCandidate>& candidates, const CheckSettings& settings,
                  const std::function<void(const CheckOutcome&)>& onOutcome, const std::atomic<bool>* stop = nullptr);
