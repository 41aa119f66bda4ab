#include "service/check/checkTransfer.h"

#include <sys/socket.h>

#include <cerrno>
#include <new>
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
  // Nothing may be thrown through libcurl's C frames.
  try {
    slot.body.append(bytes, size * count);
  } catch (const std::bad_alloc&) {
    slot.localFailure = true;
    return 0;
  }
  return size * count;
}

// Opens the connection's socket as libcurl would, keeping why it failed: libcurl reports a socket it
// could not open as a plain "couldn't connect", with no errno, which would read as a refusing proxy.
curl_socket_t openSocket(void* data, curlsocktype, curl_sockaddr* address) {
  Slot& slot = *static_cast<Slot*>(data);
  curl_socket_t fd = socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
  if (fd == CURL_SOCKET_BAD) slot.socketError = errno;
  return fd;
}

}  // namespace

bool prepare(Slot& slot, const CheckCandidate& candidate, const CheckSettings& settings, std::string token) {
  if (!slot.easy) slot.easy.reset(curl_easy_init());
  CURL* easy = slot.easy.get();
  if (!easy) return false;
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
  slot.localFailure = false;
  slot.socketError = 0;

  // Every option is one this libcurl knows: a refusal can only mean it ran out of memory.
  bool set = curl_easy_setopt(easy, CURLOPT_URL, slot.url.c_str()) == CURLE_OK;
  set = set && curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
  set = set && curl_easy_setopt(easy, CURLOPT_PROXY, slot.proxy.c_str()) == CURLE_OK;
  set = set && curl_easy_setopt(easy, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP)) == CURLE_OK;
  // An empty list overrides no_proxy/NO_PROXY, which could otherwise send the check around the
  // candidate straight to the target; the explicit proxy already overrides http_proxy and all_proxy.
  set = set && curl_easy_setopt(easy, CURLOPT_NOPROXY, "") == CURLE_OK;
  set = set && curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L) == CURLE_OK;
  set = set && curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
  set = set && curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(settings.timeoutMs)) == CURLE_OK;
  set = set && curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(settings.timeoutMs)) == CURLE_OK;
  // Every candidate is a different proxy: a kept connection would only hold a descriptor.
  set = set && curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L) == CURLE_OK;
  set = set && curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L) == CURLE_OK;
  set = set &&
        curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(settings.maxReplyBytes)) == CURLE_OK;
  set = set && curl_easy_setopt(easy, CURLOPT_USERAGENT, "quorvelip-check") == CURLE_OK;
  set = set && curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, onHeader) == CURLE_OK;
  set = set && curl_easy_setopt(easy, CURLOPT_HEADERDATA, &slot) == CURLE_OK;
  set = set && curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, onBody) == CURLE_OK;
  set = set && curl_easy_setopt(easy, CURLOPT_WRITEDATA, &slot) == CURLE_OK;
  set = set && curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, openSocket) == CURLE_OK;
  set = set && curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, &slot) == CURLE_OK;
  set = set && curl_easy_setopt(easy, CURLOPT_PRIVATE, &slot) == CURLE_OK;
  return set;
}

std::uint32_t latencyMs(const Slot& slot) {
  curl_off_t micros = 0;
  curl_easy_getinfo(slot.easy.get(), CURLINFO_TOTAL_TIME_T, &micros);
  return static_cast<std::uint32_t>((micros + 500) / 1000);
}

}  // namespace check
