// Who may ask: the --allow networks, the front's 403 before any route, and the real service refusing a
// client on another loopback address (127.0.0.2 stands for one from elsewhere) until it is allowed.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <vector>

#include "fakeProxies.h"
#include "protocol/listMarkers.h"
#include "rawHttp.h"
#include "service/check/checkAnswer.h"
#include "service/clientGate.h"
#include "service/serve/listPage.h"
#include "service/serviceOptions.h"
#include "serviceProcess.h"
#include "service_testing.h"

namespace {

ClientGate gateOf(std::string_view list) {
  std::string problem;
  std::optional<ClientGate> gate = ClientGate::parse(list, problem);
  EXPECT_TRUE(gate) << list << ": " << problem;
  return gate.value_or(ClientGate{});
}

TEST(ClientGate, ReadsIpv4AndIpv6NetworksAndBareAddresses) {
  ClientGate gate = gateOf("10.0.0.0/8, 192.168.1.7,2001:db8::/32,\t198.51.100.9/30,2001:db8:ffff::1");
  for (const char* inside : {"10.0.0.0", "10.255.255.255", "192.168.1.7", "2001:db8::1", "2001:db8:abcd::9",
                             "198.51.100.8", "198.51.100.11", "2001:db8:ffff::1"}) {
    EXPECT_TRUE(gate.admits(inside)) << inside;
  }
  for (const char* outside : {"11.0.0.0", "9.255.255.255", "192.168.1.6", "192.168.1.8", "2001:db9::1", "198.51.100.12",
                              "198.51.100.7", "2001:db7:ffff::1"}) {
    EXPECT_FALSE(gate.admits(outside)) << outside;
  }
  // Odd prefix lengths cut inside a byte.
  ClientGate odd = gateOf("172.16.0.0/12,2001:db8:8000::/33");
  EXPECT_TRUE(odd.admits("172.31.255.1"));
  EXPECT_FALSE(odd.admits("172.32.0.1"));
  EXPECT_TRUE(odd.admits("2001:db8:ffff::1"));
  EXPECT_FALSE(odd.admits("2001:db8:7fff::1"));
  // Host bits below the prefix do not narrow it.
  EXPECT_TRUE(gateOf("10.1.2.3/8").admits("10.200.0.1"));
  // /0 is a whole family, and only that family.
  ClientGate everyV4 = gateOf("0.0.0.0/0");
  EXPECT_TRUE(everyV4.admits("203.0.113.5"));
  EXPECT_FALSE(everyV4.admits("2001:db8::5"));
  ClientGate everyV6 = gateOf("::/0");
  EXPECT_TRUE(everyV6.admits("2001:db8::5"));
  EXPECT_FALSE(everyV6.admits("203.0.113.5"));
}

TEST(ClientGate, RefusesABadItemNamingIt) {
  for (const char* bad : {"10.0.0.0/33", "::1/129", "10.0.0.256", "10.0.0", "10.0.0.0/", "10.0.0.0/x", "10.0.0.0/-1",
                          "10.0.0.0/+8", "10.0.0.0/0008", "10.0.0.0/8/9", "host.example", "2001:db8::g",
                          "1.2.3.4 5.6.7.8", "::ffff:10.0.0.0/64", "010.0.0.1"}) {
    std::string problem;
    EXPECT_FALSE(ClientGate::parse(std::string("127.0.0.0/8,") + bad + ",::1", problem)) << bad;
    EXPECT_NE(problem.find(std::string("'") + bad + "'"), std::string::npos) << bad << ": " << problem;
    EXPECT_TRUE(problem.starts_with("--allow: ")) << problem;
  }
  for (const char* empty : {"", ",", "10.0.0.1,", ",10.0.0.1", "10.0.0.1,,::1", " "}) {
    std::string problem;
    EXPECT_FALSE(ClientGate::parse(empty, problem)) << "'" << empty << "'";
    EXPECT_NE(problem.find("empty item"), std::string::npos) << problem;
  }
}

TEST(ClientGate, AlwaysAdmitsTheHostItselfAndOtherLoopbackOnlyWhenListed) {
  for (const ClientGate& gate : {ClientGate{}, gateOf("10.0.0.0/8"), gateOf("2001:db8::/32")}) {
    EXPECT_TRUE(gate.admits("127.0.0.1"));
    EXPECT_TRUE(gate.admits("::1"));
    EXPECT_TRUE(gate.admits("::ffff:127.0.0.1"));
    EXPECT_FALSE(gate.admits("127.0.0.2"));
    EXPECT_FALSE(gate.admits("127.1.0.1"));
    EXPECT_FALSE(gate.admits("::ffff:127.0.0.2"));
    EXPECT_FALSE(gate.admits("0.0.0.0"));
    EXPECT_FALSE(gate.admits("::"));
    // What cannot be read is never let in.
    EXPECT_FALSE(gate.admits(""));
    EXPECT_FALSE(gate.admits("localhost"));
    EXPECT_FALSE(gate.admits("10.0.0.1:80"));
  }
  ClientGate one = gateOf("127.0.0.2");
  EXPECT_TRUE(one.admits("127.0.0.2"));
  EXPECT_FALSE(one.admits("127.0.0.3"));
  ClientGate all = gateOf("127.0.0.0/8");
  EXPECT_TRUE(all.admits("127.9.8.7"));
  EXPECT_FALSE(all.admits("128.0.0.1"));
}

TEST(ClientGate, JudgesIpv4MappedAddressesAsTheirIpv4) {
  ClientGate gate = gateOf("10.0.0.0/8");
  EXPECT_TRUE(gate.admits("::ffff:10.1.2.3"));
  EXPECT_TRUE(gate.admits("::FFFF:10.1.2.3"));
  EXPECT_TRUE(gate.admits("::ffff:a01:203")) << "the same address, written in hex";
  EXPECT_FALSE(gate.admits("::ffff:11.1.2.3"));
  EXPECT_FALSE(gateOf("::/0").admits("::ffff:10.1.2.3")) << "an IPv4 client is not matched by IPv6 networks";
  // A mapped item is the IPv4 network it names: its bits count over the whole IPv6 address.
  ClientGate mapped = gateOf("::ffff:192.0.2.0/120,::ffff:198.51.100.7");
  EXPECT_TRUE(mapped.admits("192.0.2.200"));
  EXPECT_TRUE(mapped.admits("::ffff:192.0.2.1"));
  EXPECT_FALSE(mapped.admits("192.0.3.1"));
  EXPECT_TRUE(mapped.admits("198.51.100.7"));
  EXPECT_FALSE(mapped.admits("198.51.100.8"));
  // A link-local client carries its interface.
  EXPECT_TRUE(gateOf("fe80::/10").admits("fe80::1%eth0"));
}

TEST(ClientGate, KnowsWhichListeningAddressesStayOnThisMachine) {
  for (const char* loopback : {"127.0.0.1", "127.0.0.2", "127.255.0.9", "::1"}) {
    EXPECT_TRUE(isLoopbackListen(loopback)) << loopback;
  }
  for (const char* beyond : {"0.0.0.0", "::", "10.0.0.1", "192.168.1.2", "2001:db8::1", "128.0.0.1", "localhost", ""}) {
    EXPECT_FALSE(isLoopbackListen(beyond)) << beyond;
  }
}

TEST(ServiceOptions, ReadsAllowAndWillNotListenBeyondLoopbackWithoutIt) {
  std::string problem;
  std::optional<ServiceOptions> open = parseServiceOptions({"--listen", "0.0.0.0"}, "", &problem);
  EXPECT_FALSE(open);
  EXPECT_NE(problem.find("--listen 0.0.0.0"), std::string::npos) << problem;
  EXPECT_NE(problem.find("--allow"), std::string::npos) << problem;
  EXPECT_FALSE(parseServiceOptions({"--listen", "::"}, ""));
  EXPECT_FALSE(parseServiceOptions({"--listen", "192.0.2.1"}, ""));
  EXPECT_TRUE(parseServiceOptions({"--listen", "127.0.0.5"}, ""));
  EXPECT_TRUE(parseServiceOptions({"--listen", "::1"}, ""));

  std::optional<ServiceOptions> allowed =
      parseServiceOptions({"--listen", "0.0.0.0", "--allow", "10.0.0.0/8", "--allow", "2001:db8::/32"}, "");
  ASSERT_TRUE(allowed);
  EXPECT_TRUE(allowed->gate.admits("10.9.9.9"));
  EXPECT_TRUE(allowed->gate.admits("2001:db8::9")) << "each --allow adds its networks";
  EXPECT_FALSE(allowed->gate.admits("192.0.2.1"));
  EXPECT_TRUE(allowed->gate.admits("127.0.0.1"));

  std::optional<ServiceOptions> plain = parseServiceOptions({}, "");
  ASSERT_TRUE(plain);
  EXPECT_TRUE(plain->gate.admits("127.0.0.1"));
  EXPECT_FALSE(plain->gate.admits("127.0.0.2")) << "without --allow, the host itself alone";

  problem.clear();
  EXPECT_FALSE(parseServiceOptions({"--allow", "10.0.0.0/8,10.0.0.0/40"}, "", &problem));
  EXPECT_NE(problem.find("'10.0.0.0/40'"), std::string::npos) << problem;
  problem.clear();
  EXPECT_FALSE(parseServiceOptions({"--allow", ""}, "", &problem));
  EXPECT_NE(problem.find("--allow"), std::string::npos) << problem;
  EXPECT_FALSE(parseServiceOptions({"--allow"}, ""));
  EXPECT_FALSE(parseServiceOptions({"import", "--allow", "10.0.0.0/8", "a.txt"}, "")) << "serving only";
  EXPECT_FALSE(parseServiceOptions({"check", "--check-url", "http://127.0.0.1:9/", "--allow", "10.0.0.0/8"}, ""));
}

// The front's gate with a route that counts its calls.
class ClientGateFront : public testing::Test {
 protected:
  std::atomic<int> routed_{0};
  LoopbackServer server_{[this](const HttpRequest&) {
                           ++routed_;
                           return HttpAnswer{200, "text/plain", std::make_shared<const std::string>("hello"), {}};
                         },
                         {},
                         [gate = gateOf("127.0.0.3")](std::string_view peer) { return gate.admits(peer); }};
};

TEST_F(ClientGateFront, RefusesAnOutsiderWith403BeforeAnyRouteAndClosesItsConnection) {
  RawClient outsider(server_.port(), "127.0.0.2");
  ASSERT_TRUE(outsider.connected());
  // Pipelined: the first is refused, the connection closes, the second is never read.
  outsider.send("GET /mo.php?tqsl=1 HTTP/1.1\r\nHost: x\r\n\r\nGET /status HTTP/1.1\r\nHost: x\r\n\r\n");
  std::optional<RawAnswer> answer = outsider.readAnswer();
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 403);
  EXPECT_EQ(answer->header("content-type"), kPageContentType);
  EXPECT_NE(answer->body.find(std::string(kListStartMarker) + kListEndMarker), std::string::npos);
  EXPECT_EQ(answer->header("connection"), "close");
  EXPECT_TRUE(outsider.closedWithin(3000));

