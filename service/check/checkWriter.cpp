#include "service/check/checkWriter.h"

#include <algorithm>
#include <ctime>
#include <exception>
#include <utility>

namespace {

std::string outcomes(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " outcome" : " outcomes");
}

}  // namespace

CheckWriter::CheckWriter(Commit commit, OnSettled onSettled, Report report, WriterTiming timing)
    : commit_(std::move(commit)),
      onSettled_(std::move(onSettled)),
      report_(std::move(report)),
      timing_(timing),
      retryMs_(timing.firstRetryMs) {}

void CheckWriter::add(const DueProxy& proxy, const CheckOutcome& outcome) {
  SettledCheck check{proxy, outcome, std::time(nullptr)};
  std::lock_guard lock(mutex_);
  if (queued_.empty()) oldest_ = Clock::now();
  queued_.push_back(std::move(check));
  if (queued_.size() == 1 || queued_.size() == timing_.batchSize) changed_.notify_all();
}

void CheckWriter::wake() {
  std::lock_guard lock(mutex_);
  woken_ = true;
  changed_.notify_all();
}

std::size_t CheckWriter::waiting() const {
  std::lock_guard lock(mutex_);
  return queued_.size() + taken_;
}

bool CheckWriter::batchDue(Clock::time_point now) const {
  if (refusing_) return now >= retryAt_ && (!queued_.empty() || !refused_.empty());
  return !queued_.empty() &&
         (queued_.size() >= timing_.batchSize || now >= oldest_ + std::chrono::milliseconds(timing_.batchMs));
}

void CheckWriter::waitForWork(int mostMs) {
  std::unique_lock lock(mutex_);
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(mostMs);
  while (!woken_ && !batchDue(Clock::now()) && Clock::now() < deadline) {
    Clock::time_point until = deadline;
    if (refusing_) {
      until = std::min(until, retryAt_);
    } else if (!queued_.empty()) {
      until = std::min(until, oldest_ + std::chrono::milliseconds(timing_.batchMs));
    }
    changed_.wait_until(lock, until);
  }
  woken_ = false;
}

bool CheckWriter::write(bool all) {
  Clock::time_point now = Clock::now();
  std::vector<SettledCheck> batch;
  {
    std::lock_guard lock(mutex_);
    if (refusing_ ? now < retryAt_ : !(all || batchDue(now))) return queued_.empty() && refused_.empty();
    batch.swap(queued_);
    taken_ = batch.size() + refused_.size();
  }
  batch.insert(batch.begin(), std::make_move_iterator(refused_.begin()), std::make_move_iterator(refused_.end()));
  refused_.clear();
  if (!batch.empty()) commitBatch(std::move(batch), now);
  return waiting() == 0;
}

void CheckWriter::commitBatch(std::vector<SettledCheck> batch, Clock::time_point now) {
  // "Not checked" says nothing about the proxy: settled at once, never written.
  auto notChecked = std::stable_partition(batch.begin(), batch.end(),
                                          [](const SettledCheck& check) { return isVerdict(check.outcome.verdict); });
  if (notChecked != batch.end()) {
    std::vector<SettledCheck> unwritten(std::make_move_iterator(notChecked), std::make_move_iterator(batch.end()));
    batch.erase(notChecked, batch.end());
    taken_ = batch.size();
    onSettled_(unwritten);
  }
  if (batch.empty()) return;
  std::vector<CheckRecord> records;
  records.reserve(batch.size());
  for (const SettledCheck& check : batch) {
    const CheckOutcome& outcome = check.outcome;
    records.push_back({check.proxy.id, outcome.verdict == CheckVerdict::alive, outcome.latencyMs, check.checkedAt,
                       outcome.protocols, outcome.failedProtocols, outcome.probedAll, outcome.anonymity, outcome.exit});
  }
  std::string error;
  bool written = false;
  try {
    written = commit_(records, error);
  } catch (const std::exception& failure) {
    error = failure.what();
  }
  if (!written) {
    if (error.empty()) error = "unknown error";
    refused_ = std::move(batch);
    refusing_ = true;
    retryAt_ = now + std::chrono::milliseconds(retryMs_);
    retryMs_ = std::min(2 * retryMs_, timing_.maxRetryMs);
    if (!reported_ || now >= reportedAt_ + std::chrono::milliseconds(timing_.reportEveryMs)) {
      report_("store not writable: " + error + "; " + outcomes(refused_.size()) + " waiting");
      reported_ = true;
      reportedAt_ = now;
    }
    return;
  }
  taken_ = 0;
  if (refusing_) report_("store writable again: " + outcomes(batch.size()) + " written");
  refusing_ = false;
  reported_ = false;
  retryMs_ = timing_.firstRetryMs;
  onSettled_(batch);
}

std::size_t CheckWriter::flush(int mostMs, const std::atomic<bool>* giveUp) {
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(mostMs);
  while (!write(true) && Clock::now() < deadline && !(giveUp && *giveUp)) {
    // Short naps: `giveUp` may be set by a signal handler, which cannot wake a condition variable.
    Clock::time_point until = std::min({deadline, retryAt_, Clock::now() + std::chrono::milliseconds(50)});
    std::this_thread::sleep_until(until);
  }
  return waiting();
}
