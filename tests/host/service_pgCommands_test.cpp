// The program's commands on a shared PostgreSQL store: import, check and serve with --db postgresql://…,
// and the URI's password never in what they print or serve. Every proxy here is on loopback.
#include <gtest/gtest.h>
#include <httplib.h>

#include <string>
#include <vector>

#include "fakeProxies.h"
#include "pgCluster.h"
#include "serviceProcess.h"
#include "service_testing.h"

namespace {

// Every line, with the password nowhere in any of them.
std::string allOf(ServiceProcess& process, const std::string& secret) {
  std::string text;
  for (const std::string& line : process.readAll(60000)) {
    EXPECT_EQ(line.find(secret), std::string::npos) << "the password leaked: " << line;
    text += line + "\n";
  }
  return text;
}

TEST(ServicePostgresCommands, ImportCheckAndServeShareTheDatabaseAndNeverSayThePassword) {
  PgCluster* cluster = PgCluster::get();
  if (!cluster) GTEST_SKIP() << PgCluster::why();
  std::string db = cluster->fresh();
  const std::string& secret = cluster->password();
  TempFolder folder;
  CheckTargetServer target;
  FakeProxyFarm farm;
  std::string list;
  for (const NewProxy& proxy : addToFarm(farm, {FakeKind::forward, 0, 0, 0}, 3)) {
    list += proxy.address + ":" + std::to_string(proxy.port) + "\n";
  }
  CheckCandidate refusing = FakeProxyFarm::refusing(0);
  list += refusing.address + ":" + std::to_string(refusing.port) + "\n";
  std::string file = folder.write("list.txt", list);
  std::string key = target.writeKey(folder.file("check.key"));

  ServiceProcess import({"import", "--db", db, "--allow-private", file}, {.withErrors = true});
  std::string imported = allOf(import, secret);
  EXPECT_EQ(WEXITSTATUS(import.wait()), 0) << imported;
  EXPECT_NE(imported.find("added 4, merged 0"), std::string::npos) << imported;

  ServiceProcess check({"check", "--db", db, "--check-url", target.checkUrl(), "--check-key", key, "--timeout", "2s"},
                       {.withErrors = true});
  std::string checked = allOf(check, secret);
  EXPECT_EQ(WEXITSTATUS(check.wait()), 0) << checked;
  EXPECT_NE(checked.find("3 alive"), std::string::npos) << checked;

  ServiceProcess serve({"--port", "0", "--db", db, "--check-url", target.checkUrl(), "--check-key", key},
                       {.withErrors = true});
  std::string line;
  for (std::string next = serve.readLine(); !next.empty(); next = serve.readLine()) {
    EXPECT_EQ(next.find(secret), std::string::npos) << next;
    if (next.find("listening on") != std::string::npos) {
      line = next;
      break;
    }
  }
  ASSERT_NE(line.find("3 entries served of 4"), std::string::npos) << line;
  EXPECT_NE(line.find("postgres:***@127.0.0.1"), std::string::npos) << line;
  int port = portOfStartLine(line);
  httplib::Result status = getLoopback(port, "/status");
  ASSERT_TRUE(status);
  EXPECT_EQ(status->body.find(secret), std::string::npos);
  EXPECT_EQ(listedEntries(getLoopback(port, "/mo.php?tqsl=%31%30")->body).size(), 3u);
  serve.signal(SIGTERM);
  EXPECT_EQ(serve.wait(), 0);

  // A wrong password is refused in words that do not hold it.
  std::string wrong = "postgresql://postgres:N0t-" + secret + "@127.0.0.1:" + std::to_string(cluster->port()) + "/x";
  ServiceProcess refused({"--port", "0", "--db", wrong}, {.withErrors = true});
  std::string said = allOf(refused, "N0t-" + secret);
  EXPECT_NE(said.find("password authentication failed"), std::string::npos) << said;
  EXPECT_NE(said.find("postgres:***@"), std::string::npos) << said;
  EXPECT_EQ(WEXITSTATUS(refused.wait()), 1);
}

}  // namespace
