// What the service answers, whatever carries it: the status page's size, the JSON answer's filters,
// counts and escapes, entries GBK cannot hold, and times in UTC whatever the machine's zone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "fakeProxies.h"
#include "rawHttp.h"
#include "service/serve/proxyApi.h"
#include "service/serve/routes.h"
#include "service/serve/statusPage.h"
#include "service_testing.h"

namespace {

// Counts the rows of the status page's table under `heading` (UTF-8).
std::size_t rowsUnder(const std::string& page, const std::string& heading) {
  std::size_t start = page.find("<h2>" + heading + "</h2>");
  if (start == std::string::npos) return 0;
  std::size_t end = page.find("</table>", start);
  std::size_t rows = 0;
  for (std::size_t at = page.find("<tr><th>", start); at < end; at = page.find("<tr><th>", at + 1)) ++rows;
  return rows - 1;  // the heading row
}

StoredProxy stored(std::string address, std::string province, std::string city, std::string carrier) {
  StoredProxy proxy;
  proxy.address = std::move(address);
  proxy.port = 8080;
  proxy.province = std::move(province);
  proxy.city = std::move(city);
  proxy.carrier = std::move(carrier);
  return proxy;
}

TEST(ServiceStatusPage, ShowsTheLargestThirtyRegionsAndCarriersAndOneRowForTheRest) {
  // 100,000 entries under as many region names but the first forty, which hold ten to fifty entries
  // each; carriers the same way.
  std::vector<StoredProxy> proxies;
  for (int name = 0; name < 40; ++name) {
    for (int i = 0; i < 50 - name; ++i) {
      proxies.push_back(stored("1.0.0.1", "big" + std::to_string(name), "", "carrier" + std::to_string(name)));
    }
  }
  const std::size_t inTheFirstForty = proxies.size();
  while (proxies.size() < 100000) {
    std::string name = "small" + std::to_string(proxies.size());
    proxies.push_back(stored("1.0.0.2", name, "", name));
  }
  std::shared_ptr<PoolSnapshot> snapshot = buildSnapshot(proxies, false);
  std::string page = renderStatusPage(*snapshot, {});
  EXPECT_LT(page.size(), 32u * 1024) << "one row per name";
  for (const std::string& heading : {utf8(u8"按地区"), utf8(u8"按运营商")}) {
    EXPECT_EQ(rowsUnder(page, heading), 31u) << heading;
  }
  EXPECT_NE(page.find("<tr><th>big29</th>"), std::string::npos);
  EXPECT_EQ(page.find("<tr><th>big30</th>"), std::string::npos);
  // The first thirty hold 50 + 49 + ... + 21 entries; the other names are summed in one row, all unchecked.
  const std::size_t firstThirty = (50 + 21) * 30 / 2;
  const std::size_t otherNames = (40 - 30) + (100000 - inTheFirstForty);
  const std::string othersRow = utf8(u8"<tr><th>其他（") + std::to_string(otherNames) +
                                utf8(u8" 个）</th><td class=\"n\">0</td><td class=\"n\">0</td><td class=\"n\">0</td>") +
                                "<td class=\"n\">" + std::to_string(100000 - firstThirty) + "</td></tr>";
  std::size_t regions = page.find(utf8(u8"按地区"));
  std::size_t carriers = page.find(utf8(u8"按运营商"));
  EXPECT_NE(page.find(othersRow, regions), std::string::npos) << page.substr(page.size() - 1500);
  EXPECT_NE(page.find(othersRow, carriers), std::string::npos);
}

// A pool without the region database: texts written straight into the store, one of them with a
// character GBK cannot hold.
class ApiPool : public testing::Test {
 protected:
  void SetUp() override {
    store_ = openStore(":memory:");
    store_->add({{"1.1.1.1", 80, utf8(u8"北京"), utf8(u8"北京市"), utf8(u8"联通")},
                 {"2.2.2.2", 80, utf8(u8"广东省"), utf8(u8"广州市"), utf8(u8"电信")},
                 {"3.3.3.3", 80, utf8(u8"浙江省"), utf8(u8"杭州市"), utf8(u8"移动")},
                 {"4.4.4.4", 80, utf8(u8"广东省"), utf8(u8"潮州市😀"), utf8(u8"电信")}},
                "list", 0);
    std::vector<StoredProxy> all = store_->all();
    for (std::size_t i = 0; i < all.size(); ++i) store_->recordCheck(all[i].id, true, 100 + i, 1765000000 + i);
    holder_.set(buildSnapshot(store_->all(), true));
  }

