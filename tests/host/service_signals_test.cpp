// The real service program and its stop signals: SIGTERM and SIGINT end it in order (no new
// connection, answers in flight finished, the keeper stopped) with status 0, also in the middle of a
// check round; SIGPIPE never ends it. Every proxy and client is on loopback.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <fstream>
#include <string>
#include <thread>  // std::chrono: <chrono> itself holds a "µs" that GBK cannot hold

#include "fakeProxies.h"
#include "rawHttp.h"
#include "serviceProcess.h"
#include "service_testing.h"

namespace {

using Clock = std::chrono::steady_clock;

bool exitedCleanly(int status) {
  return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(ServiceSignals, TermAndIntFinishTheAnswerInFlightRefuseNewOnesAndExitZero) {
  TempFolder folder;
  for (int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal);
    ServiceProcess service({"--port", "0", "--pool", (sourceFolder() / "service" / "pool.txt").string()});
    int port = portOfStartLine(service.readLine());
    ASSERT_GT(port, 0);
    RawClient inFlight(port);
    ASSERT_TRUE(inFlight.send("GET /mo.php?tqsl=%33 HTTP/1.1\r\nHost: x\r\n"));
    RawClient idle(port);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    service.signal(signal);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(rawGet(port, "/mo.php?tqsl=1", "127.0.0.1", 1000)) << "a new connection after the signal";
    EXPECT_TRUE(idle.closedWithin(1000)) << "a connection without a request is closed at once";
    ASSERT_TRUE(inFlight.send("\r\n"));
    std::optional<RawAnswer> answer = inFlight.readAnswer(3000);
    ASSERT_TRUE(answer) << "the request begun before the signal is answered";
    EXPECT_EQ(listedEntries(answer->body).size(), 3u);
    EXPECT_EQ(answer->header("connection"), "close");
    EXPECT_TRUE(exitedCleanly(service.wait(7000)));
  }
}

TEST(ServiceSignals, TermInTheMiddleOfACheckRoundStopsTheKeeperAndExitsZero) {
  TempFolder folder;
  CheckTargetServer target;
  FakeProxyFarm farm;
  std::string db = folder.file("pool.db");
  std::vector<NewProxy> proxies = addToFarm(farm, {FakeKind::hold}, 20);
  openStore(db)->add(proxies, "farm", 0);
  ServiceProcess service({"--port", "0", "--db", db, "--check-url", target.checkUrl(), "--timeout", "60s"});
  ASSERT_GT(portOfStartLine(service.readLine()), 0);
  // The round has begun once the silent proxies hold its connections.
  for (int waited = 0; farm.accepted() < 20 && waited < 100; ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_EQ(farm.accepted(), 20);
  auto signalled = Clock::now();
  service.signal(SIGTERM);
  EXPECT_TRUE(exitedCleanly(service.wait(10000)));
  EXPECT_LT(Clock::now() - signalled, std::chrono::seconds(7)) << "the round's 60 s timeouts were not waited out";
}

bool ignoresSigpipe(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  unsigned long long ignored = 0;
  while (std::getline(status, line)) {
    if (line.starts_with("SigIgn:")) ignored = std::stoull(line.substr(7), nullptr, 16);
  }
  return ignored & (1ull << (SIGPIPE - 1));
}

// libcurl is told to leave signals alone, so a proxy that closes while the checker writes would end
// the program unless SIGPIPE is ignored; the server's writes to a client that left are the same.
TEST(ServiceSignals, ServerAndCheckCommandIgnoreSigpipe) {
  ServiceProcess service({"--port", "0", "--pool", (sourceFolder() / "service" / "pool.txt").string()});
  int port = portOfStartLine(service.readLine());
  ASSERT_GT(port, 0);
  EXPECT_TRUE(ignoresSigpipe(service.pid()));
  // Clients that ask for 10,000 entries and leave without reading them: the writes meet closed sockets.
  for (int i = 0; i < 20; ++i) {
    RawClient leaving(port);
    leaving.send("GET /mo.php?tqsl=%31%30%30%30%30 HTTP/1.1\r\nHost: x\r\n\r\n");
  }
  std::optional<RawAnswer> after = rawGet(port, "/mo.php?tqsl=%32");
  ASSERT_TRUE(after);
  EXPECT_EQ(listedEntries(after->body).size(), 2u);

  TempFolder folder;
  CheckTargetServer target;
  FakeProxyFarm farm;
  std::string db = folder.file("pool.db");
  CheckCandidate silent = farm.add({FakeKind::hold}, 0);
  openStore(db)->add({{silent.address, silent.port, "", "", ""}}, "farm", 0);
  ServiceProcess check({"check", "--db", db, "--check-url", target.checkUrl(), "--timeout", "60s"});
  for (int waited = 0; farm.accepted() < 1 && waited < 100; ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_EQ(farm.accepted(), 1);
  EXPECT_TRUE(ignoresSigpipe(check.pid()));
}

}  // namespace
