// Throughput of the live checker against a plain libcurl multi loop over the same loopback candidates
// (same parallel bound, same timeout, each proxy simply asked for the check URL, nothing verified); its
// wall time at --parallel 1024 and 4096 against the floor the silent proxies set; what probing a bare
// address for every protocol costs against checking the one protocol its list named; the resident
// memory per 1,000 checks in flight and the open files it takes. The candidates: good fake proxies
// forwarding to a local check target, refusing addresses, and silent proxies that accept and never
// answer. The farm of fake proxies and the check target run in child processes of their own, so this
// process is the checker alone: its CPU time, memory and open files are the checker's. Build with
// optimisation, no sanitizers. Everything it starts ends with it.
#include <curl/curl.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "benchClock.h"
#include "fakeProxies.h"
#include "mixedFarm.h"
#include "service/check/checkAnswer.h"
#include "service/check/checker.h"
#include "service/serviceOptions.h"

namespace {

constexpr int kRuns = 3;
constexpr std::size_t kParallel = 256;
// A check's time limits: the whole check, and its connection.
struct Limits {
  std::uint32_t totalMs;
  std::uint32_t connectMs;
};
// Short, so the comparisons take seconds; against the floor it is also the hard case, as the cost of
// setting thousands of connections up weighs most against a short timeout.
constexpr Limits kShort{1000, 1000};
// What the service checks with unless told otherwise.
const Limits kServiceDefaults{static_cast<std::uint32_t>(ServiceOptions{}.timeoutMs),
                              static_cast<std::uint32_t>(ServiceOptions{}.connectTimeoutMs)};
// Where the checks go: the check URL and the key its answers are signed with.
struct Target {
  std::string checkUrl;
  CheckKey key;
};

// CPU time of this process (the checker's), user and system, in milliseconds.
double cpuMs() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

struct Tally {
  double ms = 0;
  int alive = 0;
  int timedOut = 0;
  int other = 0;
  double cpuMs = 0;                    // the checker's (this process's) CPU time over the run
  std::vector<std::uint32_t> aliveMs;  // latency of each alive check
};

Tally runChecker(const std::vector<CheckCandidate>& candidates, const Target& target, std::size_t parallel = kParallel,
                 Limits limits = kShort) {
  CheckSettings settings;
  settings.checkUrl = target.checkUrl;
  settings.key = target.key;
  settings.parallel = parallel;
  settings.timeoutMs = limits.totalMs;
  settings.connectTimeoutMs = limits.connectMs;
  Tally tally;
  double begin = nowMs();
  double cpuBegin = cpuMs();
  checkProxies(candidates, settings, [&](const CheckOutcome& outcome) {
    if (outcome.verdict == CheckVerdict::alive) {
      ++tally.alive;
      tally.aliveMs.push_back(outcome.latencyMs);
    } else if (outcome.verdict == CheckVerdict::timedOut) {
      ++tally.timedOut;
    } else {
      ++tally.other;
    }
  });
  tally.ms = nowMs() - begin;
  tally.cpuMs = cpuMs() - cpuBegin;
  return tally;
}

size_t discard(char*, size_t size, size_t count, void*) {
  return size * count;
}

// The yardstick: the same traffic with the least a multi loop can do; a 200 counts as alive. `keepDns`:
// libcurl's DNS cache never pruned. By default libcurl 7.88 walks its whole DNS cache at the end of every
// transfer, and every proxy address:port (a numeric address too) has an entry of its own: with thousands
// of candidates that walk is most of the loop's CPU time.
Tally runPlain(const std::vector<CheckCandidate>& candidates, const std::string& checkUrl,
               std::size_t parallel = kParallel, bool keepDns = false, Limits limits = kShort) {
  const std::string url = checkUrl + "?token=0123456789abcdef0123456789abcdef";
  Tally tally;
  double begin = nowMs();
  double cpuBegin = cpuMs();
  CURLM* multi = curl_multi_init();
  std::vector<CURL*> easies(std::min(parallel, candidates.size()));
  std::vector<std::string> proxies(easies.size());
  std::size_t next = 0;
  int inFlight = 0;
  auto start = [&](std::size_t slot) {
    if (next >= candidates.size()) return;
    const CheckCandidate& candidate = candidates[next++];
    CURL* easy = easies[slot];
    curl_easy_reset(easy);
    proxies[slot] = "http://" + candidate.address + ":" + std::to_string(candidate.port);
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROXY, proxies[slot].c_str());
    curl_easy_setopt(easy, CURLOPT_NOPROXY, "");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.totalMs));
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connectMs));
    curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
    if (keepDns) curl_easy_setopt(easy, CURLOPT_DNS_CACHE_TIMEOUT, -1L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, discard);
    curl_easy_setopt(easy, CURLOPT_PRIVATE, reinterpret_cast<void*>(slot));
    curl_multi_add_handle(multi, easy);
    ++inFlight;
  };
  for (std::size_t slot = 0; slot < easies.size(); ++slot) {
    easies[slot] = curl_easy_init();
    start(slot);
  }
  while (inFlight > 0) {
    int running = 0;
    curl_multi_perform(multi, &running);
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
      if (message->msg != CURLMSG_DONE) continue;
      CURL* easy = message->easy_handle;
      CURLcode result = message->data.result;
      long status = 0;
      curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
      if (result == CURLE_OK && status == 200) {
        ++tally.alive;
      } else if (result == CURLE_OPERATION_TIMEDOUT) {
        ++tally.timedOut;
      } else {
        ++tally.other;
      }
      void* slot = nullptr;
      curl_easy_getinfo(easy, CURLINFO_PRIVATE, &slot);
      curl_multi_remove_handle(multi, easy);
      --inFlight;
      start(reinterpret_cast<std::size_t>(slot));
    }
    if (inFlight > 0) curl_multi_poll(multi, nullptr, 0, 100, nullptr);
  }
  for (CURL* easy : easies) curl_easy_cleanup(easy);
  curl_multi_cleanup(multi);
  tally.ms = nowMs() - begin;
  tally.cpuMs = cpuMs() - cpuBegin;
  return tally;
}

