#include "service/check/checkTransfer.h"

#include <utility>

namespace check {
namespace {

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

}  // namespace

void prepare(Slot& slot, const CheckCandidate& candidate, const CheckSettings& settings, std::string token) {
  CURL* easy = slot.easy.get();
  curl_easy_reset(easy);
  slot.token = std::move(token);
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

std::uint32_t latencyMs(const Slot& slot) {
  curl_off_t micros = 0;
  curl_easy_getinfo(slot.easy.get(), CURLINFO_TOTAL_TIME_T, &micros);
  return static_cast<std::uint32_t>((micros + 500) / 1000);
}

}  // namespace check
