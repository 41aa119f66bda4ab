#include "text/textBetween.h"

#include <gtest/gtest.h>

namespace {

TEST(TextBetween, CutsBetweenTheFirstStartMarkerAndTheFirstEndMarkerAfterIt) {
  EXPECT_EQ(textBetween("<h4>list</h4>", "<h4>", "</h4>"), "list");
  EXPECT_EQ(textBetween("[a[b]c]", "[", "]"), "a[b");
  EXPECT_EQ(textBetween("User-Agent: Foo\r\nAccept: */*\r\n", "User-Agent:", "\r\n"), " Foo");
  EXPECT_EQ(textBetween("<p></p>", "<p>", "</p>"), "");
}

TEST(TextBetween, IsEmptyWhenEitherMarkerIsMissing) {
  EXPECT_EQ(textBetween("abc", "x", "c"), "");
  EXPECT_EQ(textBetween("abc", "a", "x"), "");
  EXPECT_EQ(textBetween("", "a", "b"), "");
  // The end marker before the start marker does not count.
  EXPECT_EQ(textBetween("end ... start ...", "start", "end"), "");
  EXPECT_EQ(textBetween("abcS", "S", "c"), "");
}

TEST(TextBetween, OnlyTheFirstStartMarkerIsTried) {
  EXPECT_EQ(textBetween("S1 S2 E", "S", "E"), "1 S2 ");
  EXPECT_EQ(textBetween("Set-Cookie: a=1\r\nSet-Cookie: b=2;", "Set-Cookie:", ";"), " a=1\r\nSet-Cookie: b=2");
}

TEST(TextBetween, EmptyStartMarkerMeansTheBeginningAndEmptyEndMarkerGivesNothing) {
  EXPECT_EQ(textBetween("abc;def", "", ";"), "abc");
  EXPECT_EQ(textBetween("abc", "", "a"), "");
  EXPECT_EQ(textBetween("abc", "a", ""), "");
  EXPECT_EQ(textBetween("abc", "", ""), "");
}

TEST(TextBetween, QuoteWordInAMarkerStandsForADoubleQuote) {
  EXPECT_EQ(textBetween("<a href=\"x.htm\">", "href=#引号", "#引号"), "x.htm");
  EXPECT_EQ(textBetween("ss=\"STYLE30\">list</h4>", "ss=#引号STYLE30#引号>", "</h4>"), "list");
  // The text itself is taken as it stands.
  EXPECT_EQ(textBetween("#引号x#引号", "#引号", "#引号"), "");
  EXPECT_EQ(textBetween("#引号x#引号", "#", "#"), "引号x");
}

TEST(TextBetween, StartPositionAndIgnoreCaseApplyToTheMarkerSearches) {
  EXPECT_EQ(textBetween("[a][b]", "[", "]", 3), "b");
  EXPECT_EQ(textBetween("[a][b]", "[", "]", -3), "a");
  EXPECT_EQ(textBetween("<BR>x<br>", "<br>", "<BR>", 0, true), "x");
  EXPECT_EQ(textBetween("<BR>x<br>", "<br>", "<BR>"), "");
}

TEST(TextBetween, MarkersNeverMatchInsideAPair) {
  // 啊 is B0 A1 and “ is A1 B0: "啊啊" holds the bytes of “ on a second byte.
  EXPECT_EQ(textBetween("啊啊x“abc“", "“", "“"), "abc");
  EXPECT_EQ(textBetween("“x啊啊y", "“", "“"), "");
}

}  // namespace