// One run: wall time, verdicts, this process's CPU time, and the alive checks' latency (median, 99th
// percentile, slowest).
void line(const char* what, const Tally& tally) {
  std::printf("  %-9s %9.1f ms  alive %5d  timed out %5d  other %5d  cpu %6.0f ms", what, tally.ms, tally.alive,
              tally.timedOut, tally.other, tally.cpuMs);
  if (!tally.aliveMs.empty()) {
    std::vector<std::uint32_t> ms = tally.aliveMs;
    std::sort(ms.begin(), ms.end());
    std::printf("  alive in %u / %u / %u ms", ms[ms.size() / 2], ms[ms.size() * 99 / 100], ms.back());
  }
  std::printf("\n");
}

// Runs both loops kRuns times, alternating, and prints one RESULT line (checker ms against plain ms).
void compare(const char* figure, const std::vector<CheckCandidate>& candidates, const Target& target) {
  const std::string checkUrl = target.checkUrl;
  std::vector<double> checker;
  std::vector<double> plain;
  std::printf("%s: %zu candidates, parallel %zu, timeout %u ms\n", figure, candidates.size(), kParallel,
              kShort.totalMs);
  for (int run = 0; run < kRuns; ++run) {
    Tally ours = runChecker(candidates, target);
    Tally yardstick = runPlain(candidates, checkUrl);
    line("checker", ours);
    line("plain", yardstick);
    checker.push_back(ours.ms);
    plain.push_back(yardstick.ms);
  }
  Timing ours = summarise(checker);
  Timing yardstick = summarise(plain);
  std::printf("  checker throughput / plain loop throughput: %.3f (medians %.1f ms vs %.1f ms)\n\n",
              yardstick.median / ours.median, ours.median, yardstick.median);
  std::printf("RESULT %s %.1f %.1f %.1f %.1f ms\n\n", figure, ours.median, ours.min, ours.max, yardstick.median);
}

// Resident memory in KB, from /proc.
long residentKb() {
  std::ifstream status("/proc/self/status");
  std::string word;
  while (status >> word) {
    if (word == "VmRSS:") {
      long kb = 0;
      status >> kb;
      return kb;
    }
  }
  return 0;
}

