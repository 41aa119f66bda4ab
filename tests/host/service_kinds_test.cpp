// What the answers say of the kinds of proxy the check found: /api/proxies' protocols, grades and exits
// and their filters, credentials only to this machine and only when asked, mo.php's HTTP proxies only,
// and the status page's counts and charts.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "fakeProxies.h"
#include "rawHttp.h"
#include "service/serve/proxyApi.h"
#include "service/serve/routes.h"
#include "service/serve/statusCharts.h"
#include "service/serve/statusPage.h"
#include "service_testing.h"

namespace {

// One checked entry as a test wants it: how it is reached, and what its last check found.
struct Checked {
  NewProxy proxy;
  bool alive = true;
  std::uint32_t latencyMs = 0;
  ProtocolSet protocols = kHttp;
  Anonymity grade = Anonymity::unknown;
  std::string exit = {};
};

std::shared_ptr<PoolSnapshot> checkedSnapshot(PoolStore& store, const std::vector<Checked>& entries) {
  std::vector<NewProxy> proxies;
  for (const Checked& entry : entries) proxies.push_back(entry.proxy);
  store.add(proxies, "list", 0);
  std::vector<StoredProxy> all = store.all();
  std::vector<CheckRecord> records;
  for (std::size_t at = 0; at < entries.size(); ++at) {
    CheckRecord record;
    record.id = all[at].id;
    record.alive = entries[at].alive;
    record.latencyMs = entries[at].latencyMs;
    record.checkedAt = 1765000000;
    record.protocols = entries[at].protocols;
    record.anonymity = entries[at].grade;
    record.exit.address = entries[at].exit;
    records.push_back(record);
  }
  std::string error;
  EXPECT_TRUE(store.recordChecks(records, error)) << error;
  return buildSnapshot(store.all(), true);
}

NewProxy reached(std::string address, std::uint16_t port, ProtocolSet scheme = 0, std::string username = {},
                 std::string password = {}) {
  NewProxy proxy{std::move(address), port, "P", "C", "K"};
  proxy.scheme = scheme;
  proxy.username = std::move(username);
  proxy.password = std::move(password);
  return proxy;
}

// Six entries of every kind; the one that failed is not served. Fastest first: B, A, C, D, F.
class KindsPool : public testing::Test {
 protected:
  void SetUp() override {
    store_ = openStore(":memory:");
    holder_.set(checkedSnapshot(
        *store_, {{reached("1.1.1.1", 8080), true, 40, kHttp, Anonymity::elite},
                  {reached("2.2.2.2", 1080, kSocks5, "alice", "s3cret"), true, 20, kSocks5, Anonymity::anonymous},
                  {reached("3.3.3.3", 3128), true, 300, kHttp | kHttps, Anonymity::transparent, "9.9.9.9"},
                  {reached("4.4.4.4", 1081, 0, "bob", ""), true, 900, kSocks4 | kSocks5, Anonymity::unknown},
                  {reached("5.5.5.5", 80), false, 0, kHttp, Anonymity::elite},
                  {reached("6.6.6.6", 8000), true, 2500, kHttps, Anonymity::elite}}));
  }

  HttpAnswer ask(const std::string& target, const std::string& peer = "127.0.0.1") const {
    HttpRequest request{"GET", target, {}, peer};
    return routes_.answer(request);
  }

  nlohmann::json api(const std::string& query, int status = 200, const std::string& peer = "127.0.0.1") const {
    HttpAnswer answer = ask("/api/proxies" + query, peer);
    EXPECT_EQ(answer.status, status) << query << ": " << *answer.body;
    return nlohmann::json::parse(*answer.body, nullptr, false);
  }

  static std::vector<std::string> addresses(const nlohmann::json& answer) {
    std::vector<std::string> listed;
    for (const nlohmann::json& proxy : answer["proxies"]) listed.push_back(proxy["address"]);
    return listed;
  }

