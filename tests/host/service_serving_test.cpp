#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "service/serve/proxyApi.h"
#include "service/serve/routes.h"
#include "service/serve/statusPage.h"
#include "service/sources/ipRegion.h"
#include "service/sources/poolFile.h"
#include "service/sources/proxyList.h"
#include "service_testing.h"

namespace {

std::vector<std::string> served(const PoolSnapshot& snapshot, const std::string& query) {
  Reply reply = answerExtraction(snapshot.served, query);
  EXPECT_EQ(reply.status, 200) << query;
  return listedEntries(reply.body);
}

// A checked pool of public addresses whose database answers the test knows (read from the file
// independently): the outcomes are written straight into the store, nothing is contacted.
class CheckedPool : public testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(regionDbPath())) GTEST_SKIP() << "no " << regionDbPath() << ": run scripts/setup";
    regions_ = loadIpRegionDb(regionDbPath());
    ASSERT_TRUE(regions_);
    store_ = openStore(":memory:");
    store_->add(parseProxyList("1.45.3.7:8080\n"        // 北京 北京市 联通
                               "1.0.8.1:80\n"           // 广东省 广州市 电信
                               "39.170.20.30:3128\n"    // 浙江省 杭州市 移动
                               "27.109.127.250:8080\n"  // 上海 上海市 电信
                               "1.45.9.9:8080\n"        // 北京 联通, dead
                               "1.0.9.9:80\n",          // 广东省 广州市 电信, never checked
                               &*regions_)
                    .proxies,
                "list", 0);
    std::vector<StoredProxy> all = store_->all();
    ASSERT_EQ(all.size(), 6u);
    const std::uint32_t latencies[] = {300, 120, 80, 200};
    for (int i = 0; i < 4; ++i) store_->recordCheck(all[i].id, true, latencies[i], 1765000000 + i);
    for (int i = 0; i < 3; ++i) store_->recordCheck(all[4].id, false, 0, 1765000000);  // dead
    snapshot_ = buildSnapshot(store_->all(), true);
  }

  std::optional<IpRegionDb> regions_;
  std::unique_ptr<PoolStore> store_;
  std::shared_ptr<PoolSnapshot> snapshot_;  // checked
};

TEST_F(CheckedPool, ServesOnlyLiveEntriesFastestFirstWithinTheFilters) {
  PoolSnapshot& snapshot = *snapshot_;
  EXPECT_EQ(served(snapshot, "tqsl=%31%30"),
            (std::vector<std::string>{"39.170.20.30:3128", "1.0.8.1:80", "27.109.127.250:8080", "1.45.3.7:8080"}));
  EXPECT_EQ(served(snapshot, "tqsl=%32"), (std::vector<std::string>{"39.170.20.30:3128", "1.0.8.1:80"}));
  EXPECT_EQ(served(snapshot, "tqsl=%31%30&sxb=" + percentAll("北京")), (std::vector<std::string>{"1.45.3.7:8080"}));
  EXPECT_EQ(served(snapshot, "tqsl=%31%30&sxa=" + percentAll("电信")),
            (std::vector<std::string>{"1.0.8.1:80", "27.109.127.250:8080"}));
  // "州" is in the cities 广州市 and 杭州市, not in any province.
  EXPECT_EQ(served(snapshot, "tqsl=%31%30&sxb=" + percentAll("州")),
            (std::vector<std::string>{"39.170.20.30:3128", "1.0.8.1:80"}));

  // Unchecked, the same store serves every entry in the order it came.
  std::shared_ptr<PoolSnapshot> unchecked = buildSnapshot(store_->all(), false);
  EXPECT_EQ(served(*unchecked, "tqsl=%31%30").size(), 6u);
  EXPECT_EQ(served(*unchecked, "tqsl=%31%30").front(), "1.45.3.7:8080");
}

