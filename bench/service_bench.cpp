// The service's answer time with 100,000 entries in the store against today's in-memory pool with
// the same entries (the pool file's reader and the same page code), both through a real HTTP server
// on loopback; and the service program's resident memory over 10 check rounds against loopback fake proxies.
// Build with optimisation, no sanitizers.
#include <httplib.h>
#include <iconv.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "benchClock.h"
#include "fakeProxies.h"
#include "service/serve/listPage.h"
#include "service/serve/routes.h"
#include "service/sources/poolFile.h"
#include "service/sources/proxyList.h"
#include "service/store/poolSnapshot.h"

extern char** environ;

namespace {

constexpr int kEntries = 100000;
constexpr int kRequests = 300;
constexpr std::size_t kDefaultRounds = 10;

// A pool file of kEntries single addresses (UTF-8), regions and carriers mixed, a third on port
// 18186 and starting with 11, as the program asks by default.
std::string poolText() {
  const char* regions[] = {"广东广州", "北京", "上海", "浙江杭州", "福建福州", "四川成都", "湖北武汉", "江苏南京"};
  const char* carriers[] = {"电信", "联通", "移动"};
  std::string text;
  std::uint32_t state = 12345;
  for (int i = 0; i < kEntries; ++i) {
    state = state * 1103515245u + 12345u;
    unsigned first = i % 3 == 0 ? 110 + (state >> 8) % 10 : 1 + (state >> 8) % 223;
    text += std::to_string(first) + "." + std::to_string((state >> 16) & 255) + "." + std::to_string(i >> 8 & 255) +
            "." + std::to_string(i & 255) + (i % 3 == 0 ? " 18186 " : " 8080 ") + regions[(state >> 4) % 8] + " " +
            carriers[(state >> 12) % 3] + "\n";
  }
  // u8 would be cleaner, but plain literals here are GBK: convert the whole text once.
  return text;
}

// Median answer time of the program's query mix against a server on `port`.
Timing timeQueries(int port) {
  const std::vector<std::string> queries = {
      "/mo.php?sxb=&tqsl=%32%30&ports[]2=%31%38%31%38%36&ktip=%31%31&sxa=&submit=%CC%E1%20%20%C8%A1",
      "/mo.php?sxb=%B1%B1%BE%A9&tqsl=%32%30&ports[]2=&ktip=&sxa=%C1%AA%CD%A8&submit=",
      "/mo.php?sxb=&tqsl=%31%30%30%30&ports[]2=&ktip=&sxa=&submit="};
  httplib::Client client("127.0.0.1", port);
  client.set_url_encode(false);
  client.set_keep_alive(true);
  client.set_tcp_nodelay(true);
  std::vector<double> samples;
  for (int i = 0; i < kRequests; ++i) {
    double start = nowMs();
    httplib::Result result = client.Get(queries[i % queries.size()]);
    samples.push_back(nowMs() - start);
    if (!result || result->status != 200) std::fprintf(stderr, "service_bench: a query failed\n");
  }
  return summarise(samples);
}

Timing timeServer(LoopbackServer::Answer answer) {
  LoopbackServer server(std::move(answer));
  timeQueries(server.port());  // warm-up
  return timeQueries(server.port());
}

long residentKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmRSS:")) return std::stol(line.substr(6));
  }
  return 0;
}

// The real service program, started with `arguments`; its start-up line names the port.
struct ServiceProcess {
  explicit ServiceProcess(std::vector<std::string> arguments) {
    int out[2];
    if (pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    arguments.insert(arguments.begin(), QV_SERVICE_EXE);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid, QV_SERVICE_EXE, &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string line;
    char byte = 0;
    while (pid > 0 && read(out[0], &byte, 1) == 1 && byte != '\n') line += byte;
    close(out[0]);
    if (line.find("listening") != std::string::npos) port = std::atoi(line.c_str() + line.rfind(':') + 1);
  }
  ~ServiceProcess() {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
  }
  pid_t pid = -1;
  int port = 0;
};

// The round number the status page names ("（第 N 轮）"), 0 before the first.
std::size_t roundOfStatusPage(const std::string& page) {
  static const std::string marker = "\xEF\xBC\x88\xE7\xAC\xAC ";  // "（第 " in UTF-8
  std::size_t at = page.find(marker);
  return at == std::string::npos ? 0 : std::strtoul(page.c_str() + at + marker.size(), nullptr, 10);
}

void result(const char* figure, const Timing& ours, double baseline, const char* unit) {
  std::printf("RESULT %s %.3f %.3f %.3f %.3f %s\n", figure, ours.median, ours.min, ours.max, baseline, unit);
}

}  // namespace

