#include "service/check/checkTransfer.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <stdexcept>
#include <utility>

#include "service/check/checkUrl.h"

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

size_t onHeader(char* bytes, size_t size, size_t count, void* data) {
  Slot& slot = *static_cast<Slot*>(data);
  if (std::string_view(bytes, size * count).starts_with("HTTP/")) slot.sawHttp = true;
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
  // Closed with a reset: a check is over when we close, and a round that gives up on thousands of silent
  // proxies would otherwise leave as many ports in TIME_WAIT, each making the next connect's search for a
  // free port longer (a hundred thousand of them made the connects of 4,096 checks take seconds).
  linger reset{1, 0};
  if (fd != CURL_SOCKET_BAD) setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
  return fd;
}

const char* proxyScheme(ProtocolBit protocol, bool proxyResolves) {
  switch (protocol) {
    case kSocks4:
      return proxyResolves ? "socks4a://" : "socks4://";
    case kSocks5:
      return proxyResolves ? "socks5h://" : "socks5://";
    case kHttp:
    case kHttps:
      break;
  }
  return "http://";
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

long proxyError(const Slot& slot) {
  long code = CURLPX_OK;
  curl_easy_getinfo(slot.easy.get(), CURLINFO_PROXY_ERROR, &code);
  return code;
}

// A SOCKS handshake that ended at its first step: nothing, or not this SOCKS version, came back.
bool socksNeverSpoke(long code) {
  return code == CURLPX_BAD_VERSION || code == CURLPX_RECV_CONNECT || code == CURLPX_SEND_CONNECT ||
         code == CURLPX_CLOSED;
}

CheckVerdict socksVerdict(long code) {
  switch (code) {
    case CURLPX_RECV_CONNECT:
    case CURLPX_SEND_CONNECT:
    case CURLPX_CLOSED:
      return CheckVerdict::refused;  // closed at the greeting
    case CURLPX_NO_AUTH:
    case CURLPX_USER_REJECTED:
    case CURLPX_REQUEST_FAILED:
    case CURLPX_LONG_USER:
    case CURLPX_LONG_PASSWD:
    case CURLPX_LONG_HOSTNAME:
    case CURLPX_REPLY_ADDRESS_TYPE_NOT_SUPPORTED:
    case CURLPX_REPLY_COMMAND_NOT_SUPPORTED:
    case CURLPX_REPLY_CONNECTION_REFUSED:
    case CURLPX_REPLY_GENERAL_SERVER_FAILURE:
    case CURLPX_REPLY_HOST_UNREACHABLE:
    case CURLPX_REPLY_NETWORK_UNREACHABLE:
    case CURLPX_REPLY_NOT_ALLOWED:
    case CURLPX_REPLY_TTL_EXPIRED:
    case CURLPX_REPLY_UNASSIGNED:
      return CheckVerdict::badStatus;  // the proxy said no: to our credentials or to the target
    case CURLPX_RESOLVE_HOST:
      return CheckVerdict::notChecked;  // resolving the target here failed
    default:
      return CheckVerdict::brokenReply;
  }
}

CheckVerdict classify(const Slot& slot, CURLcode result, const CheckKey& key, std::vector<AnswerField>& fields) {
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
    case CURLE_GOT_NOTHING:
      return CheckVerdict::refused;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
      return slot.received == 0 ? CheckVerdict::refused : CheckVerdict::brokenReply;
    case CURLE_PROXY:
      return socksVerdict(proxyError(slot));
    default:
      return CheckVerdict::brokenReply;
  }
  long status = 0;
  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
  if (status != 200) return CheckVerdict::badStatus;
  std::optional<std::vector<AnswerField>> answer = readCheckAnswer(slot.body, key);
  if (!answer || (*answer)[0].value != slot.token) return CheckVerdict::wrongAnswer;
  fields = std::move(*answer);
  return CheckVerdict::alive;
}

AttemptEnd endOf(const Slot& slot, CURLcode result, CheckVerdict verdict) {
  switch (verdict) {
    case CheckVerdict::alive:
      return AttemptEnd::worked;
    case CheckVerdict::notChecked:
      return AttemptEnd::local;
    case CheckVerdict::timedOut:
      return AttemptEnd::stopped;
    default:
      break;
  }
  if (result == CURLE_COULDNT_CONNECT) return AttemptEnd::stopped;  // nothing listens there
  if (slot.protocol & kHttpFamily) return slot.sawHttp ? AttemptEnd::spoke : AttemptEnd::otherProtocol;
  if (result == CURLE_PROXY && socksNeverSpoke(proxyError(slot))) return AttemptEnd::otherProtocol;
  return AttemptEnd::spoke;
}

