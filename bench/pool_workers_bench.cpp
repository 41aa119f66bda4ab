// Shared checking on PostgreSQL: 1, 2 and 4 real `quorvelip-service check --forever` workers at once on
// one database, over the 10,000 loopback candidates of the checker's mixed farm (1,000 good, 4,500
// refusing, 4,500 silent), listed bare. Wall time of the whole round — from starting the workers to the
// last outcome written — against the floor the silent proxies set for the total parallelism, as the
// checker's own benchmark defines it: ceil(silent / (workers × --parallel)) × --timeout.
//
// `check` without --forever claims every due entry in one statement, so a second worker started beside
// it finds nothing; the workers therefore run --forever with a recheck period far beyond the run, and
// the round ends when every entry has an outcome in the store (polled every 50 ms), at which the workers
// are stopped with SIGTERM. A fresh database per run. The cluster, the farm and the workers end with the
// benchmark. Build with optimisation, no sanitizers.
#include <libpq-fe.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "benchClock.h"
#include "benchFolder.h"
#include "childProgram.h"
#include "mixedFarm.h"
#include "pgCluster.h"
#include "service/store/poolStore.h"

namespace {

constexpr int kDefaultRuns = 3;
// Per worker. With 4,500 silent candidates the floor is 18, 9 and 5 timeouts for 1, 2 and 4 workers:
// each doubling of the workers changes it. 2 s keeps a worker's claim and round turns small beside it.
constexpr int kParallel = 256;
constexpr int kTimeoutMs = 2000;
constexpr int kWorkerCounts[] = {1, 2, 4};

// One number a query answers; -1 when it fails.
long long queried(PGconn* db, const char* sql) {
  PGresult* result = PQexec(db, sql);
  long long value = PQresultStatus(result) == PGRES_TUPLES_OK ? std::atoll(PQgetvalue(result, 0, 0)) : -1;
  PQclear(result);
  return value;
}

struct Round {
  double ms = 0;
  long long checked = 0;
  long long alive = 0;
  std::vector<long long> perWorker;  // outcomes each worker wrote, from its round lines
  std::string rounds;                // each worker's rounds: "4.3+4.1+…" seconds
};

// A worker's "checked N in X s: A alive" lines: the outcomes summed, and the rounds' times.
long long checkedBy(const std::string& output, std::string& rounds) {
  long long total = 0;
  std::string times;
  for (std::size_t at = output.find("checked "); at != std::string::npos; at = output.find("checked ", at + 1)) {
    char* end = nullptr;
    total += std::strtoll(output.c_str() + at + 8, &end, 10);
    if (std::strncmp(end, " in ", 4) != 0) continue;
    if (!times.empty()) times += '+';
    times.append(end + 4, std::strcspn(end + 4, " "));
  }
  if (!rounds.empty()) rounds += " / ";
  rounds += times;
  return total;
}

Round runRound(PgCluster& cluster, const std::vector<NewProxy>& proxies, int workers, const std::string& checkUrl,
               const std::string& keyFile, const BenchFolder& folder) {
  const std::string db = cluster.fresh();
  {
    std::string error;
    std::unique_ptr<PoolStore> store = PoolStore::open(db, error);
    if (!store) throw std::runtime_error("store: " + error);
    store->add(proxies, "farm", 0);
  }
  PGconn* watch = PQconnectdb(db.c_str());
  const std::vector<std::string> worker = {QV_SERVICE_EXE,
                                           "check",
                                           "--forever",
                                           "--db",
                                           db,
                                           "--check-url",
                                           checkUrl,
                                           "--check-key",
                                           keyFile,
                                           "--parallel",
                                           std::to_string(kParallel),
                                           "--timeout",
                                           std::to_string(kTimeoutMs) + "ms",
                                           "--connect-timeout",
                                           std::to_string(kTimeoutMs) + "ms",
                                           "--recheck-every",
                                           "1h"};
  Round round;
  std::vector<std::string> outputs;
  std::vector<std::unique_ptr<ChildProgram>> running;
  const double begin = nowMs();
  for (int i = 0; i < workers; ++i) {
    outputs.push_back(folder.file("worker-" + std::to_string(workers) + "-" + std::to_string(i) + ".log"));
    std::remove(outputs.back().c_str());
    running.push_back(std::make_unique<ChildProgram>(worker, outputs.back()));
  }
  const long long total = static_cast<long long>(proxies.size());
  // Not stuck: far beyond the floor of one worker.
  const double deadline = begin + 300000;
  while ((round.checked = queried(watch, "SELECT count(*) FROM proxies WHERE last_checked > 0")) < total &&
         nowMs() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  round.ms = nowMs() - begin;
  round.alive = queried(watch, "SELECT count(*) FROM proxies WHERE last_checked > 0 AND failures = 0");
  PQfinish(watch);
  for (auto& process : running) process->signal(SIGTERM);
  for (std::size_t i = 0; i < running.size(); ++i) {
    if (running[i]->wait() != 0)
      std::fprintf(stderr, "pool_workers_bench: a worker ended badly:\n%s", fileText(outputs[i]).c_str());
    round.perWorker.push_back(checkedBy(fileText(outputs[i]), round.rounds));
  }
  if (round.checked < total)
    std::fprintf(stderr, "pool_workers_bench: %lld of %lld checked in time\n", round.checked, total);
  cluster.drop(db);
  return round;
}

}  // namespace

// pool_workers_bench [RUNS]
int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultRuns;
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  // Thousands of listening sockets in the farm (its processes inherit the limit), and the workers' checks.
  rlimit files{};
  getrlimit(RLIMIT_NOFILE, &files);
  files.rlim_cur = files.rlim_max;
  setrlimit(RLIMIT_NOFILE, &files);