std::size_t openFiles() {
  std::error_code error;
  std::size_t count = 0;
  for (std::filesystem::directory_iterator it("/proc/self/fd", error), end; !error && it != end; it.increment(error)) {
    ++count;
  }
  return count;
}

// Wall time of the mixed list against its floor: the silent ones end only at the timeout, at most
// `parallel` at a time. One RESULT line: checker median against the floor.
void againstFloor(const std::vector<CheckCandidate>& mixed, std::size_t silent, std::size_t parallel,
                  const Target& target, Limits limits) {
  const double floorMs = static_cast<double>((silent + parallel - 1) / parallel) * limits.totalMs;
  const std::string figure = "checker_mixed_" + std::to_string(mixed.size()) + "_p" + std::to_string(parallel) + "_t" +
                             std::to_string(limits.totalMs);
  std::printf("%s: bare addresses, timeout %u ms (connect %u ms), floor ceil(%zu/%zu) x %u ms = %.0f ms\n",
              figure.c_str(), limits.totalMs, limits.connectMs, silent, parallel, limits.totalMs, floorMs);
  std::vector<double> runs;
  for (int run = 0; run < kRuns; ++run) {
    Tally tally = runChecker(mixed, target, parallel, limits);
    line("checker", tally);
    runs.push_back(tally.ms);
  }
  Timing timing = summarise(runs);
  // The same traffic through the plain loop, once as libcurl comes and once with its DNS cache never
  // pruned: what this machine and the farm allow at all.
  Tally plain = runPlain(mixed, target.checkUrl, parallel, false, limits);
  line("plain", plain);
  Tally keepDns = runPlain(mixed, target.checkUrl, parallel, true, limits);
  line("plain+dns", keepDns);
  std::printf("  wall / floor: %.3f (goal at most 1.1); plain loop / floor %.3f, without DNS cache pruning %.3f\n\n",
              timing.median / floorMs, plain.ms / floorMs, keepDns.ms / floorMs);
  std::printf("RESULT %s %.1f %.1f %.1f %.1f ms\n\n", figure.c_str(), timing.median, timing.min, timing.max, floorMs);
}

// Every protocol probed for a bare address against the one protocol its list named, on the same
// candidates; the connections each way from the farm's count.
void probeCost(const char* figure, const std::vector<CheckCandidate>& candidates, std::size_t parallel,
               const Target& target, const MixedFarm& farm) {
  const std::vector<CheckCandidate> given = named(candidates);
  const std::vector<CheckCandidate> probing = bare(candidates);
  std::vector<double> bareMs;
  std::vector<double> givenMs;
  int bareConnections = 0;
  int givenConnections = 0;
  std::printf("%s: %zu candidates, parallel %zu, bare against scheme-given (http://)\n", figure, candidates.size(),
              parallel);
  for (int run = 0; run < kRuns; ++run) {
    int before = farm.accepted();
    Tally probed = runChecker(probing, target, parallel);
    bareConnections = farm.accepted() - before;
    before = farm.accepted();
    Tally one = runChecker(given, target, parallel);
    givenConnections = farm.accepted() - before;
    line("bare", probed);
    line("named", one);
    bareMs.push_back(probed.ms);
    givenMs.push_back(one.ms);
  }
  Timing probed = summarise(bareMs);
  Timing one = summarise(givenMs);
  std::printf("  connections the farm accepted: bare %d, named %d; time bare / named %.3f\n\n", bareConnections,
              givenConnections, probed.median / one.median);
  std::printf("RESULT %s %.1f %.1f %.1f %.1f ms\n\n", figure, probed.median, probed.min, probed.max, one.median);
}