  std::unique_ptr<PoolStore> store_;
  SnapshotHolder holder_;
  ServiceRoutes routes_{holder_, StatusSettings{}};
};

TEST_F(KindsPool, GivesEachEntrysProtocolsGradeAndExitBesideTheFieldsItHad) {
  JsonReply reply = answerProxyApi(*holder_.get(), {});
  nlohmann::json answer = nlohmann::json::parse(reply.body);
  EXPECT_EQ(reply.body, answer.dump()) << "written as a JSON library writes it, keys in order";
  EXPECT_EQ(addresses(answer), (std::vector<std::string>{"2.2.2.2", "1.1.1.1", "3.3.3.3", "4.4.4.4", "6.6.6.6"}));
  EXPECT_EQ(answer["proxies"][2], nlohmann::json::parse(R"({"address":"3.3.3.3","anonymity":"transparent",
      "carrier":"K","exit_address":"9.9.9.9","last_alive":"2025-12-06T05:46:40Z","latency_ms":300,"port":3128,
      "protocols":["http","https"],"region":{"city":"C","province":"P"}})"));
  EXPECT_EQ(answer["proxies"][3]["protocols"], nlohmann::json::parse(R"(["socks4","socks5"])"));
  EXPECT_TRUE(answer["proxies"][3]["anonymity"].is_null());
  EXPECT_TRUE(answer["proxies"][3]["exit_address"].is_null());
  EXPECT_EQ(answer["proxies"][0]["anonymity"], "anonymous");
  // The served pool's first page, kept per snapshot, is the same answer.
  EXPECT_EQ(*ask("/api/proxies").body, reply.body);
  EXPECT_EQ(*ask("/api/proxies?count=20").body, reply.body);
}

TEST_F(KindsPool, FiltersByProtocolAndGradeEachOnAnyOfTheNamesGiven) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"?protocol=http", {"1.1.1.1", "3.3.3.3"}},
      {"?protocol=https", {"3.3.3.3", "6.6.6.6"}},
      {"?protocol=socks4,socks5", {"2.2.2.2", "4.4.4.4"}},
      {"?protocol=socks4%2C%20http", {"1.1.1.1", "3.3.3.3", "4.4.4.4"}},
      {"?protocol=", {"2.2.2.2", "1.1.1.1", "3.3.3.3", "4.4.4.4", "6.6.6.6"}},
      {"?anonymity=elite", {"1.1.1.1", "6.6.6.6"}},
      {"?anonymity=transparent,anonymous", {"2.2.2.2", "3.3.3.3"}},
      {"?anonymity=elite&protocol=http", {"1.1.1.1"}},
      {"?anonymity=elite,anonymous&protocol=https&count=1", {"6.6.6.6"}},
      {"?protocol=https&port=3128", {"3.3.3.3"}},
  };
  for (const auto& [query, expected] : cases) EXPECT_EQ(addresses(api(query)), expected) << query;
}

TEST_F(KindsPool, RefusesUnknownNamesAndCredentialValuesWithA400) {
  for (std::string query : {"?protocol=ftp", "?protocol=HTTP", "?protocol=http,", "?protocol=socks", "?anonymity=high",
                            "?anonymity=unknown", "?anonymity=elite,,anonymous", "?credentials=yes", "?credentials=2",
                            "?protocol=http&protocol=socks5", "?protocols=http"}) {
    nlohmann::json answer = api(query, 400);
    EXPECT_TRUE(answer.contains("error")) << query;
  }
  EXPECT_NE(api("?protocol=ftp", 400)["error"].get<std::string>().find("http, https, socks4 and socks5"),
            std::string::npos);
  EXPECT_NE(api("?anonymity=high", 400)["error"].get<std::string>().find("transparent, anonymous and elite"),
            std::string::npos);
}

TEST_F(KindsPool, ShowsCredentialsOnlyWhenAskedFromThisMachine) {
  for (std::string peer : {"127.0.0.1", "127.8.9.10", "::1", "::ffff:127.0.0.1"}) {
    nlohmann::json answer = api("?credentials=1", 200, peer);
    ASSERT_EQ(answer["count"], 5) << peer;
    EXPECT_EQ(answer["proxies"][0]["username"], "alice") << peer;
    EXPECT_EQ(answer["proxies"][0]["password"], "s3cret") << peer;
    EXPECT_EQ(answer["proxies"][3]["username"], "bob") << "a user name without a password";
    EXPECT_EQ(answer["proxies"][3]["password"], "");
    EXPECT_FALSE(answer["proxies"][1].contains("username")) << "only those that have them";
    EXPECT_FALSE(answer["proxies"][1].contains("password"));
  }
  for (std::string peer : {"192.0.2.7", "10.0.0.1", "::ffff:192.0.2.7", "2001:db8::1", "128.0.0.1", ""}) {
    HttpAnswer refused = ask("/api/proxies?credentials=1", peer);
    EXPECT_EQ(refused.status, 403) << peer;
    EXPECT_EQ(refused.body->find("s3cret"), std::string::npos);
    EXPECT_EQ(api("?credentials=0", 200, peer)["count"], 5) << "the rest of the answer is for anyone";
  }
  // Not asked: never shown, to anyone, nor anywhere else.
  for (std::string target : {"/api/proxies", "/api/proxies?credentials=0", "/api/proxies?count=5&protocol=socks5",
                             "/status", "/mo.php?tqsl=10"}) {
    std::string body = *ask(target).body;
    EXPECT_EQ(body.find("s3cret"), std::string::npos) << target;
    EXPECT_EQ(body.find("alice"), std::string::npos) << target;
    EXPECT_EQ(body.find("\"username\""), std::string::npos) << target;
  }
  // Through the front, the client's own address decides: here 127.0.0.3.
  LoopbackServer server(serviceRoutes(holder_));
  std::optional<RawAnswer> front = rawGet(server.port(), "/api/proxies?credentials=1&protocol=socks5", "127.0.0.3");
  ASSERT_TRUE(front);
  EXPECT_EQ(front->status, 200);
  EXPECT_EQ(nlohmann::json::parse(front->body)["proxies"][0]["password"], "s3cret");
}