TEST_F(CheckedPool, AnswersScriptsWithJson) {
  PoolSnapshot& snapshot = *snapshot_;
  JsonReply reply = answerProxyApi(snapshot, {{"region", utf8(u8"州")}, {"count", "1"}});
  ASSERT_EQ(reply.status, 200) << reply.body;
  nlohmann::json answer = nlohmann::json::parse(reply.body);
  EXPECT_EQ(answer["checked"], true);
  ASSERT_EQ(answer["proxies"].size(), 1u);
  const nlohmann::json& first = answer["proxies"][0];
  EXPECT_EQ(first["address"], "39.170.20.30");
  EXPECT_EQ(first["port"], 3128);
  EXPECT_EQ(first["region"]["province"], utf8(u8"浙江省"));
  EXPECT_EQ(first["region"]["city"], utf8(u8"杭州市"));
  EXPECT_EQ(first["carrier"], utf8(u8"移动"));
  EXPECT_EQ(first["latency_ms"], 80);
  EXPECT_EQ(first["last_alive"], "2025-12-06T05:46:42Z");

  nlohmann::json telecom =
      nlohmann::json::parse(answerProxyApi(snapshot, {{"carrier", utf8(u8"电信")}, {"prefix", "27."}}).body);
  ASSERT_EQ(telecom["proxies"].size(), 1u);
  EXPECT_EQ(telecom["proxies"][0]["address"], "27.109.127.250");
  EXPECT_EQ(nlohmann::json::parse(answerProxyApi(snapshot, {}).body)["count"], 4);
  EXPECT_EQ(nlohmann::json::parse(answerProxyApi(snapshot, {{"port", "3128"}}).body)["count"], 1);

  for (const std::multimap<std::string, std::string>& bad : std::vector<std::multimap<std::string, std::string>>{
           {{"count", "x"}}, {{"port", "0"}}, {{"port", "70000"}}, {{"sort", "1"}}, {{"count", "1"}, {"count", "2"}}}) {
    JsonReply refused = answerProxyApi(snapshot, bad);
    EXPECT_EQ(refused.status, 400) << bad.begin()->first;
    EXPECT_TRUE(nlohmann::json::parse(refused.body).contains("error"));
  }
}

TEST_F(CheckedPool, StatusPageCountsLiveAndDeadByRegionAndCarrier) {
  PoolSnapshot& snapshot = *snapshot_;
  snapshot.rounds = 2;
  snapshot.lastRound = {6, 4, 1500, 1765000100};
  std::string page = renderStatusPage(snapshot, {"http://127.0.0.1:9/check", 600});
  // Totals: 4 live, 1 dead, 1 unchecked; 北京 has one of each of live and dead.
  EXPECT_NE(
      page.find(utf8(
          u8"共 6 个：<span class=\"live\">存活 4</span>，<span class=\"dead\">失效 1</span>，失败中 0，未检测 1")),
      std::string::npos)
      << page;
  EXPECT_NE(page.find(utf8(u8"<tr><th>北京</th><td class=\"n\">1</td><td class=\"n\">1</td>")), std::string::npos);
  EXPECT_NE(page.find(utf8(u8"<tr><th>电信</th><td class=\"n\">2</td><td class=\"n\">0</td><td class=\"n\">0</td>"
                           u8"<td class=\"n\">1</td>")),
            std::string::npos);
  EXPECT_NE(page.find(utf8(u8"用时 1.5 秒：检测 6 个，存活 4 个，每秒 4.0 次检测")), std::string::npos);
  EXPECT_NE(page.find("2025-12-06 05:48:20 UTC"), std::string::npos);
}

TEST(ServiceServing, AnUncheckedStoreServesTheShippedPoolAsTheFileDid) {
  std::shared_ptr<PoolSnapshot> snapshot = shippedSnapshot();
  PoolLoad file = loadPool((sourceFolder() / "service" / "pool.txt").string());
  ASSERT_EQ(snapshot->served.size(), file.entries.size());
  for (std::size_t at = 0; at < file.entries.size(); at += 97) {
    EXPECT_EQ(snapshot->served[at].address, file.entries[at].address);
    EXPECT_EQ(snapshot->served[at].region, file.entries[at].region) << "GBK again";
    EXPECT_EQ(snapshot->served[at].carrier, file.entries[at].carrier);
  }
  std::string page = renderStatusPage(*snapshot, {});
  EXPECT_NE(page.find(utf8(u8"库中还没有任何检测结果：按原样提供全部条目")), std::string::npos);
  EXPECT_NE(page.find(utf8(u8"本服务不检测：没有 --check-url")), std::string::npos);
  EXPECT_NE(page.find(utf8(u8"还没有完成的检测轮次")), std::string::npos);
}

}  // namespace
