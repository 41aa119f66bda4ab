#include "text/text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/fuzz/walk.h"

// GBK bytes of the characters used below (narrow literals are GBK at run time):
// 啊 B0 A1, “ A1 B0, 癆 B0 41 (second byte 'A'), 癮 B0 61 (second byte 'a'), 丂 81 40 (second byte '@').
// So "啊啊" holds the bytes of “ at offset 1, on a second byte.

namespace {

std::vector<std::string> listOf(const Array<Text>& array) {
  return std::vector<std::string>(array.begin(), array.end());
}
using Pieces = std::vector<std::string>;

TEST(Find, GivesTheOneBasedPositionFromStartOrMinusOne) {
  EXPECT_EQ(gbk::find("abcabc", "c"), 3);
  EXPECT_EQ(gbk::find("abcabc", "c", 4), 6);
  EXPECT_EQ(gbk::find("abcabc", "bc", 3), 5);
  EXPECT_EQ(gbk::find("abc", "x"), -1);
  EXPECT_EQ(gbk::find("abc", "abcd"), -1);
  EXPECT_EQ(gbk::find("", "a"), -1);
  // A start below 1 means the beginning; beyond the end nothing is found.
  EXPECT_EQ(gbk::find("abc", "a", -7), 1);
  EXPECT_EQ(gbk::find("abc", "c", 4), -1);
  // The empty search gives 1 while any text remains from the start.
  EXPECT_EQ(gbk::find("abc", "", 3), 1);
  EXPECT_EQ(gbk::find("abc", "", 4), -1);
  EXPECT_EQ(gbk::find("", ""), -1);
}

TEST(Find, NeverReportsAMatchStartingOnTheSecondByteOfAPair) {
  EXPECT_EQ(gbk::find("啊啊", "“"), -1);
  EXPECT_EQ(gbk::find("啊啊“", "“"), 5);
  EXPECT_EQ(gbk::find("癆", "A"), -1);
  EXPECT_EQ(gbk::find("癆A", "A"), 3);
  EXPECT_EQ(gbk::find("丂@", "@"), 3);
  EXPECT_EQ(gbk::find("中国", "国"), 3);
}

TEST(Find, ReadsCharactersFromTheStartPosition) {
  // Started on a second byte, the walk takes that byte as a character of its own.
  EXPECT_EQ(gbk::find("啊", "\xA1", 2), 2);
  EXPECT_EQ(gbk::find("x癆", "A", 3), 3);
  EXPECT_EQ(gbk::find("啊啊", "“", 2), 2);
}

TEST(Find, IgnoringCaseFoldsOneByteLettersButNeverSecondBytes) {
  EXPECT_EQ(gbk::find("x User-Agent: y", "user-agent:", 1, true), 3);
  EXPECT_EQ(gbk::find("x User-Agent: y", "user-agent:"), -1);
  EXPECT_EQ(gbk::find("ABC癆", "abc癆", 1, true), 1);
  EXPECT_EQ(gbk::find("癮", "癆", 1, true), -1);
  EXPECT_EQ(gbk::find("癮a", "A", 1, true), 3);
  EXPECT_EQ(gbk::find("a-1", "-1", 1, true), 2);
}

TEST(Find, SkipsLongRunsOfCandidatesOnSecondBytes) {
  // Every "““" below starts on a second byte except the one after 'x'.
  std::string text = "\xB0";
  for (int i = 0; i < 50000; ++i) text += "\xB1\xB0";
  EXPECT_EQ(gbk::find(text, "\xB1\xB0\xB1\xB0"), -1);
  EXPECT_EQ(gbk::find(text, "\xB1\xB0\xB1\xB0", 1, true), -1);
  text += "x\xB1\xB0\xB1\xB0";
  EXPECT_EQ(gbk::find(text, "\xB1\xB0\xB1\xB0"), static_cast<int>(text.size()) - 3);
  EXPECT_EQ(gbk::find(text, "\xB1\xB0"), static_cast<int>(text.size()) - 3);
  EXPECT_EQ(gbk::findLast(text, "\xB1\xB0"), static_cast<int>(text.size()) - 1);
}

TEST(Find, AgreesWithTheCharacterWalkOnRandomTexts) {
  // Bytes chosen to make pairs, second bytes equal to letters and '@', and case variants.
  const std::string alphabet = "aAbB@\x40\x41\x61\x81\xA1\xB0\xB1";
  std::mt19937 random(20240601);
  auto pick = [&](std::size_t maxLength) {
    std::string s(random() % (maxLength + 1), ' ');
    for (char& c : s) c = alphabet[random() % alphabet.size()];
    return s;
  };
  for (int round = 0; round < 30000; ++round) {
    std::string text = pick(24);
    std::string search = pick(4);
    if (round % 3 == 0 && !text.empty()) search = text.substr(random() % text.size(), 1 + random() % 4);
    int start = static_cast<int>(random() % (text.size() + 4)) - 1;
    bool ignoreCase = random() % 2;
    ASSERT_EQ(gbk::find(text, search, start, ignoreCase), walk::find(text, search, start, ignoreCase))
        << testing::PrintToString(text) << " / " << testing::PrintToString(search) << " from " << start;
    ASSERT_EQ(gbk::findLast(text, search), walk::findLast(text, search))
        << testing::PrintToString(text) << " / " << testing::PrintToString(search);
  }
}

TEST(FindLast, GivesTheLastOccurrenceOnACharacterBoundary) {
  EXPECT_EQ(gbk::findLast("a:b:c", ":"), 4);
  EXPECT_EQ(gbk::findLast("aaaa", "aa"), 3);
  EXPECT_EQ(gbk::findLast("abc", ":"), -1);
  EXPECT_EQ(gbk::findLast("“啊啊", "“"), 1);
  EXPECT_EQ(gbk::findLast("", ":"), -1);
}

TEST(Slices, CountBytesAndClampToTheText) {
  EXPECT_EQ(gbk::length("提取"), 4);
  EXPECT_EQ(gbk::left("abc", 2), "ab");
  EXPECT_EQ(gbk::left("abc", 9), "abc");
  EXPECT_EQ(gbk::left("abc", 0), "");
  EXPECT_EQ(gbk::left("abc", -1), "");
  EXPECT_EQ(gbk::right("abc", 2), "bc");
  EXPECT_EQ(gbk::right("abc", 9), "abc");
  EXPECT_EQ(gbk::right("abc", -2), "");
  EXPECT_EQ(gbk::mid("abcdef", 2, 3), "bcd");
  EXPECT_EQ(gbk::mid("abc", 3, 5), "c");
  EXPECT_EQ(gbk::mid("abc", 0, 2), "");
  EXPECT_EQ(gbk::mid("abc", 4, 1), "");
  EXPECT_EQ(gbk::mid("abc", 1, 0), "");
}

TEST(Blanks, TrimRemovesBothKindsOfBlankAtTheEndsOnly) {
  EXPECT_EQ(gbk::trim("  a b  "), "a b");
  EXPECT_EQ(gbk::trim("　a　"), "a");
  EXPECT_EQ(gbk::trim(" 　 a 　b 　 "), "a 　b");
  EXPECT_EQ(gbk::trim(" 　 "), "");
  EXPECT_EQ(gbk::trim(""), "");
  EXPECT_EQ(gbk::trim("\ta\r\n"), "\ta\r\n");
}

TEST(Blanks, BytesA1A1AcrossTwoCharactersAreNoBlank) {
  // 啊 ends in A1, so with another A1 after it the text ends in A1 A1 without a full-width space.
  EXPECT_EQ(gbk::trim("x啊\xA1"), "x啊\xA1");
  EXPECT_EQ(gbk::removeBlanks("x啊\xA1"), "x啊\xA1");
  EXPECT_EQ(gbk::trim("啊\xA1\xA1"), "啊");
  EXPECT_EQ(gbk::removeBlanks("啊　啊"), "啊啊");
}

TEST(Blanks, RemoveBlanksTakesEveryBlankAnywhere) {
  EXPECT_EQ(gbk::removeBlanks(" a b　c 　"), "abc");
  EXPECT_EQ(gbk::removeBlanks("a = 1; b=2"), "a=1;b=2");
  EXPECT_EQ(gbk::removeBlanks("\ta"), "\ta");
}

TEST(Lowercase, FoldsAsciiLettersAndLeavesPairsAlone) {
  EXPECT_EQ(gbk::lowercase("HTTP://Example.COM/A_Z"), "http://example.com/a_z");
  EXPECT_EQ(gbk::lowercase("癆A"), "癆a");
  EXPECT_EQ(gbk::lowercase("提取"), "提取");
}

TEST(Replace, ReplacesLeftToRightIgnoringCaseUnlessAsked) {
  EXPECT_EQ(gbk::replace("aXbxc", "x", "-"), "a-b-c");
  EXPECT_EQ(gbk::replace("aXbxc", "x", "-", 1, -1, true), "aXb-c");
  EXPECT_EQ(gbk::replace("a,b,c", ","), "abc");
  EXPECT_EQ(gbk::replace("aaaa", "aa", "b"), "bb");
  EXPECT_EQ(gbk::replace("aaa", "a", "aa"), "aaaaaa");
}

TEST(Replace, HonoursStartAndCount) {
  EXPECT_EQ(gbk::replace("x.x.x", "x", "y", 2), "x.y.y");
  EXPECT_EQ(gbk::replace("x.x.x", "x", "y", 1, 2), "y.y.x");
  EXPECT_EQ(gbk::replace("x.x.x", "x", "y", 1, 0), "x.x.x");
  EXPECT_EQ(gbk::replace("x.x.x", "x", "y", 9), "x.x.x");
  EXPECT_EQ(gbk::replace("x.x", "", "y"), "x.x");
}

TEST(Replace, LeavesBytesInsidePairsAlone) {
  EXPECT_EQ(gbk::replace("啊啊“", "“", "\""), "啊啊\"");
  EXPECT_EQ(gbk::replace("癆a", "a", "b"), "癆b");
}

TEST(Split, GivesPiecesInOrderWithTheEmptyPieceRules) {
  EXPECT_EQ(listOf(gbk::split("a,b")), (Pieces{"a", "b"}));
  EXPECT_EQ(listOf(gbk::split("a,,b")), (Pieces{"a", "", "b"}));
  EXPECT_EQ(listOf(gbk::split("a,")), (Pieces{"a"}));
  EXPECT_EQ(listOf(gbk::split(",a")), (Pieces{"", "a"}));
  EXPECT_EQ(listOf(gbk::split(",")), (Pieces{""}));
  EXPECT_EQ(listOf(gbk::split(",,")), (Pieces{"", ""}));
  EXPECT_EQ(listOf(gbk::split("<BR>1.2.3.4:80<BR><BR>5.6.7.8:81<BR>", "<BR>")),
            (Pieces{"", "1.2.3.4:80", "", "5.6.7.8:81"}));
}

TEST(Split, EmptyTextGivesNothingAndEmptySeparatorTheWholeText) {
  EXPECT_TRUE(gbk::split("").empty());
  EXPECT_TRUE(gbk::split("", "").empty());
  EXPECT_EQ(listOf(gbk::split("a,b", "")), (Pieces{"a,b"}));
}

TEST(Split, StopsAfterMaxCountPiecesAndDropsTheRest) {
  EXPECT_EQ(listOf(gbk::split("a,b,c", ",", 2)), (Pieces{"a", "b"}));
  EXPECT_EQ(listOf(gbk::split("a,b,c", ",", 3)), (Pieces{"a", "b", "c"}));
  EXPECT_EQ(listOf(gbk::split("a,b,c", ",", 9)), (Pieces{"a", "b", "c"}));
  EXPECT_EQ(listOf(gbk::split("a,b,c", ",", 1)), (Pieces{"a"}));
  EXPECT_TRUE(gbk::split("a,b,c", ",", 0).empty());
  EXPECT_TRUE(gbk::split("a,b,c", ",", -2).empty());
}

TEST(Split, MatchesTheSeparatorExactlyAndNeverInsideAPair) {
  EXPECT_EQ(listOf(gbk::split("a<BR>b<br>c", "<BR>")), (Pieces{"a", "b<br>c"}));
  EXPECT_EQ(listOf(gbk::split("啊啊“x", "“")), (Pieces{"啊啊", "x"}));
  EXPECT_EQ(listOf(gbk::split("丂@x", "@")), (Pieces{"丂", "x"}));
}

TEST(Split, HeaderLinesEndingInAnEmptyLineGiveOneEmptyPiece) {
  Array<Text> lines = gbk::split("HTTP/1.1 200 OK\r\nSet-Cookie: a=1\r\n\r\n", "\r\n");
  ASSERT_EQ(lines.count(), 3);
  EXPECT_EQ(lines[1], "HTTP/1.1 200 OK");
  EXPECT_EQ(lines[2], "Set-Cookie: a=1");
  EXPECT_EQ(lines[3], "");
}

TEST(BlankText, IsThatManySpaces) {
  EXPECT_EQ(gbk::blankText(3), "   ");
  EXPECT_EQ(gbk::blankText(0), "");
  EXPECT_EQ(gbk::blankText(-4), "");
}

}  // namespace