std::uint32_t latencyMs(const Slot& slot) {
  curl_off_t micros = 0;
  curl_easy_getinfo(slot.easy.get(), CURLINFO_TOTAL_TIME_T, &micros);
  return static_cast<std::uint32_t>((micros + 500) / 1000);
}

}  // namespace

TransferCommon::TransferCommon(const CheckSettings& settings)
    : settings(settings),
      proxyResolves(checkUrlNamesHost(settings.checkUrl)),
      alwaysTunnels(settings.checkUrl.starts_with("https:")) {
  // No Proxy-Connection header (libcurl's own, for a plain HTTP proxy): a browser sends none, so a proxy
  // that passed it on would be graded by what we sent rather than by what it adds.
  headers.reset(curl_slist_append(nullptr, "Proxy-Connection:"));
  if (!headers) throw std::bad_alloc();
}

bool prepare(Slot& slot, const CheckCandidate* candidate, ProtocolBit protocol, const TransferCommon& common,
             std::string token) {
  const CheckSettings& settings = common.settings;
  if (!slot.easy) slot.easy.reset(curl_easy_init());
  CURL* easy = slot.easy.get();
  if (!easy) return false;
  curl_easy_reset(easy);
  slot.protocol = protocol;
  slot.token = std::move(token);
  slot.url = settings.checkUrl;
  slot.url += settings.checkUrl.find('?') == std::string::npos ? '?' : '&';
  slot.url += kCheckTokenKey;
  slot.url += '=';
  slot.url += slot.token;
  // An empty proxy is none at all: the checker's own request to the target.
  slot.proxy.clear();
  if (candidate) {
    slot.proxy =
        proxyScheme(protocol, common.proxyResolves) + candidate->address + ":" + std::to_string(candidate->port);
  }
  slot.body.clear();
  slot.received = 0;
  slot.cap = settings.maxReplyBytes;
  slot.overCap = false;
  slot.sawHttp = false;
  slot.localFailure = false;
  slot.socketError = 0;

  // Every option is one this libcurl knows: a refusal can only mean it ran out of memory.
  bool set = curl_easy_setopt(easy, CURLOPT_URL, slot.url.c_str()) == CURLE_OK;
  set = set && curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
  set = set && curl_easy_setopt(easy, CURLOPT_PROXY, slot.proxy.c_str()) == CURLE_OK;
  set = set && curl_easy_setopt(easy, CURLOPT_HTTPPROXYTUNNEL, protocol == kHttps && candidate ? 1L : 0L) == CURLE_OK;
  // Credentials as options of their own, never inside the proxy's URL, which could be logged.
  if (candidate && (!candidate->username.empty() || !candidate->password.empty())) {
    set = set && curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, candidate->username.c_str()) == CURLE_OK;
    set = set && curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, candidate->password.c_str()) == CURLE_OK;
  }
  set = set && curl_easy_setopt(easy, CURLOPT_HTTPHEADER, common.headers.get()) == CURLE_OK;
  // An empty list overrides no_proxy/NO_PROXY, which could otherwise send the check around the
  // candidate straight to the target; the explicit proxy already overrides http_proxy and all_proxy.
  set = set && curl_easy_setopt(easy, CURLOPT_NOPROXY, "") == CURLE_OK;
  set = set && curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L) == CURLE_OK;
  set = set && curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
  // libcurl caches every proxy address:port, numeric ones too, in a hash of a handful of buckets, and
  // prunes it by walking all of it at the end of each transfer. Kept for the default minute, it grew to
  // thousands of entries and those walks took most of the checking thread; kept for ever, every lookup
  // walked long chains. Not kept, it stays nearly empty, and a numeric address costs
  // nothing to look up again.
  set = set && curl_easy_setopt(easy, CURLOPT_DNS_CACHE_TIMEOUT, 0L) == CURLE_OK;
  set = set && curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(settings.timeoutMs)) == CURLE_OK;
  const long connectMs = static_cast<long>(std::min(settings.connectTimeoutMs, settings.timeoutMs));
  set = set && curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, connectMs) == CURLE_OK;
  // Every attempt is a different proxy or protocol: a kept connection would only hold a descriptor.
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

Attempt readAttempt(const Slot& slot, CURLcode result, const CheckKey& key) {
  Attempt attempt;
  attempt.protocol = slot.protocol;
  std::vector<AnswerField> fields;
  attempt.verdict = classify(slot, result, key, fields);
  attempt.end = endOf(slot, result, attempt.verdict);
  attempt.latencyMs = latencyMs(slot);
  if (!fields.empty())
    attempt.facts.assign(std::make_move_iterator(fields.begin() + 1), std::make_move_iterator(fields.end()));
  return attempt;
}

std::string localAddress(const Slot& slot) {
  char* address = nullptr;
  curl_easy_getinfo(slot.easy.get(), CURLINFO_LOCAL_IP, &address);
  return address ? std::string(address) : std::string();
}

}  // namespace check
