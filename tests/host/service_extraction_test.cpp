// The extraction query and its answer: decoding what the program sends, choosing the entries, and the
// page the program cuts its list from.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "protocol/listMarkers.h"
#include "service/serve/extractRequest.h"
#include "service/serve/listPage.h"
#include "service/serve/percentDecode.h"
#include "service/serve/routes.h"
#include "service_testing.h"

namespace {

// The query the program sends with its initial field contents.
constexpr char kProgramDefaultQuery[] =
    "sxb=&tqsl=%32%30&ports[]2=%31%38%31%38%36&ktip=%31%31&sxa=&submit=%CC%E1%20%20%C8%A1";

TEST(ServicePercentDecode, TurnsEscapesIntoBytesAndPlusIntoSpaceAndRefusesAPercentWithoutTwoHexDigits) {
  const std::pair<std::string_view, std::optional<Text>> cases[] = {
      {"%CC%E1%20%20%C8%A1", "提  取"}, {"%cc%e1++%C8%A1", "提  取"}, {"%09%00x", Text("\t\0x", 3)},
      {"ports[]2电信", "ports[]2电信"}, {"%", std::nullopt},          {"%4", std::nullopt},
      {"abc%", std::nullopt},           {"%G1", std::nullopt},        {"%4G", std::nullopt},
      {"%%41", std::nullopt},           {"% 41", std::nullopt},
  };
  for (const auto& [encoded, decoded] : cases) EXPECT_EQ(percentDecode(encoded), decoded) << encoded;
}

TEST(ServiceExtractQuery, ReadsWhatTheProgramAndABrowserSend) {
  struct Read {
    std::string query;
    int count;
    std::optional<std::uint16_t> port;
    Text prefix = "";
    Text region = "";
    Text carrier = "";
    bool capped = false;
  };
  std::string longest = "tqsl=1&ktip=";
  longest.append(kMaxQueryBytes - longest.size(), '1');
  const Read cases[] = {
      {kProgramDefaultQuery, 20, 18186, "11"},
      {"submit=%CC%E1%20%20%C8%A1&sxa=&ktip=%31%31&ports[]2=%31%38%31%38%36&tqsl=%32%30&sxb=", 20, 18186, "11"},
      {"sxb=&tqsl=20&ports%5B%5D2=18186&ktip=11&sxa=&submit=%CC%E1++%C8%A1", 20, 18186, "11"},
      {"sxb=%B9%E3%B6%AB&tqsl=%35&sxa=%B5%E7%D0%C5", 5, std::nullopt, "", "广东", "电信"},
      {"&&tqsl=%20%32%30%09&&ports[]2=+8080+&submit&", 20, 8080},  // empty pairs, trimmed values
      {"", 0, std::nullopt},                                       // the bare page asks for nothing
      {"tqsl=0", 0, std::nullopt},
      {"tqsl=007&ports[]2=018186", 7, 18186},
      {"tqsl=1&ports[]2=65535", 1, 65535},
      {"tqsl=10000", kMaxCount, std::nullopt},
      {"tqsl=10001", kMaxCount, std::nullopt, "", "", "", true},
      {"tqsl=99999999999999999999999999", kMaxCount, std::nullopt, "", "", "", true},
      {longest, 1, std::nullopt, std::string(kMaxQueryBytes - 12, '1')},
  };
  for (const Read& read : cases) {
    SCOPED_TRACE(read.query.substr(0, 60));
    ParsedQuery parsed = parseExtractQuery(read.query);
    ASSERT_EQ(parsed.problem, QueryProblem::kNone);
    EXPECT_EQ(parsed.request.count, read.count);
    EXPECT_EQ(parsed.request.countCapped, read.capped);
    EXPECT_EQ(parsed.request.port, read.port);
    EXPECT_EQ(parsed.request.addressPrefix, read.prefix);
    EXPECT_EQ(parsed.request.region, read.region);
    EXPECT_EQ(parsed.request.carrier, read.carrier);
  }
}

TEST(ServiceExtractQuery, NamesTheProblemAndTheKeyOfEveryMalformedQuery) {
  struct Refused {
    std::string query;
    QueryProblem problem;
    Text key;
  };
  std::vector<Refused> cases = {
      {"tqsl=%32%30&ktip=%3", QueryProblem::kMalformedEscape, "ktip"},
      {"tqsl=1&ports%5B%5=1", QueryProblem::kMalformedEscape, "ports%5B%5"},
      {"tqsl=1&ports[]=80", QueryProblem::kUnknownKey, "ports[]"},
      {"TQSL=1", QueryProblem::kUnknownKey, "TQSL"},
      {"tqsl=1&sxa=&tqsl=2", QueryProblem::kDuplicateKey, "tqsl"},
      {"tqsl=1&ports[]2=1&ports%5B%5D2=1", QueryProblem::kDuplicateKey, "ports[]2"},
      {"tqsl=1&ktip=" + std::string(kMaxQueryBytes - 11, '1'), QueryProblem::kTooLong, ""},
  };
  for (std::string count : {"sxb=", "tqsl=", "tqsl=%20", "tqsl=-5", "tqsl=2x", "tqsl=%EF%BC%92", "tqsl=1.5"}) {
    cases.push_back({count, QueryProblem::kBadCount, "tqsl"});
  }
  for (std::string port : {"0", "65536", "99999999999", "80a", "-1"}) {
    cases.push_back({"tqsl=1&ports[]2=" + port, QueryProblem::kBadPort, "ports[]2"});
  }
  for (const Refused& refused : cases) {
    ParsedQuery parsed = parseExtractQuery(refused.query);
    EXPECT_EQ(parsed.problem, refused.problem) << refused.query.substr(0, 60);
    EXPECT_EQ(parsed.key, refused.key) << refused.query.substr(0, 60);
  }
}

const std::vector<PoolEntry> kPool = {
    {"113.0.2.1", 18186, "广东广州", "电信"},    {"113.0.2.2", 8080, "广东深圳", "联通"},
    {"114.51.100.3", 18186, "福建福州", "移动"}, {"192.0.2.4", 18186, "北京", "电信", "北京市"},
    {"11.0.113.5", 18186, "广东广州", "联通"},   {"198.51.100.6", 3128, "上海", "移动", "上海市"},
};

TEST(ServiceExtraction, ListsTheFirstEntriesInPoolOrderThatPassEveryFilter) {
  const Text guangdong = "广东";  // B9 E3 B6 AB; E3 B6 is itself a GBK character
  const std::pair<std::string, std::vector<int>> cases[] = {
      {"tqsl=2", {0, 1}},
      {"tqsl=100", {0, 1, 2, 3, 4, 5}},
      {"tqsl=0", {}},
      {"tqsl=10&ports[]2=8080", {1}},
      {"tqsl=10&ports[]2=808", {}},
      // The leading part matches byte for byte.
      {"tqsl=10&ktip=11", {0, 1, 2, 4}},
      {"tqsl=10&ktip=11.", {4}},
      {"tqsl=10&ktip=0.2", {}},
      // The region matches anywhere in the province or in the city, never across the two, and only on
      // whole GBK characters.
      {"tqsl=10&sxb=" + percentAll("广东"), {0, 1, 4}},
      {"tqsl=10&sxb=" + percentAll("州"), {0, 2, 4}},
      {"tqsl=10&sxb=" + percentAll("广东广州市"), {}},
      {"tqsl=10&sxb=" + percentAll("市"), {3, 5}},
      {"tqsl=10&sxb=" + percentAll("北京市"), {3}},
      {"tqsl=10&sxb=" + percentAll("京北"), {}},
      {"tqsl=10&sxb=" + percentAll(guangdong.substr(1, 2)), {}},
      {"tqsl=10&sxb=" + percentAll(guangdong.substr(0, 3)), {}},  // ends on the lead byte of 东
      // The carrier matches the whole name.
      {"tqsl=10&sxa=" + percentAll("电信"), {0, 3}},
      {"tqsl=10&sxa=" + percentAll("移动"), {2, 5}},
      {"tqsl=10&sxa=" + percentAll("全部运营商"), {}},
      {"tqsl=10&sxa=" + percentAll("电"), {}},
      {"tqsl=10&ports[]2=18186&ktip=11&sxb=" + percentAll("广州"), {0, 4}},
      {"tqsl=10&ports[]2=18186&ktip=11&sxb=" + percentAll("广州") + "&sxa=" + percentAll("联通"), {4}},
  };
  for (const auto& [query, positions] : cases) {
    Reply reply = answerExtraction(kPool, query);
    EXPECT_EQ(reply.status, 200) << query;
    std::vector<std::string> expected;
    for (int at : positions) expected.push_back(kPool[at].address + ":" + std::to_string(kPool[at].port));
    EXPECT_EQ(listedEntries(reply.body), expected) << query;
  }
}

std::size_t occurrences(std::string_view text, std::string_view part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(ServiceExtraction, WritesEachEntryAndItsSeparatorBetweenTheMarkersAndAnEscapedNoticeAboveThem) {
  Reply listed = answerExtraction(kPool, "tqsl=2");
  EXPECT_EQ(occurrences(listed.body, kListStartMarker), 1u);
  EXPECT_EQ(occurrences(listed.body, kListEndMarker), 1u);
  EXPECT_NE(listed.body.find(kListStartMarker + Text("113.0.2.1:18186<BR>113.0.2.2:8080<BR>") + kListEndMarker),
            Text::npos);

  Reply none = answerExtraction(kPool, "tqsl=5&ktip=9");
  EXPECT_EQ(none.status, 200);
  EXPECT_NE(none.body.find(Text(kListStartMarker) + kListEndMarker), Text::npos);
  EXPECT_NE(none.body.find("没有符合条件的代理IP。"), Text::npos);
  EXPECT_NE(answerExtraction(kPool, "tqsl=10001").body.find("已按 10000 个提取"), Text::npos);

  // A key of "<BR>&x\"" is named in the notice, escaped, and kept out of the list.
  Reply refused = answerExtraction(kPool, "tqsl=1&%3CBR%3E%26x%22=1");
  EXPECT_EQ(refused.status, 400);
  EXPECT_NE(refused.body.find("“&lt;BR&gt;&amp;x&quot;”"), Text::npos);
  EXPECT_EQ(refused.body.find("“<BR>"), Text::npos);
  EXPECT_LT(refused.body.find("&lt;BR&gt;"), refused.body.find(kListStartMarker));
  EXPECT_NE(refused.body.find(Text(kListStartMarker) + kListEndMarker), Text::npos);
}

}  // namespace
