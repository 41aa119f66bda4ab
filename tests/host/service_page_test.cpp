#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "service/listPage.h"
#include "service_testing.h"

namespace {

std::size_t occurrences(std::string_view text, std::string_view part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(ServiceListPage, WritesEachEntryFollowedByTheSeparatorBetweenTheMarkers) {
  PoolEntry first{"113.0.2.1", 18186, "广东广州", "电信"};
  PoolEntry second{"192.0.2.44", 8080, "北京", "联通"};
  std::vector<const PoolEntry*> entries = {&first, &second};
  Text page = renderListPage(entries, "");
  EXPECT_EQ(occurrences(page, kListStartMarker), 1u);
  EXPECT_EQ(occurrences(page, kListEndMarker), 1u);
  CutList cut = cutList(page);
  ASSERT_TRUE(cut.found);
  EXPECT_EQ(cut.list, "113.0.2.1:18186<BR>192.0.2.44:8080<BR>");
  EXPECT_EQ(splitEntries(cut.list), (std::vector<std::string>{"113.0.2.1:18186", "192.0.2.44:8080"}));
}

TEST(ServiceListPage, AnEmptyListStillCarriesBothMarkers) {
  Text page = renderListPage({}, "没有符合条件的代理IP。");
  CutList cut = cutList(page);
  ASSERT_TRUE(cut.found);
  EXPECT_EQ(cut.list, "");
  EXPECT_NE(page.find("没有符合条件的代理IP。"), Text::npos);
}

TEST(ServiceListPage, EscapesTheNoticeAndKeepsItOutOfTheList) {
  PoolEntry entry{"113.0.2.1", 18186, "广东广州", "电信"};
  std::vector<const PoolEntry*> entries = {&entry};
  Text page = renderListPage(entries, "参数“<BR>&x\"”");
  EXPECT_NE(page.find("参数“&lt;BR&gt;&amp;x&quot;”"), Text::npos);
  EXPECT_EQ(page.find("“<BR>"), Text::npos);
  EXPECT_LT(page.find("&lt;BR&gt;"), page.find(kListStartMarker));
  EXPECT_EQ(cutList(page).list, "113.0.2.1:18186<BR>");
}

}  // namespace
