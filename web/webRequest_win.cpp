#include "web/webRequest.h"

#include <windows.h>
#include <wininet.h>

#include <array>

#include "web/cookies.h"
#include "web/requestHeaders.h"
#include "web/urlParts.h"
#include "win32/declared.h"

namespace {
constexpr DWORD kReadSize = 1024;
constexpr DWORD kHeaderBufferSize = 5000;
constexpr DWORD kRawHeadersCrlf = 22;  // HTTP_QUERY_RAW_HEADERS_CRLF
// The exchange runs on the GUI thread, so every wait in it must end: WinINet's defaults may be
// endless (Wine's are: a server that accepts and never answers holds the window for good).
// 30 s per wait is far beyond what the service needs for its largest page, yet short enough that
// the user gets the window back; a failed wait ends the exchange like any failed read.
constexpr DWORD kWaitLimitMs = 30000;

// Closes one WinINet handle when its scope ends; declared in open order, so closed in reverse:
// request, then connection, then the Internet handle.
class InternetHandle {
 public:
  explicit InternetHandle(HINTERNET handle) : handle_(handle) {}
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
  ~InternetHandle() {
    if (handle_) dll::InternetCloseHandle(handle_);
  }
  explicit operator bool() const { return handle_ != nullptr; }
  HINTERNET get() const { return handle_; }

 private:
  HINTERNET handle_;
};

HINTERNET openInternet(const Text& agent, const std::optional<Text>& proxy) {
  if (proxy) {
    Text proxyText = "http=" + *proxy;
    return dll::InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_PROXY, proxyText.c_str(), "", 0);
  }
  return dll::InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, "", "", 0);
}

void sendRequest(HINTERNET request, const Text& headers, const WebRequestOptions& options) {
  auto headerLength = static_cast<DWORD>(headers.size());
  if (options.method == 0) {
    dll::HttpSendRequestA(request, headers.c_str(), headerLength, nullptr, 0);
    return;
  }
  ByteSet localBody;
  ByteSet& body = options.postBytes ? *options.postBytes : localBody;
  if (body.empty()) body = toBytes(options.postText);
  // The send's result is not examined: whatever arrives is read below.
  dll::HttpSendRequestA(request, headers.c_str(), headerLength, body.empty() ? nullptr : body.data(),
                        static_cast<DWORD>(body.size()));
}

ByteSet readBody(HINTERNET request) {
  ByteSet body;
  for (;;) {
    std::array<std::uint8_t, kReadSize> chunk{};  // a fresh zero-filled buffer for every read
    DWORD read = 0;
    dll::InternetReadFile(request, chunk.data(), kReadSize, &read);
    if (read == 0) break;  // end of body, or a failed read
    body.insert(body.end(), chunk.begin(), chunk.begin() + read);
  }
  return body;
}

// Windows hands the limits down from the Internet handle to the connection and the request; Wine
// takes the send and receive limits only from the request itself. Both get them.
void boundWaits(HINTERNET handle) {
  for (DWORD option :
       {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT}) {
    DWORD limit = kWaitLimitMs;
    dll::InternetSetOptionA(handle, option, &limit, sizeof limit);
  }
}

Text queryRawHeaders(HINTERNET request) {
  // Pre-filled with blanks: a block that does not fit leaves them standing.
  Text buffer(kHeaderBufferSize, ' ');
  DWORD length = kHeaderBufferSize;
  dll::HttpQueryInfoA(request, kRawHeadersCrlf, buffer.data(), &length, nullptr);
  return toText(reinterpret_cast<const std::uint8_t*>(buffer.data()), buffer.size());
}
}  // namespace

ByteSet webRequest(std::string_view url, const WebRequestOptions& options) {
  const char* verb = options.method == 1 ? "POST" : "GET";
  Text localHeaders;
  Text& headers = options.headers ? *options.headers : localHeaders;

  InternetHandle internet(openInternet(userAgentFor(headers), options.proxy));
  if (!internet) return {};
  boundWaits(internet.get());
  Text host = urlHost(url);
  InternetHandle connection(dll::InternetConnectA(
      internet.get(), host.c_str(), static_cast<INTERNET_PORT>(urlPort(url)), "", "", INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return {};
  Text path = urlPath(url);
  DWORD flags = requestFlags(url, options.cookies != nullptr, options.noRedirect);
  InternetHandle request(
      dll::HttpOpenRequestA(connection.get(), verb, path.c_str(), "HTTP/1.1", "", nullptr, flags, 0));
  if (!request) return {};
  boundWaits(request.get());

  appendDefaultHeaders(headers, url, options.cookies ? *options.cookies : Text());
  sendRequest(request.get(), headers, options);
  ByteSet body = readBody(request.get());
  Text rawHeaders = queryRawHeaders(request.get());

  ReplyHeaderScan scan = scanReplyHeaders(rawHeaders);
  Text localCookies;
  Text& returnedCookies = options.returnedCookies ? *options.returnedCookies : localCookies;
  returnedCookies = scan.cookies;
  if (options.cookies) mergeCookies(*options.cookies, returnedCookies);
  if (options.redirectAddress) *options.redirectAddress = scan.location.empty() ? rawHeaders : scan.location;
  if (options.responseHeaders) *options.responseHeaders = rawHeaders;
  return body;
}

Text webGetText(std::string_view url) {
  return toText(webRequest(url));
}
