#include "web/urlEncode.h"

#include <gtest/gtest.h>

namespace {

TEST(UrlEncode, EmptyTextStaysEmptyWithAnyOptions) {
  EXPECT_EQ(urlEncode(""), "");
  EXPECT_EQ(urlEncode("", true), "");
  EXPECT_EQ(urlEncode("", false, true), "");
  EXPECT_EQ(urlEncode("", true, true), "");
}

TEST(UrlEncode, WithoutOptionsEncodesEveryByteInUpperCaseHex) {
  EXPECT_EQ(urlEncode("20"), "%32%30");
  EXPECT_EQ(urlEncode("提  取"), "%CC%E1%20%20%C8%A1");
  EXPECT_EQ(urlEncode("电信"), "%B5%E7%D0%C5");
  EXPECT_EQ(urlEncode(" 全部运营商"), "%20%C8%AB%B2%BF%D4%CB%D3%AA%C9%CC");
  EXPECT_EQ(urlEncode("\t\n"), "%09%0A");
  EXPECT_EQ(urlEncode("\xFF"), "%FF");
}

TEST(UrlEncode, KeepSafeKeepsLettersDigitsDashAndDotOnly) {
  EXPECT_EQ(urlEncode("20", true), "20");
  EXPECT_EQ(urlEncode("a-b.c/d e", true), "a-b.c%2Fd%20e");
  EXPECT_EQ(urlEncode("AZaz09-.", true), "AZaz09-.");
  EXPECT_EQ(urlEncode("_~*+,:@[`{", true), "%5F%7E%2A%2B%2C%3A%40%5B%60%7B");
  EXPECT_EQ(urlEncode("提", true), "%CC%E1");
}

TEST(UrlEncode, AsUtf8EncodesTheUtf8Bytes) {
  EXPECT_EQ(urlEncode("电信", false, true), "%E7%94%B5%E4%BF%A1");
  EXPECT_EQ(urlEncode("电信", true, true), "%E7%94%B5%E4%BF%A1");
  EXPECT_EQ(urlEncode("a电", true, true), "a%E7%94%B5");
}

}  // namespace