  // Any method: the gate comes before the others' refusals.
  RawClient posting(server_.port(), "127.0.0.2");
  posting.send("POST /mo.php HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n");
  answer = posting.readAnswer();
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 403);
  RawClient heading(server_.port(), "127.0.0.2");
  heading.send("HEAD /mo.php HTTP/1.1\r\nHost: x\r\n\r\n");
  answer = heading.readAnswer(5000, true);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 403);

  EXPECT_EQ(routed_.load(), 0) << "no route ran for a refused client";
  EXPECT_EQ(server_.counters().notAllowed.load(), 3u);
  EXPECT_EQ(server_.counters().methodNotAllowed.load(), 0u);
}

TEST_F(ClientGateFront, LetsInTheListedAndTheHostItself) {
  for (const char* from : {"127.0.0.3", "127.0.0.1"}) {
    std::optional<RawAnswer> answer = rawGet(server_.port(), "/mo.php?tqsl=1", from);
    ASSERT_TRUE(answer) << from;
    EXPECT_EQ(answer->status, 200) << from;
    EXPECT_EQ(answer->body, "hello");
  }
  EXPECT_EQ(routed_.load(), 2);
  EXPECT_EQ(server_.counters().notAllowed.load(), 0u);
}

// The refusal count the status page shows on its "not allowed" row; -1 when there is none.
long notAllowedOnStatus(int port) {
  std::optional<RawAnswer> status = rawGet(port, "/status");
  if (!status || status->status != 200) return -1;
  const std::string row = "not allowed</th><td class=\"n\">";
  std::size_t at = status->body.find(row);
  return at == std::string::npos ? -1 : std::atol(status->body.c_str() + at + row.size());
}

