#pragma once
// Check outcomes on their way to the store. The checking thread only queues them; the thread that owns
// the store commits them in batches (one transaction each), so a slow or locked store never holds up a
// check in flight. A batch the store refuses is kept and tried again, backing off, never dropped and
// never counted against its proxies; the refusal is reported at most once a minute. A "not checked"
// outcome is settled without a write: its entry stays due.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>  // steady_clock, without <chrono>'s literals GBK cannot hold
#include <vector>

#include "service/check/checker.h"
#include "service/store/poolStore.h"

// One outcome on its way: the entry it is for and when its check ended.
struct SettledCheck {
  DueProxy proxy;
  CheckOutcome outcome;
  std::int64_t checkedAt = 0;  // Unix seconds
};

struct WriterTiming {
  int batchMs = 200;             // an outcome waits at most this long for others to join its batch
  std::size_t batchSize = 1000;  // ... or until this many are queued
  int firstRetryMs = 250;        // after a refused batch; doubling up to maxRetryMs
  int maxRetryMs = 8000;
  int reportEveryMs = 60000;  // a lasting refusal is reported at most this often
};

class CheckWriter {
 public:
  // One transaction for the records; false, with the store's message, when nothing was written.
  using Commit = std::function<bool(const std::vector<CheckRecord>&, std::string& error)>;
  // Each batch once settled (written; or "not checked", never written), on the writing thread.
  using OnSettled = std::function<void(const std::vector<SettledCheck>&)>;
  using Report = std::function<void(const std::string&)>;

  CheckWriter(Commit commit, OnSettled onSettled, Report report, WriterTiming timing = {});
  CheckWriter(const CheckWriter&) = delete;
  CheckWriter& operator=(const CheckWriter&) = delete;

  // Any thread.
  void add(const DueProxy& proxy, const CheckOutcome& outcome);
  void wake();                  // ends the writing thread's waitForWork now
  std::size_t waiting() const;  // outcomes queued or refused, not yet settled

  // The writing thread only.
  // Returns once a batch is due, wake() was called, or `mostMs` passed.
  void waitForWork(int mostMs);
  // Settles the queued outcomes when a batch is due (`all`: whatever is queued), unless the store
  // refused the last batch and its back-off has not passed. True when nothing is left waiting.
  bool write(bool all = false);
  // Writes until nothing is left, `mostMs` passes or `giveUp` is set; returns how many are left.
  std::size_t flush(int mostMs, const std::atomic<bool>* giveUp = nullptr);
  bool refusing() const { return refusing_; }  // the store refused the last batch

 private:
  using Clock = std::chrono::steady_clock;
  bool batchDue(Clock::time_point now) const;  // with mutex_ held
  void commitBatch(std::vector<SettledCheck> batch, Clock::time_point now);

  Commit commit_;
  OnSettled onSettled_;
  Report report_;
  WriterTiming timing_;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<SettledCheck> queued_;  // guarded by mutex_, as are the two below
  Clock::time_point oldest_;          // when the first of queued_ arrived
  bool woken_ = false;

  // The writing thread's own.
  std::vector<SettledCheck> refused_;  // tried again first, with whatever joined it
  std::atomic<std::size_t> taken_{0};  // outcomes out of the queue and not settled: in a commit, or refused
  bool refusing_ = false;
  Clock::time_point retryAt_;
  int retryMs_ = 0;
  bool reported_ = false;
  Clock::time_point reportedAt_;
};
