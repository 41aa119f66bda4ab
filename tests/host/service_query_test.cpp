#include <gtest/gtest.h>

#include <string>

#include "service/extractQuery.h"
#include "service/percentDecode.h"

namespace {

// The query the program sends with its initial field contents.
constexpr char kProgramDefaultQuery[] =
    "sxb=&tqsl=%32%30&ports[]2=%31%38%31%38%36&ktip=%31%31&sxa=&submit=%CC%E1%20%20%C8%A1";

ExtractRequest parsedOk(std::string_view query) {
  ParsedQuery parsed = parseExtractQuery(query);
  EXPECT_EQ(parsed.problem, QueryProblem::kNone) << query;
  return parsed.request;
}

TEST(ServicePercentDecode, TurnsEscapesIntoBytesAndPlusIntoSpace) {
  EXPECT_EQ(percentDecode("%CC%E1%20%20%C8%A1"), Text("提  取"));
  EXPECT_EQ(percentDecode("%cc%e1++%C8%A1"), Text("提  取"));
  EXPECT_EQ(percentDecode("%09%00x"), Text("\t\0x", 3));
  EXPECT_EQ(percentDecode("ports[]2电信"), Text("ports[]2电信"));
}

TEST(ServicePercentDecode, RefusesAPercentWithoutTwoHexDigits) {
  for (std::string_view bad : {"%", "%4", "abc%", "%G1", "%4G", "%%41", "% 41"}) {
    EXPECT_FALSE(percentDecode(bad).has_value()) << bad;
  }
}

TEST(ServiceExtractQuery, ReadsTheProgramsDefaultQuery) {
  ExtractRequest request = parsedOk(kProgramDefaultQuery);
  EXPECT_EQ(request.count, 20);
  EXPECT_FALSE(request.countCapped);
  EXPECT_EQ(request.port, 18186);
  EXPECT_EQ(request.addressPrefix, "11");
  EXPECT_EQ(request.region, "");
  EXPECT_EQ(request.carrier, "");
}

TEST(ServiceExtractQuery, DecodesGbkRegionAndCarrier) {
  ExtractRequest request = parsedOk("sxb=%B9%E3%B6%AB&tqsl=%35&sxa=%B5%E7%D0%C5");
  EXPECT_EQ(request.region, "广东");
  EXPECT_EQ(request.carrier, "电信");
  EXPECT_EQ(request.count, 5);
  EXPECT_FALSE(request.port.has_value());
}

TEST(ServiceExtractQuery, AcceptsKeysInAnyOrderAndEncodedKeys) {
  ExtractRequest reordered =
      parsedOk("submit=%CC%E1%20%20%C8%A1&sxa=&ktip=%31%31&ports[]2=%31%38%31%38%36&tqsl=%32%30&sxb=");
  ExtractRequest browser = parsedOk("sxb=&tqsl=20&ports%5B%5D2=18186&ktip=11&sxa=&submit=%CC%E1++%C8%A1");
  for (const ExtractRequest& request : {reordered, browser}) {
    EXPECT_EQ(request.count, 20);
    EXPECT_EQ(request.port, 18186);
    EXPECT_EQ(request.addressPrefix, "11");
  }
}

TEST(ServiceExtractQuery, ToleratesEmptyPairsAndTrimsValues) {
  ExtractRequest request = parsedOk("&&tqsl=%20%32%30%09&&ports[]2=+8080+&submit&");
  EXPECT_EQ(request.count, 20);
  EXPECT_EQ(request.port, 8080);
  EXPECT_EQ(request.addressPrefix, "");
  EXPECT_EQ(parseExtractQuery("").problem, QueryProblem::kNone);  // the bare page asks for nothing
  EXPECT_EQ(parseExtractQuery("").request.count, 0);
}

TEST(ServiceExtractQuery, NamesTheKeyOfAMalformedEscape) {
  ParsedQuery inValue = parseExtractQuery("tqsl=%32%30&ktip=%3");
  EXPECT_EQ(inValue.problem, QueryProblem::kMalformedEscape);
  EXPECT_EQ(inValue.key, "ktip");
  ParsedQuery inKey = parseExtractQuery("tqsl=1&ports%5B%5=1");
  EXPECT_EQ(inKey.problem, QueryProblem::kMalformedEscape);
  EXPECT_EQ(inKey.key, "ports%5B%5");
}

TEST(ServiceExtractQuery, RefusesUnknownAndRepeatedKeys) {
  ParsedQuery unknown = parseExtractQuery("tqsl=1&ports[]=80");
  EXPECT_EQ(unknown.problem, QueryProblem::kUnknownKey);
  EXPECT_EQ(unknown.key, "ports[]");
  EXPECT_EQ(parseExtractQuery("TQSL=1").problem, QueryProblem::kUnknownKey);
  ParsedQuery repeated = parseExtractQuery("tqsl=1&sxa=&tqsl=2");
  EXPECT_EQ(repeated.problem, QueryProblem::kDuplicateKey);
  EXPECT_EQ(repeated.key, "tqsl");
  EXPECT_EQ(parseExtractQuery("tqsl=1&ports[]2=1&ports%5B%5D2=1").problem, QueryProblem::kDuplicateKey);
}

TEST(ServiceExtractQuery, RequiresADecimalCount) {
  for (std::string_view query : {"sxb=", "tqsl=", "tqsl=%20", "tqsl=-5", "tqsl=2x", "tqsl=%EF%BC%92", "tqsl=1.5"}) {
    ParsedQuery parsed = parseExtractQuery(query);
    EXPECT_EQ(parsed.problem, QueryProblem::kBadCount) << query;
    EXPECT_EQ(parsed.key, "tqsl");
  }
  EXPECT_EQ(parsedOk("tqsl=0").count, 0);
  EXPECT_EQ(parsedOk("tqsl=007").count, 7);
}

TEST(ServiceExtractQuery, CapsHugeCountsWithoutOverflow) {
  ExtractRequest atLimit = parsedOk("tqsl=10000");
  EXPECT_EQ(atLimit.count, kMaxCount);
  EXPECT_FALSE(atLimit.countCapped);
  for (std::string_view query : {"tqsl=10001", "tqsl=99999999999999999999999999"}) {
    ExtractRequest capped = parsedOk(query);
    EXPECT_EQ(capped.count, kMaxCount) << query;
    EXPECT_TRUE(capped.countCapped) << query;
  }
}

TEST(ServiceExtractQuery, RequiresAPortFromOneTo65535WhenOneIsGiven) {
  EXPECT_EQ(parsedOk("tqsl=1&ports[]2=65535").port, 65535);
  EXPECT_EQ(parsedOk("tqsl=1&ports[]2=018186").port, 18186);
  for (std::string_view query : {"tqsl=1&ports[]2=0", "tqsl=1&ports[]2=65536", "tqsl=1&ports[]2=99999999999",
                                 "tqsl=1&ports[]2=80a", "tqsl=1&ports[]2=-1"}) {
    ParsedQuery parsed = parseExtractQuery(query);
    EXPECT_EQ(parsed.problem, QueryProblem::kBadPort) << query;
    EXPECT_EQ(parsed.key, "ports[]2");
  }
}

TEST(ServiceExtractQuery, RefusesQueriesLongerThanTheLimit) {
  std::string query = "tqsl=1&ktip=";
  query.append(kMaxQueryBytes - query.size(), '1');
  EXPECT_EQ(parsedOk(query).addressPrefix.size(), kMaxQueryBytes - 12);
  query += '1';
  EXPECT_EQ(parseExtractQuery(query).problem, QueryProblem::kTooLong);
}

}  // namespace