std::vector<std::string> servePool(std::vector<std::string> more) {
  std::vector<std::string> arguments = {"--port", "0", "--pool", (sourceFolder() / "service" / "pool.txt").string()};
  arguments.insert(arguments.end(), more.begin(), more.end());
  return arguments;
}

TEST(ServiceGate, TheRunningServiceRefusesAnotherLoopbackAddressAndCountsIt) {
  ServiceProcess service(servePool({}));
  int port = portOfStartLine(service.readLine());
  ASSERT_GT(port, 0);
  EXPECT_EQ(notAllowedOnStatus(port), 0);
  for (const char* target : {"/mo.php?tqsl=3", "/api/proxies", "/status"}) {
    std::optional<RawAnswer> refused = rawGet(port, target, "127.0.0.2");
    ASSERT_TRUE(refused) << target;
    EXPECT_EQ(refused->status, 403) << target;
    EXPECT_TRUE(listedEntries(refused->body).empty()) << target;
  }
  EXPECT_EQ(notAllowedOnStatus(port), 3);
  // The check answer is for the proxies being checked, which ask from wherever they are.
  std::optional<RawAnswer> check =
      rawGet(port, std::string(kCheckPath) + "?token=0123456789abcdef0123456789abcdef", "127.0.0.2");
  ASSERT_TRUE(check);
  EXPECT_EQ(check->status, 200);
  EXPECT_NE(check->body.find("0123456789abcdef"), std::string::npos);
  EXPECT_EQ(notAllowedOnStatus(port), 3);
  std::optional<RawAnswer> own = rawGet(port, "/mo.php?tqsl=3");
  ASSERT_TRUE(own);
  EXPECT_EQ(listedEntries(own->body).size(), 3u) << "127.0.0.1 is always let in";
}

