#pragma once
// One candidate's check: the protocols it is tried as, in which order, and what its attempts conclude.
//
// Order: plain HTTP, a CONNECT tunnel, SOCKS5, SOCKS4. HTTP first because it is the cheap question for
// any port: an HTTP proxy answers it, and a SOCKS server closes at its first byte. Asked the other way
// round, a plain HTTP proxy meets a SOCKS greeting with silence until the connect timeout. So a port that
// answered in HTTP is not asked for SOCKS, and one that did not is not asked for a tunnel (HTTP too).
//
// Cheap: a refused connection or a silence (no answer within the time) ends the check, every protocol
// failing at once; only an answer in another protocol (a close without a byte, bytes that are not this
// protocol) moves on to the next one.
//
// Schedule: the protocols an entry worked as at its last live check are tried every round, first; with
// none known, the one its list named. The rest are tried when none of those works (or none is known),
// and otherwise only when the entry's last full probe is older than `reprobeAfterSeconds`, or was never
// made although the entry has worked (its list named a protocol: the round after the first success).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "service/check/checkAnswer.h"
#include "service/check/checker.h"
#include "service/sources/ipRegion.h"
#include "service/store/proxyKinds.h"

// The order protocols are tried in.
inline constexpr ProtocolBit kProbeOrder[] = {kHttp, kHttps, kSocks5, kSocks4};
inline constexpr ProtocolSet kAllProtocols = kHttp | kHttps | kSocks4 | kSocks5;
inline constexpr ProtocolSet kHttpFamily = kHttp | kHttps;
inline constexpr ProtocolSet kSocksFamily = kSocks4 | kSocks5;
// Failed protocols are tried again after this many recheck periods (an hour at the default 10 minutes).
inline constexpr std::int64_t kReprobeAfterRechecks = 6;

// How one attempt through the candidate ended, as far as the other protocols are concerned.
enum class AttemptEnd {
  worked,         // the signed answer came back: alive as this protocol
  spoke,          // answered in this protocol, but not with the answer (a status, a refusal, another body)
  otherProtocol,  // connected, but the close or the bytes that came are not this protocol
  stopped,        // refused, or silent within the time: no other protocol is asked either
  local,          // a shortage on this side: nothing learnt about the proxy
};

struct Attempt {
  ProtocolBit protocol = kHttp;
  AttemptEnd end = AttemptEnd::stopped;
  CheckVerdict verdict = CheckVerdict::refused;
  std::uint32_t latencyMs = 0;
  std::vector<AnswerField> facts = {};  // what the target saw, when it worked (the token left out)
};

// What grading needs from the round.
struct RoundSight {
  std::vector<std::string> ownAddresses;  // the checker's, as the target sees them; empty: unknown
  const IpRegionDb* regions = nullptr;
};

class CandidateProbe {
 public:
  CandidateProbe(const CheckCandidate& candidate, std::int64_t now, std::int64_t reprobeAfterSeconds);

  // The protocol to try next, or empty once the check is over.
  std::optional<ProtocolBit> next() const;
  void record(Attempt attempt);
  // The check's outcome from the attempts so far.
  CheckOutcome conclude(const RoundSight& sight) const;

 private:
  const CheckCandidate& candidate_;
  ProtocolSet expected_ = 0;  // tried first, whatever else is learnt
  bool probeDue_ = false;     // the rest are tried even when an expected one works
  ProtocolSet worked_ = 0;
  ProtocolSet failed_ = 0;    // tried and did not work
  ProtocolSet ruledOut_ = 0;  // not tried: what the port answered rules them out
  bool over_ = false;         // refused, silent or short of something: nothing more is tried
  std::vector<Attempt> attempts_;
};

// The grade by what the target saw through a proxy: transparent when one of the checker's own addresses
// shows anywhere in it (the peer or a header, as a whole address); anonymous when a header that tells a
// proxy is there; elite when neither. Unknown without the peer (a target that reports nothing) or
// without the checker's own addresses.
Anonymity gradeSight(const std::vector<AnswerField>& facts, const std::vector<std::string>& ownAddresses);

// Whether `address` shows in `text` as a whole address, not inside a longer one (127.0.0.1 is not in
// 127.0.0.12); IPv6 addresses compared without regard to case.
bool showsAddress(std::string_view text, std::string_view address);
