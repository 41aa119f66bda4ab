#include <gtest/gtest.h>
#include <httplib.h>

#include <filesystem>
#include <set>
#include <string>
// <thread> and not <chrono>: the C++20 part of <chrono> has a literal (µs) GBK cannot express.
#include <thread>
#include <utility>
#include <vector>

#include "service/extractQuery.h"
#include "service/filterPool.h"
#include "service/listPage.h"
#include "service/poolSnapshot.h"
#include "service/proxyPool.h"
#include "service/serviceOptions.h"
#include "service/serviceRoutes.h"
#include "service_testing.h"

namespace {

const SnapshotHolder& shipped() {
  static SnapshotHolder holder;
  static bool filled = (holder.set(shippedSnapshot()), true);
  (void)filled;
  return holder;
}

const std::vector<PoolEntry>& shippedPool() {
  return shipped().get()->served;
}

// The real server on an ephemeral loopback port, in a thread of its own, for one test.
class ServiceServer : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(shippedPool().empty());
    installRoutes(server_, shipped(), {});
    port_ = server_.bind_to_any_port("127.0.0.1");
    ASSERT_GT(port_, 0);
    listener_ = std::thread([this] { server_.listen_after_bind(); });
    for (int waited = 0; !server_.is_running() && waited < 5000; ++waited)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(server_.is_running());
  }

  void TearDown() override {
    server_.stop();
    if (listener_.joinable()) listener_.join();
  }

  httplib::Result get(const std::string& target) {
    httplib::Client client("127.0.0.1", port_);
    client.set_url_encode(false);  // send the target byte for byte, as the program does
    return client.Get(target);
  }

  httplib::Server server_;
  std::thread listener_;
  int port_ = 0;
};

TEST_F(ServiceServer, AnswersTheProgramsDefaultQueryWithTwentyEntries) {
  httplib::Result result =
      get("/mo.php?sxb=&tqsl=%32%30&ports[]2=%31%38%31%38%36&ktip=%31%31&sxa=&submit=%CC%E1%20%20%C8%A1");
  ASSERT_TRUE(result) << httplib::to_string(result.error());
  EXPECT_EQ(result->status, 200);
  EXPECT_EQ(result->get_header_value("Content-Type"), kPageContentType);
  CutList cut = cutList(result->body);
  ASSERT_TRUE(cut.found);
  std::vector<std::string> entries = splitEntries(cut.list);
  ASSERT_EQ(entries.size(), 20u);
  for (const std::string& entry : entries) {
    EXPECT_TRUE(entry.starts_with("11") && entry.ends_with(":18186")) << entry;
  }
}

// The shipped pool holds enough default-query entries for the largest list a client can ask for.
TEST_F(ServiceServer, ServesAHugeCountAsTenThousandDistinctEntries) {
  httplib::Result result = get("/mo.php?sxb=&tqsl=%39%39%39%39%39&ports[]2=%31%38%31%38%36&ktip=%31%31&sxa=&submit=");
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, 200);
  std::vector<std::string> entries = splitEntries(cutList(result->body).list);
  EXPECT_EQ(entries.size(), static_cast<std::size_t>(kMaxCount));
  EXPECT_EQ(std::set<std::string>(entries.begin(), entries.end()).size(), entries.size());
}

TEST_F(ServiceServer, ListsExactlyWhatTheFiltersChoose) {
  // Region 北京, carrier 电信, region 州 with carrier 移动, port 8080 alone: decoded from GBK on the way.
  for (std::string query : {"sxb=%B1%B1%BE%A9&tqsl=%35%30", "tqsl=%35%30&sxa=%B5%E7%D0%C5",
                            "sxb=%D6%DD&sxa=%D2%C6%B6%AF&tqsl=%33%30%30", "tqsl=%31%30%30&ports[]2=%38%30%38%30"}) {
    httplib::Result result = get("/mo.php?" + query);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200) << query;
    std::vector<std::string> expected;
    for (const PoolEntry* entry : filterPool(shippedPool(), parseExtractQuery(query).request)) {
      expected.push_back(entry->address + ":" + std::to_string(entry->port));
    }
    EXPECT_FALSE(expected.empty()) << query;
    EXPECT_EQ(splitEntries(cutList(result->body).list), expected) << query;
  }
}

TEST_F(ServiceServer, EveryOtherAnswerIsAGbkPageWithAnEmptyList) {
  const std::string longPrefix(kMaxQueryBytes, '1');
  const std::string beyondTheServersLimit(9000, '1');
  const std::vector<std::pair<std::string, int>> cases = {
      {"/mo.php", 200},
      {"/mo.php?tqsl=0", 200},
      {"/mo.php?tqsl=%32%30&ktip=%39%39%39", 200},
      {"/mo.php?tqsl=%32%30&ktip=%3", 400},
      {"/mo.php?tqsl=%32%30&foo=1", 400},
      {"/mo.php?tqsl=%32%30&tqsl=%32%30", 400},
      {"/mo.php?tqsl=abc", 400},
      {"/mo.php?sxb=&ports[]2=%31%38%31%38%36", 400},
      {"/mo.php?tqsl=1&ports[]2=%37%30%30%30%30", 400},
      {"/mo.php?tqsl=1&ktip=" + longPrefix, 414},
      {"/mo.php?tqsl=1&ktip=" + beyondTheServersLimit, 414},
      {"/index.php", 404},
      {"/mo.php/x?tqsl=1", 404},
  };
  for (const auto& [target, status] : cases) {
    SCOPED_TRACE(target.substr(0, 60));
    httplib::Result result = get(target);
    ASSERT_TRUE(result) << httplib::to_string(result.error());
    EXPECT_EQ(result->status, status);
    EXPECT_EQ(result->get_header_value("Content-Type"), kPageContentType);
    CutList cut = cutList(result->body);
    EXPECT_TRUE(cut.found);
    EXPECT_EQ(cut.list, "");
  }
}