  nlohmann::json api(const std::string& query, int status = 200) {
    std::optional<RawAnswer> answer = rawGet(server_.port(), "/api/proxies" + query);
    EXPECT_TRUE(answer) << query;
    if (!answer) return {};
    EXPECT_EQ(answer->status, status) << query << ": " << answer->body;
    EXPECT_EQ(answer->header("content-type"), "application/json");
    return nlohmann::json::parse(answer->body, nullptr, false);
  }

  static std::vector<std::string> addresses(const nlohmann::json& answer) {
    std::vector<std::string> listed;
    for (const nlohmann::json& proxy : answer["proxies"]) listed.push_back(proxy["address"]);
    return listed;
  }

  std::unique_ptr<PoolStore> store_;
  SnapshotHolder holder_;
  LoopbackServer server_{serviceRoutes(holder_)};
};

TEST_F(ApiPool, FiltersByRegionAndCarrierTogether) {
  // 州 is in 广州市, 杭州市 and 潮州市😀; only 杭州市's entry is 移动.
  EXPECT_EQ(addresses(api("?region=" + percentAll(utf8(u8"州")) + "&carrier=" + percentAll(utf8(u8"移动")))),
            (std::vector<std::string>{"3.3.3.3"}));
  EXPECT_EQ(addresses(api("?carrier=" + percentAll(utf8(u8"联通")) + "&region=" + percentAll(utf8(u8"北京")))),
            (std::vector<std::string>{"1.1.1.1"}));
  EXPECT_EQ(addresses(api("?region=" + percentAll(utf8(u8"北京")) + "&carrier=" + percentAll(utf8(u8"电信")))),
            (std::vector<std::string>{}));
  EXPECT_EQ(addresses(api("?prefix=2.&port=80&region=" + percentAll(utf8(u8"广")))),
            (std::vector<std::string>{"2.2.2.2"}));
}

TEST_F(ApiPool, RefusesTextThatIsNotUtf8AndEscapesMoPhpRefuses) {
  // 0x97 alone is no character, though it is the last byte of 北 in UTF-8.
  for (std::string query : {"?region=%97", "?carrier=%E7%94", "?prefix=%FF", "?region=%C0%80"}) {
    nlohmann::json answer = api(query, 400);
    EXPECT_TRUE(answer.contains("error")) << query;
  }
  for (std::string query : {"?region=%2", "?region=%G1", "?count=%", "?region=%E5%8C%97%ZZ", "?%zz=1"}) {
    nlohmann::json answer = api(query, 400);
    EXPECT_TRUE(answer.contains("error")) << query;
  }
  // A form's "+" is a space, so a region with a space matches nothing.
  EXPECT_EQ(api("?region=%E5%8C%97+")["count"], 0);
}

TEST_F(ApiPool, RefusesEveryCountAboveTheMaximumTheSameWay) {
  EXPECT_EQ(api("?count=10000")["count"], 4);
  EXPECT_EQ(api("?count=0")["count"], 0);
  for (std::string count : {"10001", "99999", "999999999", "9999999999", "99999999999999999999999"}) {
    nlohmann::json answer = api("?count=" + count, 400);
    EXPECT_NE(answer.value("error", "").find("10000"), std::string::npos) << count << ": names the maximum";
  }
}

TEST_F(ApiPool, ListsInJsonWhatTheGbkPageCannotHold) {
  nlohmann::json all = api("");
  EXPECT_EQ(addresses(all), (std::vector<std::string>{"1.1.1.1", "2.2.2.2", "3.3.3.3", "4.4.4.4"}));
  const std::string beyondGbk = utf8(u8"潮州市😀");  // outside the macro, whose text is GBK
  EXPECT_EQ(all["proxies"][3]["region"]["city"], beyondGbk);
  std::optional<RawAnswer> page = rawGet(server_.port(), "/mo.php?tqsl=%31%30");
  ASSERT_TRUE(page);
  EXPECT_EQ(listedEntries(page->body), (std::vector<std::string>{"1.1.1.1:80", "2.2.2.2:80", "3.3.3.3:80"}));
  std::optional<RawAnswer> status = rawGet(server_.port(), "/status");
  ASSERT_TRUE(status);
  EXPECT_NE(status->body.find(utf8(u8"存活 4</span>")), std::string::npos);
}

// The unfiltered first page and the status page are built once per snapshot: a new snapshot shows at once.
TEST_F(ApiPool, AnswersKeptForASnapshotFollowTheNextOne) {
  for (std::string query : {"", "?count=20"}) {
    nlohmann::json first = api(query);
    EXPECT_EQ(first["count"], 4) << query;
    EXPECT_EQ(first.dump(), nlohmann::json::parse(answerProxyApi(*holder_.get(), {}).body).dump());
  }
  std::optional<RawAnswer> before = rawGet(server_.port(), "/status");
  store_->add({{"5.5.5.5", 81, utf8(u8"上海"), utf8(u8"上海市"), utf8(u8"电信")}}, "list", 0);
  holder_.set(buildSnapshot(store_->all(), false));
  nlohmann::json after = api("?count=20");
  EXPECT_EQ(after["count"], 5);
  EXPECT_EQ(after["checked"], false);
  EXPECT_EQ(api("")["proxies"][4]["address"], "5.5.5.5");
  std::optional<RawAnswer> status = rawGet(server_.port(), "/status");
  ASSERT_TRUE(before && status);
  EXPECT_NE(before->body.find(utf8(u8"共 4 个")), std::string::npos);
  EXPECT_NE(status->body.find(utf8(u8"共 5 个")), std::string::npos);
}

// The JSON answer is written by hand: byte for byte what a JSON library's compact dump of it gives, texts
// with quotes, backslashes, control characters and ill-formed UTF-8 included.
TEST(ServiceJson, WritesWhatAJsonLibraryWrites) {
  std::unique_ptr<PoolStore> store = openStore(":memory:");
  store->add({{"9.9.9.9", 1, "a\"b\\c", "tab\tnew\nline\x01", utf8(u8"移动")},
              {"9.9.9.8", 65535, "bad \xE5\x8C utf8 \xFF", "", ""}},
             "list", 0);
  std::shared_ptr<PoolSnapshot> snapshot = buildSnapshot(store->all(), false);
  JsonReply reply = answerProxyApi(*snapshot, {});
  ASSERT_EQ(reply.status, 200);
  nlohmann::json parsed = nlohmann::json::parse(reply.body);
  EXPECT_EQ(reply.body, parsed.dump());
  EXPECT_EQ(parsed["proxies"][0]["region"]["province"], "a\"b\\c");
  EXPECT_EQ(parsed["proxies"][0]["region"]["city"], "tab\tnew\nline\x01");
  EXPECT_EQ(parsed["proxies"][1]["region"]["province"], "bad \xEF\xBF\xBD utf8 \xEF\xBF\xBD");
  JsonReply refused = answerProxyApi(*snapshot, {{"sort", "x\"y"}});
  EXPECT_EQ(refused.body, nlohmann::json::parse(refused.body).dump());
}

// Times are UTC whatever the zone the machine runs in (these run in UTC, so the zone is changed here).
TEST_F(ApiPool, WritesTimesInUtcUnderAnotherZone) {
  const char* zone = std::getenv("TZ");
  std::string saved = zone ? zone : "";
  setenv("TZ", "Asia/Shanghai", 1);
  tzset();
  nlohmann::json answer = api("?count=1");
  std::shared_ptr<PoolSnapshot> snapshot = buildSnapshot(store_->all(), true);
  snapshot->rounds = 1;
  snapshot->lastRound = {4, 4, 1000, 1765000100};
  std::string page = renderStatusPage(*snapshot, {});
  zone ? setenv("TZ", saved.c_str(), 1) : unsetenv("TZ");
  tzset();
  ASSERT_FALSE(answer.is_discarded());
  EXPECT_EQ(answer["proxies"][0]["last_alive"], "2025-12-06T05:46:40Z");
  EXPECT_NE(page.find("2025-12-06 05:48:20 UTC"), std::string::npos);
}

}  // namespace