// The program sets what it lists as an HTTP proxy: mo.php lists only entries that work as one, fastest
// first, whatever else is live.
TEST_F(KindsPool, ServesTheProgramOnlyHttpProxiesFastestFirst) {
  LoopbackServer server(serviceRoutes(holder_));
  std::optional<RawAnswer> page = rawGet(server.port(), "/mo.php?tqsl=%31%30");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_EQ(listedEntries(page->body), (std::vector<std::string>{"1.1.1.1:8080", "3.3.3.3:3128"}));
  std::optional<RawAnswer> one = rawGet(server.port(), "/mo.php?tqsl=%31&ports[]2=&ktip=&sxb=&sxa=&submit=");
  ASSERT_TRUE(one);
  EXPECT_EQ(listedEntries(one->body), (std::vector<std::string>{"1.1.1.1:8080"}));
  std::optional<RawAnswer> socksPort = rawGet(server.port(), "/mo.php?tqsl=%31%30&ports[]2=%31%30%38%30");
  ASSERT_TRUE(socksPort);
  EXPECT_TRUE(listedEntries(socksPort->body).empty()) << "the SOCKS-only entry on 1080 is not the program's";
}

TEST(ServiceKinds, AnUncheckedPoolClaimsNoProtocolGradeOrExit) {
  std::unique_ptr<PoolStore> store = openStore(":memory:");
  checkedSnapshot(*store, {{reached("1.1.1.1", 8080), true, 40, kHttp | kSocks5, Anonymity::elite, "9.9.9.9"}});
  std::shared_ptr<PoolSnapshot> unchecked = buildSnapshot(store->all(), false);
  nlohmann::json answer = nlohmann::json::parse(answerProxyApi(*unchecked, {}).body);
  EXPECT_EQ(answer["proxies"][0]["protocols"], nlohmann::json::array());
  EXPECT_TRUE(answer["proxies"][0]["anonymity"].is_null());
  EXPECT_TRUE(answer["proxies"][0]["exit_address"].is_null());
  EXPECT_TRUE(answer["proxies"][0]["latency_ms"].is_null());
  EXPECT_EQ(nlohmann::json::parse(answerProxyApi(*unchecked, {{"protocol", "http"}}).body)["count"], 0);
}

// The rows of the status page's table with this id: "name=count" each.
std::vector<std::string> tableRows(const std::string& page, const std::string& id) {
  std::vector<std::string> rows;
  std::size_t start = page.find("<table id=\"" + id + "\">");
  std::size_t end = page.find("</table>", start);
  const std::string cell = "</th><td class=\"n\">";
  for (std::size_t at = page.find("<tr><th>", start); at < end; at = page.find("<tr><th>", at + 1)) {
    std::size_t name = at + 8;
    std::size_t nameEnd = page.find(cell, name);
    if (nameEnd > page.find("</tr>", at)) continue;  // the heading row
    std::size_t number = nameEnd + cell.size();
    rows.push_back(page.substr(name, nameEnd - name) + "=" + page.substr(number, page.find('<', number) - number));
  }
  return rows;
}

// The <svg id="..."> element of a page.
std::string svgOf(const std::string& page, const std::string& id) {
  std::size_t start = page.find("<svg id=\"" + id + "\"");
  std::size_t end = page.find("</svg>", start);
  return start == std::string::npos || end == std::string::npos ? std::string() : page.substr(start, end + 6 - start);
}

// The heights of an SVG's bars, in order.
std::vector<double> barHeights(const std::string& svg) {
  std::vector<double> heights;
  for (std::size_t at = svg.find("<rect class=\"bar\""); at != std::string::npos;
       at = svg.find("<rect class=\"bar\"", at + 1)) {
    std::size_t height = svg.find("height=\"", at) + 8;
    heights.push_back(std::stod(svg.substr(height, svg.find('"', height) - height)));
  }
  return heights;
}

