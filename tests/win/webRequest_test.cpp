// The web request routine against a scripted loopback server: what it sends, what it hands back.
#include "support/scriptedServer.h"
// (winsock2 before windows.h)
#include <gtest/gtest.h>

#include "support/rowSpy.h"
#include "web/requestHeaders.h"
#include "web/webRequest.h"
#include "win32/declared.h"

namespace {

std::string reply(const std::string& headers, const std::string& body) {
  return "HTTP/1.1 200 OK\r\n" + headers + "Content-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

TEST(WebRequest, GetsTheBodyWithTheDefaultHeaders) {
  ScriptedServer server(reply("Content-Type: text/html\r\n", "hello"));
  ASSERT_TRUE(server.listening());
  std::string url = server.url("/mo.php?sxb=&tqsl=%32%30&ports[]2=%31");
  EXPECT_EQ(webGetText(url), "hello");

  std::string request = server.lastRequest();
  EXPECT_EQ(request.rfind("GET /mo.php?sxb=&tqsl=%32%30&ports[]2=%31 HTTP/1.1\r\n", 0), 0u) << request;
  EXPECT_NE(request.find("\r\nReferer: " + url + "\r\n"), std::string::npos) << request;
  EXPECT_NE(request.find("\r\nAccept: */*\r\n"), std::string::npos);
  EXPECT_NE(request.find("\r\nAccept-Language: zh-cn\r\n"), std::string::npos);
  EXPECT_NE(request.find("\r\nContent-Type: application/x-www-form-urlencoded\r\n"), std::string::npos);
  EXPECT_NE(request.find(std::string("\r\nUser-Agent: ") + kDefaultUserAgent + "\r\n"), std::string::npos);
  EXPECT_NE(request.find("\r\nHost: 127.0.0.1:" + std::to_string(server.port())), std::string::npos);
}

TEST(WebRequest, BodyArrivesWholeAndItsTextEndsAtTheFirstZeroByte) {
  std::string body;
  for (int i = 0; body.size() < 300000; ++i) body += std::to_string(i) + "<BR>";
  body += std::string("\0after", 6);
  ScriptedServer server(reply("", body));
  ByteSet received = webRequest(server.url());
  EXPECT_EQ(std::string(received.begin(), received.end()), body) << "the byte set keeps every byte";
  EXPECT_EQ(webGetText(server.url()), body.substr(0, body.size() - 6));
}

TEST(WebRequest, ReturnsTheCookiesTheReplySetAndNoneForALineWithoutSemicolon) {
  ScriptedServer server(reply("Set-Cookie: a=1; path=/\r\nSet-Cookie: b=2; HttpOnly\r\n", "x"));
  Text cookies;
  webRequest(server.url(), {.returnedCookies = &cookies});
  EXPECT_EQ(cookies, "a=1; b=2");

  server.setReply(reply("Set-Cookie: a=1\r\n", "x"));
  webRequest(server.url(), {.returnedCookies = &cookies});
  EXPECT_EQ(cookies, "");
}

TEST(WebRequest, GivenCookiesAreSentAndMergedWithTheReplysOwn) {
  ScriptedServer server(reply("Set-Cookie: b=3; path=/\r\n", "x"));
  Text cookies = "a=1;b=2";
  webRequest(server.url(), {.cookies = &cookies});
  EXPECT_NE(server.lastRequest().find("\r\nCookie: a=1;b=2\r\n"), std::string::npos) << server.lastRequest();
  EXPECT_EQ(cookies, "b=3; a=1");
}

TEST(WebRequest, RedirectAddressIsTheLocationOrElseTheWholeHeaderBlock) {
  ScriptedServer moved("HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:1/next\r\nContent-Length: 0\r\n\r\n");
  Text redirect, headers;
  webRequest(moved.url(), {.redirectAddress = &redirect, .noRedirect = true, .responseHeaders = &headers});
  EXPECT_EQ(redirect, "http://127.0.0.1:1/next");

  ScriptedServer plain(reply("X-Test: 1\r\n", "x"));
  webRequest(plain.url(), {.redirectAddress = &redirect, .responseHeaders = &headers});
  EXPECT_EQ(headers.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << headers;
  EXPECT_NE(headers.find("X-Test: 1\r\n"), Text::npos);
  EXPECT_EQ(redirect, headers);
}

TEST(WebRequest, MethodOnePostsTheTextBodyAndHandsBackItsBytesMethodTwoSendsItWithGet) {
  ScriptedServer server(reply("", "ok"));
  ByteSet body;
  webRequest(server.url("/form"), {.method = 1, .postText = "a=%31&b=2", .postBytes = &body});
  EXPECT_EQ(server.lastRequest().rfind("POST /form HTTP/1.1\r\n", 0), 0u);
  EXPECT_EQ(server.lastRequest().substr(server.lastRequest().size() - 9), "a=%31&b=2");
  EXPECT_EQ(body, toBytes("a=%31&b=2"));

  webRequest(server.url("/x"), {.method = 2, .postText = "k=v"});
  EXPECT_EQ(server.lastRequest().rfind("GET /x HTTP/1.1\r\n", 0), 0u);
  EXPECT_EQ(server.lastRequest().substr(server.lastRequest().size() - 3), "k=v");
}

TEST(WebRequest, CallerHeadersAreExtendedInPlace) {
  ScriptedServer server(reply("", "ok"));
  Text headers = "User-Agent: Probe/1.0\r\nAccept: text/plain";
  webRequest(server.url("/h"), {.headers = &headers});
  EXPECT_EQ(headers.rfind("User-Agent: Probe/1.0\r\nAccept: text/plain\r\nReferer: ", 0), 0u) << headers;
  EXPECT_NE(server.lastRequest().find("User-Agent: Probe/1.0\r\n"), std::string::npos);
  EXPECT_EQ(server.lastRequest().find("Accept: */*"), std::string::npos);
}

TEST(WebRequest, RefusedConnectionGivesNoBodyAndBlankReplyHeaders) {
  std::string url = "http://127.0.0.1:" + std::to_string(closedLoopbackPort()) + "/mo.php";
  Text headers, redirect;
  ByteSet body = webRequest(url, {.redirectAddress = &redirect, .responseHeaders = &headers});
  EXPECT_TRUE(body.empty());
  // Whatever the failed header query leaves (the blanks, or an empty block) stands as the headers.
  EXPECT_EQ(headers.find("HTTP/"), Text::npos);
  EXPECT_EQ(redirect, headers);
  EXPECT_EQ(webGetText(url), "");
}

// What the routine opened WinINet with.
struct OpenedWith {
  DWORD access = 0;
  std::string proxy;
};

OpenedWith openFor(std::string_view url, const std::optional<Text>& proxy, std::string* body = nullptr) {
  RowSpy<dll::InternetOpenA> open;
  OpenedWith seen;
  open.onCall = [&](LPCSTR, DWORD access, LPCSTR proxyText, LPCSTR, DWORD) {
    seen.access = access;
    seen.proxy = proxyText ? proxyText : "(none)";
  };
  ByteSet received = webRequest(url, {.proxy = proxy});
  if (body) *body = toText(received);
  return seen;
}

// The target has nothing listening: only through the proxy does a reply come.
TEST(WebRequest, AGivenProxyIsUsedAsHttpEqualsProxyAndAnEmptyOneStillCounts) {
  ScriptedServer proxy(reply("", "through the proxy"));
  ASSERT_TRUE(proxy.listening());
  std::string target = "http://127.0.0.1:" + std::to_string(closedLoopbackPort()) + "/mo.php?a=1";
  std::string proxyAddress = "127.0.0.1:" + std::to_string(proxy.port());
  std::string body;
  OpenedWith opened = openFor(target, proxyAddress, &body);
  EXPECT_EQ(opened.access, static_cast<DWORD>(INTERNET_OPEN_TYPE_PROXY));
  EXPECT_EQ(opened.proxy, "http=" + proxyAddress);
  EXPECT_EQ(body, "through the proxy");
  EXPECT_EQ(proxy.lastRequest().rfind("GET " + target + " HTTP/1.1\r\n", 0), 0u) << proxy.lastRequest();

  opened = openFor(target, Text());
  EXPECT_EQ(opened.access, static_cast<DWORD>(INTERNET_OPEN_TYPE_PROXY));
  EXPECT_EQ(opened.proxy, "http=");

  opened = openFor(target, std::nullopt);
  EXPECT_EQ(opened.access, static_cast<DWORD>(INTERNET_OPEN_TYPE_DIRECT));
}

// No host: the connection is refused before anything is sent.
TEST(WebRequest, ARequestThatCannotBeOpenedLeavesEveryCallerVariableAsItWas) {
  Text cookies = "a=1", returned = "r=2", headers = "X-Mine: 1", redirect = "before", replyHeaders = "before";
  ByteSet postBytes;
  ByteSet body = webRequest("http:///mo.php", {.method = 1,
                                               .postText = "k=v",
                                               .cookies = &cookies,
                                               .returnedCookies = &returned,
                                               .headers = &headers,
                                               .redirectAddress = &redirect,
                                               .postBytes = &postBytes,
                                               .responseHeaders = &replyHeaders});
  EXPECT_TRUE(body.empty());
  EXPECT_EQ(cookies, "a=1");
  EXPECT_EQ(returned, "r=2");
  EXPECT_EQ(headers, "X-Mine: 1") << "no default header was appended";
  EXPECT_EQ(redirect, "before");
  EXPECT_EQ(replyHeaders, "before");
  EXPECT_TRUE(postBytes.empty());
}

}  // namespace
