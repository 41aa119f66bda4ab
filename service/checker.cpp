// The live check on libcurl's multi interface: one multi handle per round, at most `parallel` easy
// handles, each reused for the next candidate as soon as its check ends, so the round never waits for
// its slowest check before starting others.
#include "service/checker.h"

#include <arpa/inet.h>
#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <random>
#include <stdexcept>

#include "service/curlGlobal.h"

namespace {

// How often a round wakes to look at `stop` while nothing happens on its connections.
constexpr int kStopPollMs = 50;
constexpr std::size_t kTokenBytes = 16;

struct MultiDeleter {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

// One check in flight. Lives at a fixed address while curl holds pointers to it.
struct Slot {
  EasyHandle easy;
  std::size_t candidate = 0;
  std::string token;
  std::string url;
  std::string proxy;
  std::string body;
  std::size_t received = 0;  // headers and body, against the cap
  std::size_t cap = 0;
  bool overCap = false;
  bool busy = false;
};

// Counts every byte of the reply against the cap; returning less than was given aborts the transfer.
bool takeBytes(Slot& slot, std::size_t bytes) {
  slot.received += bytes;
  if (slot.received > slot.cap) {
    slot.overCap = true;
    return false;
  }
  return true;
}

size_t onHeader(char*, size_t size, size_t count, void* data) {
  Slot& slot = *static_cast<Slot*>(data);
  return takeBytes(slot, size * count) ? size * count : 0;
}

size_t onBody(char* bytes, size_t size, size_t count, void* data) {
  Slot& slot = *static_cast<Slot*>(data);
  if (!takeBytes(slot, size * count)) return 0;
  slot.body.append(bytes, size * count);
  return size * count;
}

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

bool usable(const CheckCandidate& candidate) {
  in_addr parsed{};
  return candidate.port != 0 && inet_pton(AF_INET, candidate.address.c_str(), &parsed) == 1;
}

void validate(const CheckSettings& settings) {
  const std::string& url = settings.checkUrl;
  if (!url.starts_with("http://") && !url.starts_with("https://")) {
    throw std::invalid_argument("check URL must be http:// or https://");
  }
  if (url.find('#') != std::string::npos) throw std::invalid_argument("check URL must not hold a fragment");
  if (settings.parallel == 0 || settings.timeoutMs == 0 || settings.maxReplyBytes == 0) {
    throw std::invalid_argument("parallel, timeout and reply cap must be at least 1");
  }
}

void prepare(Slot& slot, const CheckCandidate& candidate, const CheckSettings& settings, std::random_device& random) {
  CURL* easy = slot.easy.get();
  curl_easy_reset(easy);
  slot.token = freshToken(random);
  slot.url = settings.checkUrl;
  slot.url += settings.checkUrl.find('?') == std::string::npos ? '?' : '&';
  slot.url += kCheckTokenKey;
  slot.url += '=';
  slot.url += slot.token;
  slot.proxy = "http://" + candidate.address + ":" + std::to_string(candidate.port);
  slot.body.clear();
  slot.received = 0;
  slot.cap = settings.maxReplyBytes;
  slot.overCap = false;

  curl_easy_setopt(easy, CURLOPT_URL, slot.url.c_str());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_PROXY, slot.proxy.c_str());
  curl_easy_setopt(easy, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
  // An empty list overrides no_proxy/NO_PROXY, which could otherwise send the check around the
  // candidate straight to the target; the explicit proxy already overrides http_proxy and all_proxy.
  curl_easy_setopt(easy, CURLOPT_NOPROXY, "");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(settings.timeoutMs));
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(settings.timeoutMs));
  // Every candidate is a different proxy: a kept connection would only hold a descriptor.
  curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
  curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(settings.maxReplyBytes));
  curl_easy_setopt(easy, CURLOPT_USERAGENT, "quorvelip-check");
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, onHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &slot);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, onBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &slot);
  curl_easy_setopt(easy, CURLOPT_PRIVATE, &slot);
}

CheckVerdict classify(const Slot& slot, CURLcode result) {
  CURL* easy = slot.easy.get();
  if (slot.overCap || result == CURLE_FILESIZE_EXCEEDED) return CheckVerdict::tooLarge;
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
  return slot.body == checkTargetAnswer(slot.token) ? CheckVerdict::alive : CheckVerdict::wrongAnswer;
}

std::uint32_t latencyMs(const Slot& slot) {
  curl_off_t micros = 0;
  curl_easy_getinfo(slot.easy.get(), CURLINFO_TOTAL_TIME_T, &micros);
  return static_cast<std::uint32_t>((micros + 500) / 1000);
}

// Takes every easy handle out of the multi handle before either is freed, whatever ends the round.
class Round {
 public:
  explicit Round(std::size_t slots) : multi_(curl_multi_init()), slots_(slots) {
    if (!multi_) throw std::runtime_error("curl_multi_init failed");
    for (Slot& slot : slots_) {
      slot.easy.reset(curl_easy_init());
      if (!slot.easy) throw std::runtime_error("curl_easy_init failed");
    }
  }
  Round(const Round&) = delete;
  Round& operator=(const Round&) = delete;
  ~Round() {
    for (Slot& slot : slots_) {
      if (slot.busy) curl_multi_remove_handle(multi_.get(), slot.easy.get());
    }
  }

  CURLM* multi() const { return multi_.get(); }
  std::vector<Slot>& slots() { return slots_; }

  void start(Slot& slot) {
    slot.busy = true;
    if (curl_multi_add_handle(multi_.get(), slot.easy.get()) != CURLM_OK) {
      slot.busy = false;
      throw std::runtime_error("curl_multi_add_handle failed");
    }
  }

  void finish(Slot& slot) {
    curl_multi_remove_handle(multi_.get(), slot.easy.get());
    slot.busy = false;
  }

 private:
  MultiHandle multi_;  // declared first so it is freed after the slots' easy handles
  std::vector<Slot> slots_;
};

}  // namespace

std::string checkTargetAnswer(std::string_view token) {
  std::string answer = "quorvelip-check ";
  answer += token;
  answer += '\n';
  return answer;
}

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
  // Starts the next usable candidate in `slot`; unusable ones are answered at once.
  auto refill = [&](Slot& slot) {
    while (next < candidates.size() && !stopped()) {
      const CheckCandidate& candidate = candidates[next];
      std::size_t index = next++;
      if (!usable(candidate)) {
        onOutcome({candidate.id, CheckVerdict::badCandidate, 0});
        continue;
      }
      prepare(slot, candidate, settings, random);
      slot.candidate = index;
      round.start(slot);
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
      CheckOutcome outcome{candidates[slot->candidate].id, classify(*slot, result), latencyMs(*slot)};
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
