// The HTTP front as a hostile client meets it: bodies, methods, heads too large, deadlines, connection
// caps, malformed and pipelined requests. Every client here is on loopback (127.0.0.x).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "fakeProxies.h"
#include "protocol/listMarkers.h"
#include "rawHttp.h"
#include "service/serve/listPage.h"
#include "service/serve/routes.h"
#include "service/serviceOptions.h"
#include "service_testing.h"
#include "tests/soak/badRequests.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

const SnapshotHolder& shippedPool() {
  static SnapshotHolder holder;
  static bool filled = (holder.set(shippedSnapshot()), true);
  (void)filled;
  return holder;
}

// Every answer the service gives is its GBK page with both markers and an empty list, unless it lists.
void expectEmptyPage(const RawAnswer& answer) {
  EXPECT_EQ(answer.header("content-type"), kPageContentType);
  EXPECT_NE(answer.body.find(std::string(kListStartMarker) + kListEndMarker), std::string::npos) << answer.body;
}

class ServiceFront : public testing::Test {
 protected:
  LoopbackServer server_{serviceRoutes(shippedPool())};
};

TEST_F(ServiceFront, RefusesABodyBeyondOneKibibyteWithoutReadingTheRest) {
  // Declared: refused after the head alone, though 400 MB were promised.
  RawClient declared(server_.port());
  declared.send("POST /mo.php HTTP/1.1\r\nHost: x\r\nContent-Length: 400000000\r\n\r\n" + std::string(65536, 'x'));
  std::optional<RawAnswer> answer = declared.readAnswer(3000);
  ASSERT_TRUE(answer) << "no answer before the body was read";
  EXPECT_EQ(answer->status, 413);
  expectEmptyPage(*answer);
  EXPECT_TRUE(declared.closedWithin(3000));

  // Chunked: refused as the chunks pass 1 KiB, though more keep coming.
  RawClient chunked(server_.port());
  chunked.send("GET /mo.php?tqsl=1 HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n");
  for (int i = 0; i < 3; ++i) chunked.send("200\r\n" + std::string(512, 'y') + "\r\n");
  answer = chunked.readAnswer(3000);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 413);

  // Within the limit, a body is read and ignored, and the connection serves the next request.
  RawClient small(server_.port());
  small.send("GET /mo.php?tqsl=%32 HTTP/1.1\r\nHost: x\r\nContent-Length: 1024\r\n\r\n" + std::string(1024, 'z') +
             "GET /mo.php?tqsl=%33 HTTP/1.1\r\nHost: x\r\n\r\n");
  for (std::size_t listed : {2u, 3u}) {
    answer = small.readAnswer(3000);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
    EXPECT_EQ(listedEntries(answer->body).size(), listed);
  }
}

TEST_F(ServiceFront, AnswersGetAndHeadOnlyAndNamesThemToOtherMethods) {
  for (std::string method : {"POST", "PUT", "DELETE", "OPTIONS", "PATCH", "TRACE", "CONNECT", "BREW"}) {
    RawClient client(server_.port());
    client.send(method + " /mo.php?tqsl=1 HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n");
    std::optional<RawAnswer> answer = client.readAnswer(3000);
    ASSERT_TRUE(answer) << method;
    EXPECT_EQ(answer->status, 405) << method;
    EXPECT_EQ(answer->header("allow"), "GET, HEAD") << method;
    expectEmptyPage(*answer);
  }
  RawClient client(server_.port());
  client.send("GET /mo.php?tqsl=%35 HTTP/1.1\r\nHost: x\r\n\r\nHEAD /mo.php?tqsl=%35 HTTP/1.1\r\nHost: x\r\n\r\n");
  std::optional<RawAnswer> get = client.readAnswer(3000);
  std::optional<RawAnswer> head = client.readAnswer(3000, true);
  ASSERT_TRUE(get && head);
  EXPECT_EQ(head->status, 200);
  EXPECT_EQ(head->header("content-length"), std::to_string(get->body.size()));
  EXPECT_FALSE(client.readAnswer(300)) << "a HEAD answer carries no body";
}