TEST(ServiceOptions, TakesTheDefaultPortFromTheServiceAddress) {
  EXPECT_EQ(portOfServiceUrl("http://127.0.0.1:8088"), 8088);
  EXPECT_EQ(portOfServiceUrl("http://localhost:9000/base"), 9000);
  EXPECT_EQ(portOfServiceUrl("http://[::1]:7000"), 7000);
  EXPECT_EQ(portOfServiceUrl("http://localhost"), 80);
  EXPECT_EQ(portOfServiceUrl("http://localhost:99999"), 80);
}

TEST(ServiceOptions, ReadsTheServersOptionsAndRefusesAnythingElse) {
  std::optional<ServiceOptions> given =
      parseServiceOptions({"--pool", "/tmp/p.txt", "--port", "9001", "--listen", "0.0.0.0", "--db", "x.db",
                           "--check-url", "http://127.0.0.1:9/check", "--parallel", "16", "--timeout", "1500ms",
                           "--recheck-every", "2m", "--ip-db", "r.db"},
                          "beside.txt");
  ASSERT_TRUE(given);
  EXPECT_EQ(given->command, ServiceCommand::serve);
  EXPECT_EQ(given->port, 9001);
  EXPECT_EQ(given->pool, "/tmp/p.txt");
  EXPECT_TRUE(given->poolGiven);
  EXPECT_EQ(given->listen, "0.0.0.0");
  EXPECT_EQ(given->db, "x.db");
  EXPECT_EQ(given->ipDb, "r.db");
  EXPECT_EQ(given->checkUrl, "http://127.0.0.1:9/check");
  EXPECT_EQ(given->parallel, 16u);
  EXPECT_EQ(given->timeoutMs, 1500);
  EXPECT_EQ(given->recheckEverySeconds, 120);
  EXPECT_FALSE(given->help);

  std::optional<ServiceOptions> defaults = parseServiceOptions({}, "beside.txt");
  ASSERT_TRUE(defaults);
  EXPECT_EQ(defaults->pool, "beside.txt");
  EXPECT_FALSE(defaults->poolGiven);
  EXPECT_EQ(defaults->listen, "127.0.0.1") << "loopback unless asked";
  EXPECT_EQ(defaults->checkUrl, "") << "no checking unless asked";
  EXPECT_EQ(defaults->parallel, 256u);
  EXPECT_EQ(defaults->timeoutMs, 5000);
  EXPECT_EQ(defaults->recheckEverySeconds, 600);
  EXPECT_EQ(parseServiceOptions({"--port", "0"}, "")->port, 0);
  EXPECT_TRUE(parseServiceOptions({"--help"}, "")->help);

  for (const std::vector<std::string_view>& bad :
       std::vector<std::vector<std::string_view>>{{"--port"},
                                                  {"--port", "65536"},
                                                  {"--port", "80x"},
                                                  {"--port", ""},
                                                  {"--pool"},
                                                  {"--pool", ""},
                                                  {"-p", "1"},
                                                  {"9000"},
                                                  {"--parallel", "0"},
                                                  {"--timeout", "5x"},
                                                  {"--timeout", "0s"},
                                                  {"--timeout", "11m"},
                                                  {"--check-url", "ftp://x/"},
                                                  {"--listen"},
                                                  {"--recheck-every", ""},
                                                  {"import"},
                                                  {"check", "--db", "x.db"},
                                                  {"import", "--port", "1", "a.txt"},
                                                  {"check", "--check-url", "http://127.0.0.1/", "a.txt"}}) {
    EXPECT_FALSE(parseServiceOptions(bad, "beside.txt").has_value()) << bad.front() << " " << bad.size();
  }
}

TEST(ServiceOptions, ReadsTheImportAndCheckCommands) {
  std::optional<ServiceOptions> import =
      parseServiceOptions({"import", "--db", "p.db", "a.txt", "http://127.0.0.1:1/b.txt"}, "");
  ASSERT_TRUE(import);
  EXPECT_EQ(import->command, ServiceCommand::import);
  EXPECT_EQ(import->db, "p.db");
  EXPECT_EQ(import->sources, (std::vector<std::string>{"a.txt", "http://127.0.0.1:1/b.txt"}));

  std::optional<ServiceOptions> check = parseServiceOptions(
      {"check", "--check-url", "http://127.0.0.1:9/check", "--timeout", "2", "--parallel", "8"}, "");
  ASSERT_TRUE(check);
  EXPECT_EQ(check->command, ServiceCommand::check);
  EXPECT_EQ(check->timeoutMs, 2000);
  EXPECT_EQ(check->parallel, 8u);

  EXPECT_EQ(parseDuration("250ms"), 250);
  EXPECT_EQ(parseDuration("10m"), 600000);
  EXPECT_EQ(parseDuration("1h"), 3600000);
  EXPECT_FALSE(parseDuration("-1s"));
  EXPECT_FALSE(parseDuration("s"));
}

}  // namespace
