// How the web request routine builds its request and reads the reply's header block.
#include <gtest/gtest.h>

#include "web/requestHeaders.h"

namespace {

TEST(UserAgent, DefaultsWhenTheHeadersNameNone) {
  EXPECT_EQ(userAgentFor(""), kDefaultUserAgent);
  EXPECT_EQ(userAgentFor("Accept: */*"), kDefaultUserAgent);
}

TEST(UserAgent, TakesTheLineValueBetweenItsNameAndCrLf) {
  EXPECT_EQ(userAgentFor("Accept: */*\r\nUser-Agent:  Probe/1.0 \r\nX: y"), "Probe/1.0");
}

TEST(UserAgent, LastLineWithoutCrLfFallsBackToTheTextAfterTheFirstColon) {
  EXPECT_EQ(userAgentFor("User-Agent: Probe/2.0"), "Probe/2.0");
}

TEST(UserAgent, OtherLetterCaseFindsTheLineButTakesEverythingAfterTheFirstColon) {
  EXPECT_EQ(userAgentFor("user-agent: Probe/3.0\r\nX-Other: 1"), "Probe/3.0\r\nX-Other: 1");
}

TEST(DefaultHeaders, EmptyHeadersGetTheFourDefaultsWithoutLeadingCrLf) {
  Text headers;
  appendDefaultHeaders(headers, "http://h/p?q=%31", "");
  EXPECT_EQ(headers,
            "Referer: http://h/p?q=%31\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
            "Content-Type: application/x-www-form-urlencoded");
}

TEST(DefaultHeaders, NamesAlreadyPresentAreNotAddedTwice) {
  Text headers = "Accept: text/html\r\nReferer: x";
  appendDefaultHeaders(headers, "http://h/", "");
  EXPECT_EQ(headers,
            "Accept: text/html\r\nReferer: x\r\nAccept-Language: zh-cn\r\n"
            "Content-Type: application/x-www-form-urlencoded");
}

TEST(DefaultHeaders, NameSearchRespectsLetterCase) {
  Text headers = "accept: text/html";
  appendDefaultHeaders(headers, "u", "");
  EXPECT_NE(headers.find("\r\nAccept: */*"), Text::npos);
  EXPECT_EQ(headers.find("accept: text/html\r\nReferer: u"), 0u);
}

TEST(DefaultHeaders, CookiesAreAlwaysSentEvenBesideACookieLine) {
  Text headers = "Cookie: old=1";
  appendDefaultHeaders(headers, "u", "a=1; b=2");
  EXPECT_EQ(headers.substr(headers.size() - 18), "\r\nCookie: a=1; b=2");
}

TEST(RequestFlags, ChoosesSecureOrHttpsRedirectIgnoreByScheme) {
  constexpr std::uint32_t base = 0x80000000u | 0x10u;
  EXPECT_EQ(requestFlags("http://h/", false, false), base | 0x4000u);
  EXPECT_EQ(requestFlags("HTTPS://h/", false, false), base | 0x800000u);
  EXPECT_EQ(requestFlags("h/", true, true), base | 0x80000u | 0x200000u | 0x4000u);
}

TEST(ReplyHeaders, JoinsTheCookiesTheReplySet) {
  ReplyHeaderScan scan = scanReplyHeaders(
      "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nContent-Type: text/html\r\nSet-Cookie:b=2;HttpOnly\r\n\r\n");
  EXPECT_EQ(scan.cookies, "a=1; b=2");
  EXPECT_EQ(scan.location, "");
}

TEST(ReplyHeaders, CookieLineWithoutSemicolonGivesAnEmptyPiece) {
  EXPECT_EQ(scanReplyHeaders("HTTP/1.1 200 OK\r\nSet-Cookie: a=1\r\n\r\n").cookies, "");
  EXPECT_EQ(scanReplyHeaders("Set-Cookie: a=1\r\nSet-Cookie: b=2; x\r\n").cookies, "; b=2");
}

TEST(ReplyHeaders, TheLastLocationLineWins) {
  ReplyHeaderScan scan =
      scanReplyHeaders("HTTP/1.1 302 Found\r\nLocation: http://a/\r\nX-Location: http://b/x \r\n\r\n");
  EXPECT_EQ(scan.location, "http://b/x");
}

}  // namespace
