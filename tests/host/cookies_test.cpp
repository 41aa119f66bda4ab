#include "web/cookies.h"

#include <gtest/gtest.h>

namespace {

Text merged(Text cookies, Text newCookies) {
  return mergeCookies(cookies, newCookies);
}

TEST(MergeCookies, NewCookiesComeFirstAndReplaceOldOnesOfTheSameName) {
  Text cookies = "a=1;b=2";
  Text newCookies = "b=3";
  EXPECT_EQ(mergeCookies(cookies, newCookies), "b=3; a=1");
  EXPECT_EQ(cookies, "b=3; a=1");
  EXPECT_EQ(merged("", ""), "");
  EXPECT_EQ(merged("a=1", ""), "a=1");
  EXPECT_EQ(merged("", "a=1"), "a=1");
}

TEST(MergeCookies, RemovesBlanksFromBothTextsAndWritesThemBack) {
  Text cookies = "a = 1; b=2";
  Text newCookies = " c=3　";
  EXPECT_EQ(mergeCookies(cookies, newCookies), "c=3; a=1; b=2");
  EXPECT_EQ(newCookies, "c=3");
}

TEST(MergeCookies, DropsDeletedCookiesTogetherWithTheOldOnesOfThatName) {
  EXPECT_EQ(merged("a=1;b=2", "b=deleted"), "a=1");
  EXPECT_EQ(merged("a=deleted", ""), "");
  EXPECT_EQ(merged("a=1", "b=x=deleted"), "a=1");
  EXPECT_EQ(merged("a=1", "deleted"), "deleted; a=1");
}

TEST(MergeCookies, KeepsEachItemOnceAndTheFirstOldItemOfAName) {
  EXPECT_EQ(merged("", "c=1;c=1"), "c=1");
  EXPECT_EQ(merged("", "a=1;a=2"), "a=1; a=2");
  EXPECT_EQ(merged("a=1;a=2", ""), "a=1");
  EXPECT_EQ(merged("A=1", "a=2"), "a=2; A=1");
}

TEST(CookieName, IsTheTrimmedTextBeforeTheFirstEquals) {
  EXPECT_EQ(cookieName("a=1"), "a");
  EXPECT_EQ(cookieName(" a =1=2"), "a");
  EXPECT_EQ(cookieName("flag"), "flag");
  EXPECT_EQ(cookieName("=x"), "");
}

TEST(CookieLists, CompareNamesAndItemsByteForByte) {
  Array<Text> items{"A=1", "b=2"};
  EXPECT_TRUE(hasCookie(items, "b"));
  EXPECT_FALSE(hasCookie(items, "a"));
  EXPECT_FALSE(hasCookie(Array<Text>(), ""));
  EXPECT_EQ(itemIndex(items, "b=2"), 2);
  EXPECT_EQ(itemIndex(items, "a=1"), -1);
}

TEST(UniqueItems, LeavesOutLaterRepeats) {
  EXPECT_EQ(uniqueItems("a; b; a; c; b", "; "), "a; b; c");
  EXPECT_EQ(uniqueItems("a", "; "), "a");
  EXPECT_EQ(uniqueItems("", "; "), "");
  EXPECT_EQ(uniqueItems("x,,y,", ","), "x,,y");
}

}  // namespace
