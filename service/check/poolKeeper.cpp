#include "service/check/poolKeeper.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <exception>
#include <utility>

namespace {

constexpr int kTurnMs = 100;                  // the store thread's pace while nothing happens
constexpr int kPublishEveryMs = 1000;         // one snapshot rebuild a second at most
constexpr int kVersionEveryMs = 250;          // how often to look for commits of another process
constexpr int kLookEveryMs = 500;             // how often to look for due entries while idle
constexpr std::int64_t kDueAheadSeconds = 5;  // a round takes what falls due this soon too
constexpr int kShortageWaitMs = 5000;         // after a round with checks not made for want of descriptors
constexpr int kLastWritesMs = 5000;           // what a refusing store gets at the end
// A retry is one refused or timed-out connection: cheap enough that a store which is back is seen
// within 10 s, not a minute later.
constexpr int kMaxBackOffMs = 10000;
constexpr int kSayAgainMs = 60000;  // a lasting trouble is said again this often

std::chrono::milliseconds backOff(int failures) {
  return std::chrono::milliseconds(std::min(kMaxBackOffMs, 1000 << std::min(failures, 6)));
}

}  // namespace

PoolKeeper::PoolKeeper(std::unique_ptr<PoolStore> store, KeeperSettings settings, SnapshotHolder& snapshot)
    : store_(std::move(store)),
      settings_(std::move(settings)),
      snapshot_(snapshot),
      writer_([this](const std::vector<CheckRecord>& records,
                     std::string& error) { return store_->recordChecks(records, error); },
              [this](const std::vector<SettledCheck>& settled) { settle(settled); },
              [this](const std::string& message) { report(message); }) {}

PoolKeeper::~PoolKeeper() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  handed_.notify_all();
  if (checkThread_.joinable()) checkThread_.join();
  finish_ = true;
  writer_.wake();
  if (storeThread_.joinable()) storeThread_.join();
}

void PoolKeeper::publish() {
  if (!started_) {
    publishNow();
    return;
  }
  publishAsked_ = true;
  writer_.wake();
}

void PoolKeeper::start() {
  started_ = true;
  storeThread_ = std::thread([this] { storeLoop(); });
  if (settings_.checking) checkThread_ = std::thread([this] { checkLoop(); });
}

void PoolKeeper::report(const std::string& message) {
  if (settings_.report) {
    settings_.report(message);
  } else {
    std::fprintf(stderr, "quorvelip-service: %s\n", message.c_str());
  }
}

void PoolKeeper::reportOnce(const std::string& message) {
  Clock::time_point now = Clock::now();
  if (message == lastReport_ && now < lastReportAt_ + std::chrono::milliseconds(kSayAgainMs)) return;
  lastReport_ = message;
  lastReportAt_ = now;
  report(message);
}

// One outage is said once, and again once a minute while it lasts, whatever its words: the first failure
// reads "server closed the connection", the retries "connection refused".
void PoolKeeper::sayTrouble(const std::string& what) {
  Clock::time_point now = Clock::now();
  if (troubled_ && now < troubleSaidAt_ + std::chrono::milliseconds(kSayAgainMs)) return;
  troubled_ = true;  // its end is said once the store answers again
  troubleSaidAt_ = now;
  report("keeping the pool: " + what);
}

void PoolKeeper::publishNow() {
  seenVersion_ = store_->dataVersion();
  publishedAt_ = Clock::now();
  dirty_ = false;
  if (!settings_.serving) return;
  // Live entries only once the store holds a check result — this keeper's, a worker's, another server's
  // on the same store — and every entry while nothing in it was ever checked, whatever the options: a
  // fresh import or the sample pool is served as it stands, a checked pool never falls back to its dead.
  std::shared_ptr<PoolSnapshot> snapshot = snapshotOfStore(*store_, store_->holdsCheckResults());
  snapshot->rounds = rounds_;
  snapshot->lastRound = lastRound_;
  for (std::int64_t finishedAt : unchartedRounds_) history_.push_back({finishedAt, snapshot->total.live});
  unchartedRounds_.clear();
  if (history_.size() > kRoundHistory) {
    history_.erase(history_.begin(), history_.end() - static_cast<std::ptrdiff_t>(kRoundHistory));
  }
  snapshot->history = history_;
  snapshot_.set(std::move(snapshot));
  ++built_;
}

// Nothing the store thread meets ends the process: it is told once, the thread backs off and goes on,
// and the last snapshot stays served meanwhile.
void PoolKeeper::storeLoop() {
  int failures = 0;
  while (!finish_) {
    writer_.waitForWork(kTurnMs);
    if (finish_) break;
    try {
      storeTurn();
      // A turn may touch nothing of the store (the writer backing off, nothing due to look at): its
      // return is asked for before it is said, or a lasting outage would be said over and over.
      if (troubled_) store_->dataVersion();
      failures = 0;
      if (troubled_) {
        troubled_ = false;
        lastReport_.clear();
        report("the store answers again");
      }
    } catch (const std::exception& failure) {
      sayTrouble(failure.what());
      writer_.waitForWork(static_cast<int>(backOff(++failures).count()));
    } catch (...) {
      sayTrouble("unknown failure");
      writer_.waitForWork(static_cast<int>(backOff(++failures).count()));
    }
  }
  try {
    if (std::size_t left = writer_.flush(kLastWritesMs); left > 0) {
      report(std::to_string(left) + " check outcomes not written: the store would not take them");
    }
  } catch (...) {
    report("check outcomes not written: the last writes failed");
  }
  // What this worker claimed and did not check is due again for the others now, not when the lease ends.
  if (settings_.checking) {
    std::string error;
    if (!store_->releaseAllLeases(error)) report("leases not given back (they run out by themselves): " + error);
  }
}

