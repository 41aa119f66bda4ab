// The live check's round and its verdicts: at most `parallel` checks in flight, each slot reused for the
// next candidate as soon as its check ends, so the round never waits for its slowest check before
// starting others. The transfers themselves are in checkTransfer.cpp.
#include "service/check/checker.h"

#include <arpa/inet.h>
#include <curl/curl.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <random>
#include <stdexcept>

#include "service/check/checkTransfer.h"
#include "service/check/checkUrl.h"
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
  if (settings.parallel == 0 || settings.timeoutMs == 0 || settings.maxReplyBytes == 0) {
    throw std::invalid_argument("parallel, timeout and reply cap must be at least 1");
  }
}

// Whether the transfer failed for want of something on this side: then the proxy was never really
// tried. An IP literal needs no resolving, so failing to "resolve" the proxy is ours too.
bool localShortage(const Slot& slot, CURLcode result) {
  switch (result) {
    case CURLE_OUT_OF_MEMORY:
    case CURLE_FAILED_INIT:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return true;
    case CURLE_WRITE_ERROR:
      return slot.localFailure;
    default:
      break;
  }
  long osError = slot.socketError;
  if (osError == 0) curl_easy_getinfo(slot.easy.get(), CURLINFO_OS_ERRNO, &osError);
  return osError == EMFILE || osError == ENFILE || osError == ENOMEM || osError == ENOBUFS || osError == EADDRNOTAVAIL;
}

CheckVerdict classify(const Slot& slot, CURLcode result, const CheckKey& key) {
  CURL* easy = slot.easy.get();
  if (slot.overCap || result == CURLE_FILESIZE_EXCEEDED) return CheckVerdict::tooLarge;
  if (slot.localFailure || (result != CURLE_OK && localShortage(slot, result))) return CheckVerdict::notChecked;
  long connectCode = 0;
  curl_easy_getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &connectCode);
  if (connectCode != 0 && connectCode != 200) return CheckVerdict::badStatus;  // the proxy refused a tunnel
  switch (result) {
    case CURLE_OK:
      break;
    case CURLE_OPERATION_TIMEDOUT:
      return CheckVerdict::timedOut;
    case CURLE_COULDNT_CONNECT:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_GOT_NOTHING:
      return CheckVerdict::refused;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
      return slot.received == 0 ? CheckVerdict::refused : CheckVerdict::brokenReply;
    default:
      return CheckVerdict::brokenReply;
  }
  long status = 0;
  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
  if (status != 200) return CheckVerdict::badStatus;
  return answersToken(slot.body, key, slot.token) ? CheckVerdict::alive : CheckVerdict::wrongAnswer;
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

void checkProxies(const std::vector<CheckCandidate>& candidates, const CheckSettings& settings,
                  const std::function<void(const CheckOutcome&)>& onOutcome, const std::atomic<bool>* stop) {
  validate(settings);
  auto stopped = [stop] { return stop && stop->load(); };
  if (candidates.empty() || stopped()) return;
  initCurlOnce();
  std::random_device random;

  Round round(std::min(settings.parallel, candidates.size()));
  std::size_t next = 0;
  std::size_t inFlight = 0;
  // Starts the next usable candidate in `slot`; unusable ones are answered at once, and so are those
  // whose transfer cannot even be set up here (not checked).
  auto refill = [&](Slot& slot) {
    while (next < candidates.size() && !stopped()) {
      const CheckCandidate& candidate = candidates[next];
      std::size_t index = next++;
      if (!usable(candidate)) {
        onOutcome({candidate.id, CheckVerdict::badCandidate, 0});
        continue;
      }
      slot.candidate = index;
      if (!prepare(slot, candidate, settings, freshToken(random)) || !round.start(slot)) {
        onOutcome({candidate.id, CheckVerdict::notChecked, 0});
        continue;
      }
      ++inFlight;
      return;
    }
  };
  for (Slot& slot : round.slots()) refill(slot);

  while (inFlight > 0 && !stopped()) {
    int running = 0;
    if (curl_multi_perform(round.multi(), &running) != CURLM_OK) throw std::runtime_error("curl_multi_perform failed");
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(round.multi(), &queued)) {
      if (message->msg != CURLMSG_DONE) continue;
      void* data = nullptr;
      curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &data);
      Slot* slot = static_cast<Slot*>(data);
      CURLcode result = message->data.result;  // `message` is invalid once its handle is removed
      CheckOutcome outcome{candidates[slot->candidate].id, classify(*slot, result, settings.key), latencyMs(*slot)};
      round.finish(*slot);
      --inFlight;
      if (stopped()) return;
      onOutcome(outcome);
      refill(*slot);
    }
    if (inFlight == 0) break;
    if (queued == 0 && running > 0) curl_multi_poll(round.multi(), nullptr, 0, kStopPollMs, nullptr);
  }
}
