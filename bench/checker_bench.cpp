// Throughput of the live checker against a plain libcurl multi loop over the same loopback candidates
// (same parallel bound, same timeout, each proxy simply asked for the check URL, nothing verified), and
// its wall time as the list grows. The candidates: good fake proxies forwarding to a local check
// target, refusing addresses, and silent proxies that accept and never answer. Build with
// optimisation, no sanitizers. Everything it starts ends with it.
#include <curl/curl.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "fakeProxies.h"
#include "service/check/checker.h"

namespace {

constexpr int kRuns = 3;
constexpr std::size_t kParallel = 256;
constexpr std::uint32_t kTimeoutMs = 1000;
constexpr int kGood = 1000;
constexpr int kRefusing = 4500;
constexpr int kSilent = 4500;

double nowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

// 127.<block>.<i / 250>.<i % 250 + 1>: each candidate on an address of its own.
std::string spread(int block, int i) {
  return "127." + std::to_string(block) + "." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
}

struct Tally {
  double ms = 0;
  int alive = 0;
  int timedOut = 0;
  int other = 0;
};

Tally runChecker(const std::vector<CheckCandidate>& candidates, const CheckTargetServer& target) {
  CheckSettings settings;
  settings.checkUrl = target.checkUrl();
  settings.key = target.key();
  settings.parallel = kParallel;
  settings.timeoutMs = kTimeoutMs;
  Tally tally;
  double begin = nowMs();
  checkProxies(candidates, settings, [&](const CheckOutcome& outcome) {
    if (outcome.verdict == CheckVerdict::alive) {
      ++tally.alive;
    } else if (outcome.verdict == CheckVerdict::timedOut) {
      ++tally.timedOut;
    } else {
      ++tally.other;
    }
  });
  tally.ms = nowMs() - begin;
  return tally;
}

size_t discard(char*, size_t size, size_t count, void*) {
  return size * count;
}

// The yardstick: the same traffic with the least a multi loop can do; a 200 counts as alive.
Tally runPlain(const std::vector<CheckCandidate>& candidates, const std::string& checkUrl) {
  const std::string url = checkUrl + "?token=0123456789abcdef0123456789abcdef";
  Tally tally;
  double begin = nowMs();
  CURLM* multi = curl_multi_init();
  std::vector<CURL*> easies(std::min(kParallel, candidates.size()));
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
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(kTimeoutMs));
    curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
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
  return tally;
}

struct Timing {
  double median;
  double min;
  double max;
};

Timing summarise(std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  return {ms[ms.size() / 2], ms.front(), ms.back()};
}

void line(const char* what, const Tally& tally) {
  std::printf("  %-8s %9.1f ms  alive %5d  timed out %5d  other %5d\n", what, tally.ms, tally.alive, tally.timedOut,
              tally.other);
}

// Runs both loops kRuns times, alternating, and prints one RESULT line (checker ms against plain ms).
void compare(const char* figure, const std::vector<CheckCandidate>& candidates, const CheckTargetServer& target) {
  const std::string checkUrl = target.checkUrl();
  std::vector<double> checker;
  std::vector<double> plain;
  std::printf("%s: %zu candidates, parallel %zu, timeout %u ms\n", figure, candidates.size(), kParallel, kTimeoutMs);
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

}  // namespace

// `--good-only`: just the first comparison, a few seconds.
int main(int argc, char** argv) {
  const bool goodOnly = argc > 1 && std::string(argv[1]) == "--good-only";
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // a run takes minutes: show each line as it comes
  // Thousands of listening sockets and connections in one process.
  rlimit files{};
  getrlimit(RLIMIT_NOFILE, &files);
  files.rlim_cur = files.rlim_max;
  setrlimit(RLIMIT_NOFILE, &files);
  curl_global_init(CURL_GLOBAL_DEFAULT);

  CheckTargetServer target;
  FakeProxyFarm farm(16);
  // Interleaved, so every stretch of the list holds the same mix: per 20 candidates, 2 good, 9 refusing,
  // 9 silent.
  std::vector<CheckCandidate> mixed;
  std::vector<CheckCandidate> good;
  int goodMade = 0, refusingMade = 0, silentMade = 0;
  for (std::int64_t id = 0; id < kGood + kRefusing + kSilent; ++id) {
    int phase = static_cast<int>(id % 20);
    if (phase < 2 && goodMade < kGood) {
      mixed.push_back(farm.add({FakeKind::forward}, id, spread(1, goodMade++)));
      good.push_back(mixed.back());
    } else if (phase < 11 && refusingMade < kRefusing) {
      mixed.push_back(FakeProxyFarm::refusing(id, spread(2, refusingMade++)));
    } else {
      mixed.push_back(farm.add({FakeKind::hold}, id, spread(3, silentMade++)));
    }
  }

  std::vector<CheckCandidate> goodFiveTimes;
  for (int round = 0; round < 5; ++round) goodFiveTimes.insert(goodFiveTimes.end(), good.begin(), good.end());
  compare("checker_good_5000", goodFiveTimes, target);
  if (goodOnly) {
    curl_global_cleanup();
    return 0;
  }
  compare("checker_mixed_10000", mixed, target);

  // Wall time against the floor the timeout sets: the silent ones end only at the timeout, at most
  // `parallel` at a time.
  std::printf("checker wall time as the list grows (parallel %zu, timeout %u ms):\n", kParallel, kTimeoutMs);
  for (std::size_t count : {std::size_t{2500}, std::size_t{5000}, std::size_t{10000}}) {
    std::vector<CheckCandidate> part(mixed.begin(), mixed.begin() + static_cast<std::ptrdiff_t>(count));
    std::size_t silent = count * kSilent / mixed.size();
    double floorMs = static_cast<double>((silent + kParallel - 1) / kParallel) * kTimeoutMs;
    Tally tally = runChecker(part, target);
    std::printf(
        "  %5zu candidates (%4zu silent): %8.1f ms; timeout floor ceil(%zu/%zu) x %u ms = %6.0f ms; ratio %.2f\n",
        count, silent, tally.ms, silent, kParallel, kTimeoutMs, floorMs, tally.ms / floorMs);
  }
  curl_global_cleanup();
  return 0;
}