// 256 slow clients from four addresses other than the host's own (64 each, so the per-address cap is not
// what cuts them) either trickle a header line every half second or never send a byte. Ordinary requests
// meanwhile are all answered, quickly; the slow ones are cut at the head deadline (2 s here), not before.
void holdSlowClients(bool trickle) {
  ServerLimits limits;
  limits.headTimeoutMs = 2000;
  limits.threads = 2;  // as on the 2-core machines: connections dealt out between two loops
  LoopbackServer server(serviceRoutes(shippedPool()), limits);
  std::vector<RawClient> slow;
  for (int i = 0; i < 256; ++i) {
    slow.emplace_back(server.port(), "127.0.0." + std::to_string(2 + i / 64));
    ASSERT_TRUE(slow.back().connected()) << i;
    if (trickle) slow.back().send("GET /mo.php?tqsl=1 HTTP/1.1\r\n");
  }
  const Clock::time_point start = Clock::now();
  std::vector<double> answerMs;
  int lost = 0;
  int linesSent = 0;
  std::size_t cutEarly = 0;
  bool looked = false;
  while (msSince(start) < 3000) {
    if (trickle && msSince(start) >= 500.0 * (linesSent + 1)) {
      std::string line = "X-Slow-" + std::to_string(linesSent++) + ": 1\r\n";
      for (RawClient& client : slow) client.send(line);
    }
    if (!looked && msSince(start) > 1500) {
      looked = true;
      for (RawClient& client : slow) cutEarly += client.closedWithin(0);
    }
    Clock::time_point asked = Clock::now();
    std::optional<RawAnswer> answer = rawGet(server.port(), "/mo.php?tqsl=%35", "127.0.0.1", 2000);
    if (answer && answer->status == 200 && listedEntries(answer->body).size() == 5) {
      answerMs.push_back(msSince(asked));
    } else {
      ++lost;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(lost, 0);
  ASSERT_FALSE(answerMs.empty());
  std::sort(answerMs.begin(), answerMs.end());
  EXPECT_LT(answerMs[answerMs.size() / 2], 100.0) << "median answer time while the slow clients hold on";
  EXPECT_EQ(cutEarly, 0u) << "cut before the head deadline";
  std::size_t open = 0;
  for (RawClient& client : slow) open += !client.closedWithin(1000);
  EXPECT_EQ(open, 0u) << "still open a second after the head deadline";
  EXPECT_EQ(server.counters().headTimeouts, 256u);
}

TEST(ServiceFrontDeadlines, TricklingClientsAreCutAtTheHeadDeadlineWhileOthersAreServed) {
  holdSlowClients(true);
}

TEST(ServiceFrontDeadlines, SilentClientsAreCutAtTheHeadDeadlineWhileOthersAreServed) {
  holdSlowClients(false);
}

TEST(ServiceFrontDeadlines, AKeptAliveConnectionIsClosedAfterTheIdleTime) {
  ServerLimits limits;
  limits.idleTimeoutMs = 500;
  LoopbackServer server(serviceRoutes(shippedPool()), limits);
  RawClient client(server.port());
  client.send("GET /mo.php?tqsl=1 HTTP/1.1\r\nHost: x\r\n\r\n");
  ASSERT_TRUE(client.readAnswer(3000));
  EXPECT_FALSE(client.closedWithin(250));
  EXPECT_TRUE(client.closedWithin(1000));
  EXPECT_EQ(server.counters().idleCloses, 1u);
  EXPECT_EQ(server.counters().headTimeouts, 0u);
}

TEST(ServiceFrontCaps, AnAddressPastItsCapIsRefusedWhileOthersAndTheHostAreServed) {
  ServerLimits limits;
  limits.maxPerClient = 8;
  LoopbackServer server(serviceRoutes(shippedPool()), limits);
  std::vector<RawClient> held;
  for (int i = 0; i < 8; ++i) held.emplace_back(server.port(), "127.0.0.6");
  // Closed at once, without an answer.
  std::optional<RawAnswer> refused = rawGet(server.port(), "/mo.php?tqsl=1", "127.0.0.6", 2000);
  EXPECT_FALSE(refused);
  EXPECT_EQ(server.counters().perClientRefused, 1u);
  std::optional<RawAnswer> other = rawGet(server.port(), "/mo.php?tqsl=1", "127.0.0.7");
  ASSERT_TRUE(other);
  EXPECT_EQ(other->status, 200);
  // The host itself is never capped.
  std::vector<RawClient> local;
  for (int i = 0; i < 20; ++i) local.emplace_back(server.port());
  for (RawClient& client : local) {
    client.send("GET /mo.php?tqsl=%32 HTTP/1.1\r\nHost: x\r\n\r\n");
    std::optional<RawAnswer> answer = client.readAnswer(3000);
    ASSERT_TRUE(answer);
    EXPECT_EQ(listedEntries(answer->body).size(), 2u);
  }
  // A place given back is free again.
  held.pop_back();
  std::optional<RawAnswer> again;
  for (int tries = 0; !again && tries < 20; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    again = rawGet(server.port(), "/mo.php?tqsl=1", "127.0.0.6", 2000);
  }
  EXPECT_TRUE(again);
}

TEST(ServiceFrontCaps, ConnectionsPastTheTotalCapAreRefused) {
  ServerLimits limits;
  limits.maxConnections = 20;
  LoopbackServer server(serviceRoutes(shippedPool()), limits);
  std::vector<RawClient> held;
  for (int i = 0; i < 20; ++i) held.emplace_back(server.port());
  for (int waited = 0; server.openConnections() < 20 && waited < 100; ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_FALSE(rawGet(server.port(), "/mo.php?tqsl=1", "127.0.0.1", 2000));
  EXPECT_EQ(server.counters().totalRefused, 1u);
  held.clear();
  for (int waited = 0; server.openConnections() > 0 && waited < 100; ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::optional<RawAnswer> answer = rawGet(server.port(), "/mo.php?tqsl=1");
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 200);
}

TEST(ServiceFrontCaps, HeadsAndTargetsPastTheirCapsAreRefusedAndCounted) {
  LoopbackServer server(serviceRoutes(shippedPool()));
  struct Case {
    std::string bytes;
    int status;
  };
  const std::vector<Case> cases = {
      // A request line that goes on without an end: refused before the head cap, from the target cap.
      {"GET /mo.php?tqsl=1&ktip=" + std::string(9000, '1'), 414},
      {"GET /mo.php?" + std::string(8200, 'a') + " HTTP/1.1\r\n\r\n", 414},
      {"GET /mo.php?tqsl=1 HTTP/1.1\r\nX-Big: " + std::string(17000, 'b') + "\r\n\r\n", 431},
      {"GET /mo.php?tqsl=1 HTTP/1.1\r\nX-A: " + std::string(9000, 'a') + "\r\nX-B: " + std::string(9000, 'b') +
           "\r\n\r\n",
       431},
  };
  for (const Case& each : cases) {
    RawClient client(server.port());
    client.send(each.bytes);
    std::optional<RawAnswer> answer = client.readAnswer(3000);
    ASSERT_TRUE(answer) << each.status;
    EXPECT_EQ(answer->status, each.status);
    expectEmptyPage(*answer);
  }
  EXPECT_EQ(server.counters().targetTooLong, 2u);
  EXPECT_EQ(server.counters().headTooLarge, 2u);
  // The counts are on the status page.
  SnapshotHolder shipped;
  shipped.set(shippedSnapshot());
  LoopbackServer counted(serviceRoutes(shipped, &server.counters()));
  std::optional<RawAnswer> status = rawGet(counted.port(), "/status");
  ASSERT_TRUE(status);
  EXPECT_NE(status->body.find(utf8(u8"414 地址太长 URL too long</th><td class=\"n\">2</td>")), std::string::npos);
  EXPECT_NE(status->body.find(utf8(u8"431 请求头太大 head too large</th><td class=\"n\">2</td>")), std::string::npos);
}

// The short form of the soak's malformed requests: every one gets what it must, and the server keeps
// serving with no connection left behind.
TEST(ServiceFrontMalformed, EveryKindOfBadRequestGetsItsAnswerAndTheServerCarriesOn) {
  ServerLimits limits;
  limits.headTimeoutMs = soak::kBadRequestHeadTimeoutMs;
  limits.threads = 2;
  LoopbackServer server(serviceRoutes(shippedPool()), limits);
  constexpr int kThreads = 4;
  constexpr int kEach = 50;
  std::mutex lock;
  std::vector<std::string> faults;
  std::vector<std::thread> clients;
  for (int t = 0; t < kThreads; ++t) {
    clients.emplace_back([&, t] {
      std::mt19937 random(77 + t);
      for (int i = 0; i < kEach; ++i) {
        std::string fault = soak::tryBadRequest(server.port(), soak::makeBadRequest(random));
        if (fault.empty()) continue;
        std::lock_guard guard(lock);
        faults.push_back(fault);
      }
    });
  }
  for (std::thread& client : clients) client.join();
  for (std::size_t i = 0; i < faults.size() && i < 10; ++i) ADD_FAILURE() << faults[i];
  std::optional<RawAnswer> after = rawGet(server.port(), "/mo.php?tqsl=%32%30&ktip=%31%31");
  ASSERT_TRUE(after);
  EXPECT_EQ(listedEntries(after->body).size(), 20u);
  for (int waited = 0; server.openConnections() > 0 && waited < 300; ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(server.openConnections(), 0u) << "a connection left behind";
}

TEST(ServiceFrontOptions, ReadsTheDeadlinesAndCapsAndRefusesThemOutOfRange) {
  std::optional<ServiceOptions> given = parseServiceOptions(
      {"--head-timeout", "2s", "--idle-timeout", "500ms", "--max-head-bytes", "4096", "--max-url-bytes", "1024",
       "--max-per-client", "8", "--max-connections", "100", "--threads", "2"},
      "");
  ASSERT_TRUE(given);
  EXPECT_EQ(given->headTimeoutMs, 2000);
  EXPECT_EQ(given->idleTimeoutMs, 500);
  EXPECT_EQ(given->maxHeadBytes, 4096u);
  EXPECT_EQ(given->maxUrlBytes, 1024u);
  EXPECT_EQ(given->maxPerClient, 8u);
  EXPECT_EQ(given->maxConnections, 100u);
  EXPECT_EQ(given->threads, 2u);
  std::optional<ServiceOptions> defaults = parseServiceOptions({}, "");
  ASSERT_TRUE(defaults);
  EXPECT_EQ(defaults->headTimeoutMs, 10000);
  EXPECT_EQ(defaults->idleTimeoutMs, 5000);
  EXPECT_EQ(defaults->maxPerClient, 64u);
  EXPECT_EQ(defaults->maxConnections, 10000u);
  for (const std::vector<std::string_view>& bad : std::vector<std::vector<std::string_view>>{
           {"--head-timeout", "0"},
           {"--idle-timeout", "11m"},
           {"--max-head-bytes", "1023"},
           {"--max-url-bytes", "2000000"},
           {"--max-per-client", "0"},
           {"--max-connections", "x"},
           {"--threads", "17"},
           {"check", "--check-url", "http://127.0.0.1:9/", "--head-timeout", "1s"},
           {"import", "--max-connections", "5", "a.txt"}}) {
    EXPECT_FALSE(parseServiceOptions(bad, "")) << bad.front() << " " << bad.back();
  }
}

}  // namespace