TEST(ServiceGate, TheRunningServiceAnswersWhatAllowCovers) {
  for (const char* allow : {"127.0.0.2/32", "127.0.0.0/30", "::ffff:127.0.0.2"}) {
    SCOPED_TRACE(allow);
    ServiceProcess service(servePool({"--allow", allow}));
    int port = portOfStartLine(service.readLine());
    ASSERT_GT(port, 0);
    std::optional<RawAnswer> allowed = rawGet(port, "/mo.php?tqsl=3", "127.0.0.2");
    ASSERT_TRUE(allowed);
    EXPECT_EQ(allowed->status, 200);
    EXPECT_EQ(listedEntries(allowed->body).size(), 3u);
    std::optional<RawAnswer> other = rawGet(port, "/mo.php?tqsl=3", "127.0.0.4");
    ASSERT_TRUE(other);
    EXPECT_EQ(other->status, 403);
    std::optional<RawAnswer> own = rawGet(port, "/api/proxies?count=1");
    ASSERT_TRUE(own);
    EXPECT_EQ(own->status, 200);
    EXPECT_EQ(notAllowedOnStatus(port), 1);
  }
}

TEST(ServiceGate, RefusesToStartBeyondLoopbackWithoutAllowOrWithABadItem) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--listen", "0.0.0.0"}, "--allow CIDR"},
      {{"--listen", "::"}, "--allow CIDR"},
      {{"--allow", "127.0.0.2,127.0.0.300"}, "'127.0.0.300'"},
  };
  for (const auto& [arguments, said] : cases) {
    SCOPED_TRACE(arguments.back());
    ServiceProcess service(servePool(arguments), {.withErrors = true});
    std::string line = service.readLine();
    EXPECT_NE(line.find(said), std::string::npos) << line;
    int status = service.wait(10000);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2) << "as other option errors";
  }
}

}  // namespace