  BenchFolder folder("qv-pool-workers-bench");
  const std::string keyFile = folder.file("check.key");
  std::string error;
  std::optional<CheckKey> key = loadCheckKey(keyFile, error);
  if (!key) {
    std::fprintf(stderr, "pool_workers_bench: %s\n", error.c_str());
    return 1;
  }
  // Forked before anything else starts: the farm's processes hold nothing of the cluster.
  MixedFarm farm(MixedCounts{}, FarmShape{}, *key);
  PgCluster* cluster = PgCluster::get();
  if (!cluster) {
    std::printf("pool_workers_bench: skipped: %s\n", PgCluster::why().c_str());
    return 0;
  }
  std::vector<NewProxy> proxies;
  for (const CheckCandidate& candidate : farm.candidates().mixed)
    proxies.push_back({candidate.address, candidate.port, "", "", ""});
  const std::size_t silent = farm.candidates().silent.size();
  int status = 0;
  try {
    for (int workers : kWorkerCounts) {
      const std::size_t inFlight = static_cast<std::size_t>(workers * kParallel);
      const double floorMs = static_cast<double>((silent + inFlight - 1) / inFlight) * kTimeoutMs;
      const std::string figure = "pool_workers_" + std::to_string(workers) + "_" + std::to_string(proxies.size());
      std::printf(
          "%s: %d x check --forever --parallel %d --timeout %d ms on one PostgreSQL database, %zu bare "
          "candidates; floor ceil(%zu/%zu) x %d ms = %.0f ms\n",
          figure.c_str(), workers, kParallel, kTimeoutMs, proxies.size(), silent, inFlight, kTimeoutMs, floorMs);
      std::vector<double> times;
      for (int run = 0; run < runs; ++run) {
        Round round = runRound(*cluster, proxies, workers, farm.checkUrl(), keyFile, folder);
        std::string shares;
        for (long long share : round.perWorker) shares += (shares.empty() ? "" : " / ") + std::to_string(share);
        std::printf("  %9.1f ms  written %lld  alive %lld  by worker %s  rounds (s) %s\n", round.ms, round.checked,
                    round.alive, shares.c_str(), round.rounds.c_str());
        times.push_back(round.ms);
      }
      Timing timing = summarise(times);
      std::printf("  wall / floor: %.3f\n\n", timing.median / floorMs);
      std::printf("RESULT %s %.1f %.1f %.1f %.1f ms\n\n", figure.c_str(), timing.median, timing.min, timing.max,
                  floorMs);
    }
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "pool_workers_bench: %s\n", failure.what());
    status = 1;
  }
  PgCluster::shutDown();
  return status;
}