void PoolKeeper::storeTurn() {
  Clock::time_point now = Clock::now();
  writer_.write();
  takeEndedRound();
  // A round counts, on the status page too, once all it found is in the store.
  if (toCount_ && writer_.waiting() == 0) {
    ++rounds_;
    lastRound_ = toCount_->figures;
    unchartedRounds_.push_back(lastRound_.finishedAt);
    toCount_.reset();
    dirty_ = true;
    if (settings_.onRound) settings_.onRound(lastRound_);
  }
  renewLeases(now);
  if (now >= versionSeenAt_ + std::chrono::milliseconds(kVersionEveryMs)) {
    versionSeenAt_ = now;
    if (store_->dataVersion() != seenVersion_) dirty_ = true;  // another process committed: an import
  }
  bool asked = publishAsked_.exchange(false);
  if (asked || (dirty_ && now >= publishedAt_ + std::chrono::milliseconds(kPublishEveryMs))) publishNow();
  if (settings_.checking && !stop_ && !toCount_ && !writer_.refusing() && now >= nextLook_) {
    nextLook_ = now + std::chrono::milliseconds(kLookEveryMs);
    handOutRound();
  }
}

void PoolKeeper::settle(const std::vector<SettledCheck>& settled) {
  std::vector<std::int64_t> unchecked;
  for (const SettledCheck& check : settled) {
    inHand_.erase(check.proxy.id);
    if (isVerdict(check.outcome.verdict)) {
      dirty_ = true;
    } else {
      unchecked.push_back(check.proxy.id);
    }
  }
  release(unchecked);  // written outcomes released their own
}

// Entries claimed and not checked after all are given back at once; should the store refuse, their
// leases run out by themselves.
void PoolKeeper::release(const std::vector<std::int64_t>& ids) {
  std::string error;
  if (!ids.empty() && !store_->releaseLeases(ids, error)) reportOnce("leases not given back: " + error);
}

// While entries are in hand (checked, or their outcomes waiting), their leases are renewed three times
// a lease, so no other worker takes them.
void PoolKeeper::renewLeases(Clock::time_point now) {
  if (inHand_.empty() || now < renewedAt_ + std::chrono::milliseconds(settings_.leaseMs / 3)) return;
  renewedAt_ = now;
  store_->renewLeases(settings_.leaseMs);
}

std::size_t PoolKeeper::claimMost() const {
  if (settings_.claimMost > 0) return settings_.claimMost;
  return std::max<std::size_t>(256, settings_.check.parallel * 4);
}

void PoolKeeper::takeEndedRound() {
  std::optional<RoundResult> ended;
  {
    std::lock_guard lock(mutex_);
    ended.swap(ended_);
  }
  if (!ended) return;
  for (std::int64_t id : ended->unfinished) inHand_.erase(id);
  release(ended->unfinished);
  if (!ended->failure.empty()) {
    reportOnce("check round failed: " + ended->failure);
    return;  // not a round that counts; its outcomes, if any, are written all the same
  }
  if (!ended->sight.problem.empty()) reportOnce("no anonymity grades this round: " + ended->sight.problem);
  if (ended->notChecked > 0) {
    reportOnce(std::to_string(ended->notChecked) +
               " checks not made for want of open files or memory here; their entries stay due");
    nextLook_ = Clock::now() + std::chrono::milliseconds(kShortageWaitMs);
  }
  toCount_ = std::move(ended);
}

// What is due now or within the next few seconds, claimed as one round: entries falling due at
// scattered times are checked together, not in a trickle of small rounds each followed by a rebuild. A
// round is at most claimMost() entries, so workers sharing the store share the work; after a full one
// the next is claimed at once.
void PoolKeeper::handOutRound() {
  {
    std::lock_guard lock(mutex_);
    if (roundOut_) return;
  }
  std::int64_t now = std::time(nullptr);
  std::int64_t every = settings_.recheckEverySeconds;
  std::int64_t ahead = std::min(kDueAheadSeconds, every / 4);
  std::optional<std::int64_t> next = store_->nextDue(every);
  if (!next || *next > now + ahead) return;
  std::vector<DueProxy> due = store_->claimDue(now + ahead, every, claimMost(), settings_.leaseMs);
  renewedAt_ = Clock::now();
  if (due.size() == claimMost()) nextLook_ = renewedAt_;
  std::erase_if(due, [this](const DueProxy& proxy) { return inHand_.contains(proxy.id); });
  if (due.empty()) return;
  for (const DueProxy& proxy : due) inHand_.insert(proxy.id);
  {
    std::lock_guard lock(mutex_);
    next_ = std::move(due);
    roundOut_ = true;
  }
  handed_.notify_all();
}

void PoolKeeper::checkLoop() {
  int failures = 0;
  while (true) {
    std::vector<DueProxy> due;
    {
      std::unique_lock lock(mutex_);
      handed_.wait(lock, [this] { return stop_ || next_; });
      if (stop_) return;
      due = std::move(*next_);
      next_.reset();
    }
    RoundResult result;
    try {
      result = runCheckRound(due, settings_.check, writer_, &stop_);
    } catch (const std::exception& failure) {  // out of memory before the round began
      result.failure = failure.what();
      for (const DueProxy& proxy : due) result.unfinished.push_back(proxy.id);
    }
    bool failed = !result.failure.empty();
    {
      std::lock_guard lock(mutex_);
      ended_ = std::move(result);
      roundOut_ = false;
    }
    writer_.wake();
    failures = failed ? failures + 1 : 0;
    if (failed) {
      std::unique_lock lock(mutex_);
      handed_.wait_for(lock, backOff(failures), [this] { return stop_.load(); });
    }
  }
}
