// The service under a short load of random and malformed queries from concurrent clients: every
// answer is what the query must get, and the server keeps serving. scripts/soak runs the long
// version against the real binary (tests/soak).
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "fakeProxies.h"
#include "service/serve/routes.h"
#include "service_testing.h"
#include "tests/soak/queryMix.h"

namespace {

TEST(ServiceSoak, ConcurrentClientsGetWellFormedAnswersToEveryQuery) {
  constexpr int kThreads = 4;
  constexpr int kRequestsPerThread = 75;
  SnapshotHolder snapshot;
  snapshot.set(shippedSnapshot());
  const std::vector<PoolEntry>& pool = snapshot.get()->served;
  ASSERT_FALSE(pool.empty());
  LoopbackServer server(serviceRoutes(snapshot));
  const int port = server.port();

  std::atomic<int> answered{0};
  std::mutex faultsLock;
  std::vector<std::string> faults;
  std::vector<std::thread> clients;
  for (int t = 0; t < kThreads; ++t) {
    clients.emplace_back([&, t] {
      std::mt19937 random(1000 + t);
      httplib::Client client("127.0.0.1", port);
      client.set_url_encode(false);  // the target goes out byte for byte, as the program sends it
      client.set_keep_alive(t % 2 == 0);
      for (int i = 0; i < kRequestsPerThread; ++i) {
        soak::Query query = soak::makeQuery(random);
        httplib::Result result = client.Get(query.target);
        std::string fault = result ? soak::checkAnswer(query, result->status, result->get_header_value("Content-Type"),
                                                       result->body, pool.size())
                                   : "no answer: " + httplib::to_string(result.error());
        if (result) ++answered;
        if (!fault.empty()) {
          std::lock_guard lock(faultsLock);
          faults.push_back(fault + " for " + query.target.substr(0, 80));
        }
      }
    });
  }
  for (std::thread& client : clients) client.join();

  // Still serving after the load.
  httplib::Result last = server.get("/mo.php?tqsl=%32%30&ktip=%31%31");

  EXPECT_EQ(answered, kThreads * kRequestsPerThread);
  for (size_t i = 0; i < faults.size() && i < 10; ++i) ADD_FAILURE() << faults[i];
  EXPECT_EQ(faults.size(), 0u);
  ASSERT_TRUE(last);
  soak::Query twenty;
  twenty.count = 20;
  twenty.prefix = "11";
  std::string fault = soak::checkAnswer(twenty, last->status, last->get_header_value("Content-Type"), last->body);
  EXPECT_EQ(fault, "");
}

}  // namespace
