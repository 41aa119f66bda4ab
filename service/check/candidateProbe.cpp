#include "service/check/candidateProbe.h"

#include <algorithm>
#include <utility>

#include "service/check/checkTarget.h"
#include "service/store/ipv4.h"

namespace {

bool isHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

const std::string* factNamed(const std::vector<AnswerField>& facts, std::string_view name) {
  for (const AnswerField& fact : facts) {
    if (fact.name == name) return &fact.value;
  }
  return nullptr;
}

}  // namespace

bool showsAddress(std::string_view text, std::string_view address) {
  if (address.empty()) return false;
  const bool v6 = address.find(':') != std::string_view::npos;
  // What may not touch an address on either side: a digit or dot of IPv4, a hex digit or colon of IPv6.
  auto partOf = [v6](char c) { return v6 ? isHex(c) || c == ':' : (c >= '0' && c <= '9') || c == '.'; };
  for (std::size_t at = 0; at + address.size() <= text.size(); ++at) {
    bool same = std::equal(address.begin(), address.end(), text.begin() + static_cast<std::ptrdiff_t>(at),
                           [](char a, char b) { return lower(a) == lower(b); });
    if (!same) continue;
    std::size_t end = at + address.size();
    if ((at == 0 || !partOf(text[at - 1])) && (end == text.size() || !partOf(text[end]))) return true;
  }
  return false;
}

Anonymity gradeSight(const std::vector<AnswerField>& facts, const std::vector<std::string>& ownAddresses) {
  if (ownAddresses.empty() || !factNamed(facts, kPeerFact)) return Anonymity::unknown;
  bool revealing = false;
  for (const AnswerField& fact : facts) {
    for (const std::string& own : ownAddresses) {
      if (showsAddress(fact.value, own)) return Anonymity::transparent;
    }
    revealing = revealing || fact.name != kPeerFact;
  }
  return revealing ? Anonymity::anonymous : Anonymity::elite;
}

CandidateProbe::CandidateProbe(const CheckCandidate& candidate, std::int64_t now, std::int64_t reprobeAfterSeconds)
    : candidate_(candidate) {
  expected_ = (candidate.protocols ? candidate.protocols : candidate.scheme) & kAllProtocols;
  if (candidate.probedAt == 0) {
    probeDue_ = candidate.protocols != 0;  // worked as its named protocol, never probed for the rest
  } else {
    probeDue_ = now - candidate.probedAt >= reprobeAfterSeconds;
  }
}

std::optional<ProtocolBit> CandidateProbe::next() const {
  if (over_) return std::nullopt;
  const ProtocolSet tried = worked_ | failed_;
  for (ProtocolBit protocol : kProbeOrder) {
    if ((expected_ & protocol) && !(tried & protocol)) return protocol;
  }
  // The rest: when none was expected, none of those expected worked, or the full probe is due.
  if (expected_ != 0 && (worked_ & expected_) != 0 && !probeDue_) return std::nullopt;
  for (ProtocolBit protocol : kProbeOrder) {
    if (!((tried | ruledOut_) & protocol)) return protocol;
  }
  return std::nullopt;
}

void CandidateProbe::record(Attempt attempt) {
  const ProtocolBit protocol = attempt.protocol;
  (attempt.end == AttemptEnd::worked ? worked_ : failed_) |= protocol;
  if (attempt.end == AttemptEnd::stopped || attempt.end == AttemptEnd::local) over_ = true;
  if (protocol & kHttpFamily) {
    bool answeredHttp = attempt.end == AttemptEnd::worked || attempt.end == AttemptEnd::spoke;
    if (answeredHttp) ruledOut_ |= kSocksFamily;
    if (attempt.end == AttemptEnd::otherProtocol) ruledOut_ |= kHttpFamily;
  }
  attempts_.push_back(std::move(attempt));
}

CheckOutcome CandidateProbe::conclude(const RoundSight& sight) const {
  CheckOutcome outcome;
  outcome.id = candidate_.id;
  if (worked_ == 0) {
    const Attempt* telling = nullptr;  // the first that spoke the protocol it was asked, else the first
    bool shortage = false;
    for (const Attempt& attempt : attempts_) {
      shortage = shortage || attempt.end == AttemptEnd::local;
      if (!telling && attempt.end == AttemptEnd::spoke) telling = &attempt;
    }
    if (!telling && !attempts_.empty()) telling = &attempts_.front();
    outcome.verdict = shortage || !telling ? CheckVerdict::notChecked : telling->verdict;
    return outcome;
  }
  const ProtocolSet decided = worked_ | failed_ | ruledOut_;
  outcome.verdict = CheckVerdict::alive;
  outcome.protocols = worked_;
  outcome.failedProtocols = (candidate_.failedProtocols | failed_ | ruledOut_) & ~worked_ & kAllProtocols;
  outcome.probedAll = (decided & kAllProtocols) == kAllProtocols;
  bool first = true;
  for (const Attempt& attempt : attempts_) {
    if (attempt.end != AttemptEnd::worked) continue;
    // The grade a client can count on whichever way it uses the proxy: the least anonymous one.
    Anonymity grade = gradeSight(attempt.facts, sight.ownAddresses);
    if (first || grade < outcome.anonymity) outcome.anonymity = grade;
    const std::string* peer = factNamed(attempt.facts, kPeerFact);
    if (first && peer && *peer != candidate_.address) {
      outcome.exit.address = *peer;
      std::optional<std::uint32_t> address = parseIpv4(*peer);
      std::optional<IpRegion> region =
          sight.regions && address ? sight.regions->lookup(*address) : std::optional<IpRegion>();
      if (region) {
        outcome.exit.province = region->province;
        outcome.exit.city = region->city;
        outcome.exit.carrier = region->carrier;
      }
    }
    if (first) outcome.latencyMs = attempt.latencyMs;
    first = false;
  }
  return outcome;
}
