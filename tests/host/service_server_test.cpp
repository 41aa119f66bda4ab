#include <gtest/gtest.h>
#include <httplib.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fakeProxies.h"
#include "protocol/listMarkers.h"
#include "service/serve/extractRequest.h"
#include "service/serve/listPage.h"
#include "service/serve/routes.h"
#include "service/serviceOptions.h"
#include "service/store/poolSnapshot.h"
#include "service_testing.h"

namespace {

// The real routes over the shipped pool, unchecked, on a loopback port.
class ServiceServer : public testing::Test {
 protected:
  static const SnapshotHolder& shipped() {
    static SnapshotHolder holder;
    static bool filled = (holder.set(shippedSnapshot()), true);
    (void)filled;
    return holder;
  }
  LoopbackServer server_{serviceRoutes(shipped())};
};

// The shipped pool holds enough default-query entries for the largest list a client can ask for.
TEST_F(ServiceServer, AnswersTheProgramsDefaultQueryAndAHugeCountWithDistinctEntries) {
  for (const auto& [count, listed] : {std::pair{"%32%30", 20}, std::pair{"%39%39%39%39%39", kMaxCount}}) {
    httplib::Result result = server_.get("/mo.php?sxb=&tqsl=" + std::string(count) +
                                         "&ports[]2=%31%38%31%38%36&ktip=%31%31&sxa=&submit=%CC%E1%20%20%C8%A1");
    ASSERT_TRUE(result) << httplib::to_string(result.error());
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->get_header_value("Content-Type"), kPageContentType);
    std::vector<std::string> entries = listedEntries(result->body);
    ASSERT_EQ(entries.size(), static_cast<std::size_t>(listed));
    EXPECT_EQ(std::set<std::string>(entries.begin(), entries.end()).size(), entries.size());
    for (const std::string& entry : entries) {
      EXPECT_TRUE(entry.starts_with("11") && entry.ends_with(":18186")) << entry;
    }
  }
}

// The filters need exactly the GBK bytes the program sent, so the route reads the raw query.
TEST_F(ServiceServer, AnswersTheRawQueryByteForByte) {
  // Region 北京; region 州 with carrier 移动.
  for (std::string query : {"sxb=%B1%B1%BE%A9&tqsl=%35%30", "sxb=%D6%DD&sxa=%D2%C6%B6%AF&tqsl=%33%30%30"}) {
    httplib::Result result = server_.get("/mo.php?" + query);
    ASSERT_TRUE(result);
    Reply expected = answerExtraction(shipped().get()->served, query);
    EXPECT_FALSE(listedEntries(expected.body).empty()) << query;
    EXPECT_EQ(result->status, expected.status) << query;
    EXPECT_EQ(result->body, expected.body) << query;
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
      {"/mo.php?tqsl=5&sxb=%u5317", 400},  // httplib's own decoding would make UTF-8 of it
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
    httplib::Result result = server_.get(target);
    ASSERT_TRUE(result) << httplib::to_string(result.error());
    EXPECT_EQ(result->status, status);
    EXPECT_EQ(result->get_header_value("Content-Type"), kPageContentType);
    EXPECT_NE(result->body.find(std::string(kListStartMarker) + kListEndMarker), std::string::npos) << "empty list";
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
      parseServiceOptions({"--pool", "/tmp/p.txt", "--port", "9001", "--listen", "127.0.0.9", "--db", "x.db",
                           "--check-url", "http://127.0.0.1:9/check", "--parallel", "16", "--timeout", "1500ms",
                           "--recheck-every", "2m", "--ip-db", "r.db"},
                          "beside.txt");
  ASSERT_TRUE(given);
  EXPECT_EQ(given->command, ServiceCommand::serve);
  EXPECT_EQ(given->port, 9001);
  EXPECT_EQ(given->pool, "/tmp/p.txt");
  EXPECT_TRUE(given->poolGiven);
  EXPECT_EQ(given->listen, "127.0.0.9");
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