int main(int argc, char** argv) {
  // More rounds on request, to see where the memory settles: service_bench ROUNDS
  const std::size_t kRounds = argc > 1 ? std::stoul(argv[1]) : kDefaultRounds;
  std::filesystem::path folder = std::filesystem::temp_directory_path() / "qv-service-bench";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  // Resident memory of the real service over check rounds: 2,000 loopback proxies (half good, a
  // quarter refusing, a quarter silent) in this process, the service in its own, a round a second.
  {
    std::string error;
    std::string db = (folder / "rounds.db").string();
    CheckTargetServer target;
    FakeProxyFarm farm;
    {
      std::unique_ptr<PoolStore> roundStore = PoolStore::open(db, error);
      std::vector<NewProxy> proxies;
      for (int i = 0; i < 2000; ++i) {
        CheckCandidate candidate = i % 4 == 1   ? FakeProxyFarm::refusing(i)
                                   : i % 4 == 3 ? farm.add({FakeKind::hold, 0, 0, 0}, i)
                                                : farm.add({FakeKind::forward, i % 50, 0, 0}, i);
        proxies.push_back({candidate.address, candidate.port, "", "", ""});
      }
      roundStore->add(proxies, "bench", 0);
    }
    ServiceProcess service({"--port", "0", "--db", db, "--check-url", target.checkUrl(), "--check-key",
                            target.writeKey((folder / "check.key").string()), "--timeout", "1s", "--recheck-every",
                            "1s"});
    httplib::Client client("127.0.0.1", service.port);
    std::vector<double> resident;
    for (std::size_t seen = 0; seen < kRounds && service.port > 0;) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      httplib::Result status = client.Get("/status");
      std::size_t rounds = status ? roundOfStatusPage(status->body) : 0;
      if (rounds == seen) continue;
      seen = rounds;
      resident.push_back(static_cast<double>(residentKb(service.pid)) / 1024.0);
      std::printf("  round %zu: service resident %.1f MiB\n", rounds, resident.back());
    }
    if (resident.empty()) {
      std::fprintf(stderr, "service_bench: the service did not start\n");
      return 1;
    }
    Timing memory = summarise(resident);
    result("service_rss_after_10_rounds", {resident.back(), memory.min, memory.max}, resident.front(), "MiB");
  }

  std::string gbkText = poolText();
  // The literals above are GBK in this build; the pool file is UTF-8.
  iconv_t toUtf8 = iconv_open("UTF-8", "GBK");
  std::string utf8(gbkText.size() * 2, '\0');
  char* in = gbkText.data();
  std::size_t inLeft = gbkText.size();
  char* out = utf8.data();
  std::size_t outLeft = utf8.size();
  iconv(toUtf8, &in, &inLeft, &out, &outLeft);
  iconv_close(toUtf8);
  utf8.resize(utf8.size() - outLeft);

  // Today: the pool file read into memory, answered straight from the vector.
  PoolLoad baselinePool = parsePool(utf8);
  Timing baseline = timeServer([&](const HttpRequest& request) {
    std::size_t question = request.target.find('?');
    Reply reply = answerExtraction(baselinePool.entries,
                                   question == std::string_view::npos ? "" : request.target.substr(question + 1));
    return HttpAnswer{reply.status, kPageContentType, std::make_shared<const std::string>(std::move(reply.body)), {}};
  });

  // Now: the same entries in the store, every one checked alive with its own latency, served from
  // the snapshot fastest first.
  std::string error;
  std::unique_ptr<PoolStore> store = PoolStore::open((folder / "pool.db").string(), error);
  store->add(parseProxyList(utf8, nullptr).proxies, "bench", 0);
  double recordStart = nowMs();
  std::uint32_t latency = 7;
  for (const StoredProxy& proxy : store->all()) {
    latency = (latency * 1103515245u + 12345u) & 0x7FFFFFFF;
    store->recordCheck(proxy.id, true, 20 + latency % 2000, 1765000000);
  }
  double recordMs = nowMs() - recordStart;
  double buildStart = nowMs();
  SnapshotHolder snapshot;
  snapshot.set(buildSnapshot(store->all(), true));
  double buildMs = nowMs() - buildStart;
  Timing ours = timeServer(serviceRoutes(snapshot));
  std::printf("mo.php, %d entries, %d requests (program's default query, region+carrier, 1000 entries):\n", kEntries,
              kRequests);
  std::printf("  in-memory pool (today)   median %.3f ms (min %.3f, max %.3f)\n", baseline.median, baseline.min,
              baseline.max);
  std::printf("  store + snapshot         median %.3f ms (min %.3f, max %.3f)\n", ours.median, ours.min, ours.max);
  std::printf("  snapshot rebuild from the store: %.0f ms; %d outcomes committed one by one: %.0f ms (%.0f/s)\n",
              buildMs, kEntries, recordMs, kEntries / recordMs * 1000.0);
  result("service_mo_php_100k", ours, baseline.median, "ms");

  std::filesystem::remove_all(folder);
  return 0;
}
