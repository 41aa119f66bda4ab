// The extraction query as the service receives it, and the list cut from its reply.
#include <gtest/gtest.h>

#include "app/extractQuery.h"
#include "protocol/listMarkers.h"

namespace {

ExtractFilters initialFilters() {
  return {"", "20", "18186", "11", "全部运营商"};
}

Text page(std::string_view list) {
  return Text("<html><h4 cla") + kListStartMarker + Text(list) + kListEndMarker + "</body></html>";
}

TEST(ExtractQuery, InitialFieldsGiveTheDocumentedQuery) {
  EXPECT_EQ(buildExtractQuery("http://127.0.0.1:8088", initialFilters()),
            "http://127.0.0.1:8088/mo.php?sxb=&tqsl=%32%30&ports[]2=%31%38%31%38%36&ktip=%31%31&sxa="
            "&submit=%CC%E1%20%20%C8%A1");
}

TEST(ExtractQuery, CarrierIsSentUnlessItIsExactlyAllCarriers) {
  ExtractFilters filters = initialFilters();
  filters.carrier = "电信";
  EXPECT_NE(buildExtractQuery("", filters).find("&sxa=%B5%E7%D0%C5&submit="), Text::npos);
  filters.carrier = " 全部运营商";
  EXPECT_NE(buildExtractQuery("", filters).find("&sxa=%20%C8%AB%B2%BF%D4%CB%D3%AA%C9%CC&submit="), Text::npos);
  filters.carrier = "";
  EXPECT_NE(buildExtractQuery("", filters).find("&sxa=&submit="), Text::npos);
}

TEST(ExtractQuery, RegionIsTheFirstValueAndEncodedByteForByte) {
  ExtractFilters filters = initialFilters();
  filters.region = "广东";
  EXPECT_EQ(buildExtractQuery("http://s", filters).rfind("http://s/mo.php?sxb=%B9%E3%B6%AB&tqsl=", 0), 0u);
}

TEST(ProxyEntries, SplitsTheListBetweenTheMarkersAtBr) {
  Array<Text> entries = proxyEntries(page("1.1.1.1:80<BR>2.2.2.2:81<BR>"));
  ASSERT_EQ(entries.count(), 2);
  EXPECT_EQ(entries[1], "1.1.1.1:80");
  EXPECT_EQ(entries[2], "2.2.2.2:81");
}

TEST(ProxyEntries, LeadingOrDoubledSeparatorsGiveEmptyEntries) {
  Array<Text> entries = proxyEntries(page("<BR>a<BR><BR>b"));
  ASSERT_EQ(entries.count(), 4);
  EXPECT_EQ(entries[1], "");
  EXPECT_EQ(entries[3], "");
  EXPECT_EQ(entries[4], "b");
}

TEST(ProxyEntries, ListWithoutSeparatorIsOneEntryAndLowercaseBrDoesNotSplit) {
  Array<Text> entries = proxyEntries(page("a<br>b"));
  ASSERT_EQ(entries.count(), 1);
  EXPECT_EQ(entries[1], "a<br>b");
}

TEST(ProxyEntries, NothingWithoutBothMarkersInOrder) {
  EXPECT_EQ(proxyEntries("").count(), 0);
  EXPECT_EQ(proxyEntries("1.1.1.1:80<BR>").count(), 0);
  EXPECT_EQ(proxyEntries(Text(kListStartMarker) + "a<BR>b").count(), 0) << "no end marker";
  EXPECT_EQ(proxyEntries(Text(kListEndMarker) + kListStartMarker + "a<BR>").count(), 0) << "end before start";
  EXPECT_EQ(proxyEntries(page("")).count(), 0);
}

}  // namespace
