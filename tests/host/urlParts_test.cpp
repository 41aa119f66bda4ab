#include "web/urlParts.h"

#include <gtest/gtest.h>

namespace {

TEST(UrlHost, LowercasesAndDropsThePortUnlessKept) {
  EXPECT_EQ(urlHost("HTTP://Example.COM:8080/a"), "example.com");
  EXPECT_EQ(urlHost("HTTP://Example.COM:8080/a", true), "example.com:8080");
  EXPECT_EQ(urlHost("https://Example.com"), "example.com");
  EXPECT_EQ(urlHost("http://127.0.0.1:8088/mo.php?sxb=&tqsl=%32%30"), "127.0.0.1");
}

TEST(UrlHost, ReadsAnAddressWithoutSchemeAsHttp) {
  EXPECT_EQ(urlHost("example.com"), "example.com");
  EXPECT_EQ(urlHost("Example.com:81/x", true), "example.com:81");
  EXPECT_EQ(urlHost(""), "");
  // Any "http://" in the address counts as the scheme, even in the query.
  EXPECT_EQ(urlHost("example.com/?next=http://other.org/x"), "other.org");
}

TEST(UrlPort, ReadsThePortAfterTheHost) {
  EXPECT_EQ(urlPort("HTTP://Example.COM:8080/a"), 8080);
  EXPECT_EQ(urlPort("example.com:81"), 81);
  EXPECT_EQ(urlPort("http://a.com:８０８１/"), 8081);
  EXPECT_EQ(urlPort("http://a.com:12ab/"), 12);
  EXPECT_EQ(urlPort("http://a.com:/"), 0);
  EXPECT_EQ(urlPort("http://a.com:99999999999/"), 2147483647);
}

TEST(UrlPort, DefaultsTo443ForHttpsAnd80Otherwise) {
  EXPECT_EQ(urlPort("https://example.com/x"), 443);
  EXPECT_EQ(urlPort("HTTPS://example.com"), 443);
  EXPECT_EQ(urlPort("example.com"), 80);
  EXPECT_EQ(urlPort("http://example.com/a:b"), 80);
}

TEST(UrlPath, TakesEverythingFromTheFirstSlashAfterTheHost) {
  EXPECT_EQ(urlPath("http://Example.COM/Path/Q?A=B#F"), "/Path/Q?A=B#F");
  EXPECT_EQ(urlPath("http://a.com/a.com/x"), "/a.com/x");
  EXPECT_EQ(urlPath("https://a.com:8443/x?y=/z"), "/x?y=/z");
  EXPECT_EQ(urlPath("http://127.0.0.1:8088/mo.php?sxb=&ports[]2=%31"), "/mo.php?sxb=&ports[]2=%31");
  EXPECT_EQ(urlPath("a.com:81/x/y"), "/x/y");
}

// Host names that also occur inside the scheme are looked for after it, never in "http://".
TEST(UrlPath, ShortHostsAreNotFoundInsideTheScheme) {
  EXPECT_EQ(urlPath("http://h/x"), "/x");
  EXPECT_EQ(urlPath("https://s/x"), "/x");
  EXPECT_EQ(urlPath("http://tp/"), "/");
  EXPECT_EQ(urlPath("HTTP://P/Q"), "/Q");
  EXPECT_EQ(urlPath("http://t:8080/a"), "/a");
  EXPECT_EQ(urlPath("https://h/h/x"), "/h/x");
}

TEST(UrlPath, IsASlashWhenTheAddressEndsAfterTheHost) {
  EXPECT_EQ(urlPath("example.com"), "/");
  EXPECT_EQ(urlPath("http://example.com"), "/");
  EXPECT_EQ(urlPath("https://h"), "/");
  EXPECT_EQ(urlPath("http://p:81"), "/");
  EXPECT_EQ(urlPath(""), "/");
}

TEST(HeaderValue, TakesTheTextAfterTheFirstColonWithoutOuterBlanks) {
  EXPECT_EQ(headerValue("Location: http://x/y "), "http://x/y");
  EXPECT_EQ(headerValue("a:b:c"), "b:c");
  EXPECT_EQ(headerValue("User-Agent:　Foo　"), "Foo");
  EXPECT_EQ(headerValue("Location"), "");
  EXPECT_EQ(headerValue("Location:"), "");
}

}  // namespace