TEST_F(KindsPool, StatusShowsTheLiveEntriesByProtocolAndByGrade) {
  std::string page = *ask("/status").body;
  EXPECT_EQ(tableRows(page, "protocols"), (std::vector<std::string>{"http=2", "https=2", "socks4=1", "socks5=2"}));
  EXPECT_EQ(tableRows(page, "anonymity"),
            (std::vector<std::string>{utf8(u8"高匿 elite=2"), utf8(u8"匿名 anonymous=1"), utf8(u8"透明 transparent=1"),
                                      utf8(u8"未知 unknown=1")}));
}

TEST(ServiceStatusCharts, CountsLatenciesIntoTheirBucketsAtTheEdges) {
  std::unique_ptr<PoolStore> store = openStore(":memory:");
  std::vector<Checked> entries;
  const std::uint32_t latencies[] = {0, 49, 50, 99, 100, 199, 200, 499, 500, 999, 1000, 1999, 2000, 60000};
  for (std::uint32_t latency : latencies) {
    entries.push_back({reached("1.1.1." + std::to_string(entries.size() + 1), 80), true, latency});
  }
  entries.push_back({reached("1.1.2.1", 80), false, 10});  // not live: not counted
  std::shared_ptr<PoolSnapshot> snapshot = checkedSnapshot(*store, entries);
  EXPECT_EQ(latencyBuckets(*snapshot), (std::array<std::size_t, kLatencyBuckets>{2, 2, 2, 2, 2, 2, 2}));
  EXPECT_EQ(latencyBuckets(*buildSnapshot(store->all(), false)), (std::array<std::size_t, kLatencyBuckets>{}))
      << "an unchecked pool's latencies are not measured";
}

TEST_F(KindsPool, StatusDrawsTheRoundHistoryAndTheLatenciesToScaleAndStaysSmall) {
  // More rounds than the chart holds: the last 48, the newest at the right; round i had 100 + i live.
  std::shared_ptr<PoolSnapshot> snapshot = buildSnapshot(store_->all(), true);
  for (std::size_t round = 0; round < 60; ++round) {
    snapshot->history.push_back({static_cast<std::int64_t>(1765000000 + 600 * round), 100 + round});
  }
  std::string page = renderStatusPage(*snapshot, {});
  EXPECT_EQ(page.find("<script"), std::string::npos) << "drawn by the server, no script";

  std::vector<double> history = barHeights(svgOf(page, "history"));
  ASSERT_EQ(history.size(), 48u);
  // Heights in proportion to the counts, on one scale: round 12 (112 live) .. round 59 (159 live).
  for (std::size_t at = 0; at < history.size(); ++at) {
    EXPECT_NEAR(history[at] / history.back(), (112.0 + at) / 159.0, 0.01) << at;
  }
  EXPECT_NE(svgOf(page, "history").find(utf8(u8"2025-12-06 15:36:40 UTC：存活 159")), std::string::npos)
      << "the newest bar names its round";

  // B 20 and A 40 ms below 50, C 300 in 200-500, D 900 in 0.5-1 s, F 2500 at 2 s and more.
  std::string latency = svgOf(page, "latency");
  std::vector<double> buckets = barHeights(latency);
  ASSERT_EQ(buckets.size(), kLatencyBuckets);
  EXPECT_GT(buckets[0], 0);
  EXPECT_NEAR(buckets[3], buckets[0] / 2, 0.05);
  EXPECT_NEAR(buckets[4], buckets[0] / 2, 0.05);
  EXPECT_NEAR(buckets[6], buckets[0] / 2, 0.05);
  EXPECT_EQ(buckets[1] + buckets[2] + buckets[5], 0);
  EXPECT_NE(latency.find(utf8(u8"50 毫秒以内：2")), std::string::npos);

  // Bounded whatever the pool and the rounds: each chart a few KiB.
  EXPECT_LT(svgOf(page, "history").size(), 12u * 1024);
  EXPECT_LT(latency.size(), 4u * 1024);
  snapshot->history.resize(1);
  std::string oneRound = svgOf(renderStatusPage(*snapshot, {}), "history");
  EXPECT_EQ(barHeights(oneRound).size(), 1u);
  snapshot->history.clear();
  std::string none = svgOf(renderStatusPage(*snapshot, {}), "history");
  EXPECT_TRUE(barHeights(none).empty());
  EXPECT_NE(none.find(utf8(u8"还没有完成的检测轮次")), std::string::npos);
}

}  // namespace