// Resident memory and open files with `silent.size()` checks in flight at once (silent proxies, a
// timeout long enough to sample them all held).
void inFlightCost(const std::vector<CheckCandidate>& silent, const Target& target) {
  const std::uint32_t holdMs = 3000;
  // A first round, so that libcurl's and the allocator's one-time costs are not counted as per check.
  runChecker(std::vector<CheckCandidate>(silent.begin(), silent.begin() + 64), target, 64, {200, 200});
  const long before = residentKb();
  const std::size_t filesBefore = openFiles();
  std::atomic<bool> done{false};
  long peakKb = before;
  std::size_t peakFiles = filesBefore;
  std::thread sampler([&] {
    while (!done) {
      peakKb = std::max(peakKb, residentKb());
      peakFiles = std::max(peakFiles, openFiles());
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  });
  Tally tally = runChecker(silent, target, silent.size(), {holdMs, holdMs});
  done = true;
  sampler.join();
  rlimit files{};
  getrlimit(RLIMIT_NOFILE, &files);
  const double perThousand = static_cast<double>(peakKb - before) * 1000.0 / static_cast<double>(silent.size());
  std::printf("checks in flight: %zu silent at once (timeout %u ms): resident %ld KB before, %ld KB at peak:\n",
              silent.size(), holdMs, before, peakKb);
  std::printf("  %.0f KB per 1,000 checks in flight (the checker's alone: the farm runs in processes of its own)\n",
              perThousand);
  std::printf(
      "  open files: %zu before, %zu at peak (the checker's end of every connection); limit %llu soft, %llu hard\n",
      filesBefore, peakFiles, static_cast<unsigned long long>(files.rlim_cur),
      static_cast<unsigned long long>(files.rlim_max));
  line("checker", tally);
  std::printf("\nRESULT checker_kb_per_1000_in_flight %.0f %.0f %.0f 0 KB\n\n", perThousand, perThousand, perThousand);
}

}  // namespace

// `--good-only`: just the comparison of good proxies, a few seconds; `--floor-only`: just the wall times
// against the floor.
int main(int argc, char** argv) {
  const bool goodOnly = argc > 1 && std::string(argv[1]) == "--good-only";
  const bool floorOnly = argc > 1 && std::string(argv[1]) == "--floor-only";
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // a run takes minutes: show each line as it comes
  // Thousands of listening sockets and connections (the limit is inherited by the farm's process).
  rlimit files{};
  getrlimit(RLIMIT_NOFILE, &files);
  files.rlim_cur = files.rlim_max;
  setrlimit(RLIMIT_NOFILE, &files);
  curl_global_init(CURL_GLOBAL_DEFAULT);

  const CheckKey key = freshCheckKey().value();
  MixedFarm farm(MixedCounts{}, FarmShape{}, key);
  const Target target{farm.checkUrl(), key};
  const std::vector<CheckCandidate>& mixed = farm.candidates().mixed;
  const std::vector<CheckCandidate>& good = farm.candidates().good;
  const std::vector<CheckCandidate>& silent = farm.candidates().silent;
  std::printf("farm: %zu listeners in %d processes of their own, the check target in another; open files here %zu\n\n",
              farm.listeners(), FarmShape{}.processes, openFiles());

  std::vector<CheckCandidate> goodFiveTimes;
  for (int round = 0; round < 5; ++round) goodFiveTimes.insert(goodFiveTimes.end(), good.begin(), good.end());
  if (goodOnly) {
    compare("checker_good_5000", named(goodFiveTimes), target);
    curl_global_cleanup();
    return 0;
  }
  // The checker's own figures first: the plain loop leaves its silent connections in TIME_WAIT, which
  // slows every connect after it. With the service's time limits, then with the short ones.
  for (Limits limits : {kServiceDefaults, kShort}) {
    for (std::size_t parallel : {std::size_t{1024}, std::size_t{4096}}) {
      againstFloor(bare(mixed), silent.size(), parallel, target, limits);
    }
  }
  if (floorOnly) {
    curl_global_cleanup();
    return 0;
  }
  probeCost("checker_probe_good_5000", goodFiveTimes, kParallel, target, farm);
  probeCost("checker_probe_mixed_10000", mixed, 1024, target, farm);
  inFlightCost(std::vector<CheckCandidate>(silent.begin(), silent.begin() + 4096), target);
  // Against the plain loop, which asks each proxy one thing: the candidates name their protocol.
  compare("checker_good_5000", named(goodFiveTimes), target);
  compare("checker_mixed_10000", named(mixed), target);
  curl_global_cleanup();
  return 0;
}
