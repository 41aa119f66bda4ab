#pragma once
// The mixed farm the checker's benchmarks check: good fake proxies forwarding to a check target, refusing
// addresses, and silent proxies that accept and never answer, interleaved so every stretch of the list
// holds the same mix (per 20 candidates: 2 good, 9 refusing, 9 silent), each on a loopback address of its
// own. The proxies and the check target run in child processes, forked before the benchmark starts a
// thread, so the benchmark's process (or the workers it starts) is the checker alone. Everything ends with
// the farm.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fakeProxies.h"
#include "service/check/checkAnswer.h"
#include "service/check/checkKey.h"
#include "service/check/checker.h"

struct MixedCounts {
  int good = 1000;
  int refusing = 4500;
  int silent = 4500;
};

// The farm's processes and each one's answering threads. A farm forwards at most 4 requests to the target
// at once (fakeProxies.cpp): with one process, the good proxies' answers at --parallel 4096 queued for
// half a second and more.
struct FarmShape {
  int processes = 4;
  int workers = 16;
};

// 127.<block>.<i / 250>.<i % 250 + 1>: each candidate on an address of its own.
std::string spreadAddress(int block, int i);

// The candidates, as the checker is handed them (each listed as http://; bare() makes them bare).
struct MixedCandidates {
  std::vector<CheckCandidate> mixed;  // every one, in list order
  std::vector<CheckCandidate> good;
  std::vector<CheckCandidate> silent;
};

class MixedFarm {
 public:
  MixedFarm(MixedCounts counts, FarmShape shape, const CheckKey& key);
  ~MixedFarm();
  MixedFarm(const MixedFarm&) = delete;
  MixedFarm& operator=(const MixedFarm&) = delete;

  const MixedCandidates& candidates() const { return candidates_; }
  std::string checkUrl() const;
  // Connections the farm's proxies accepted so far, all processes together.
  int accepted() const;
  std::size_t listeners() const { return ports_.size(); }

 private:
  struct Child {
    pid_t pid = -1;
    int commands = -1;
    int replies = -1;
  };
  struct Planned {
    FakeKind kind;
    std::int64_t id;
    std::string address;
  };
  template <class Serve>
  Child spawn(Serve serve);
  void start(const std::vector<Planned>& planned, FarmShape shape, const CheckKey& key);

  std::vector<std::uint16_t> ports_;  // per planned proxy
  std::vector<Child> farms_;
  Child target_;
  int targetPort_ = 0;
  MixedCandidates candidates_;
};

// The same candidates as bare addresses: every protocol probed.
std::vector<CheckCandidate> bare(std::vector<CheckCandidate> candidates);
// The same candidates, each as its list would name it when it names one: HTTP.
std::vector<CheckCandidate> named(std::vector<CheckCandidate> candidates);
