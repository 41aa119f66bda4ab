#include "service/check/poolKeeper.h"

#include <ctime>
#include <utility>

#include "service/check/checkRound.h"

namespace {

// How often the keeper looks for entries due and for commits by other processes.
constexpr int kPollMilliseconds = 1000;
constexpr std::int64_t kProgressSeconds = 5;

}  // namespace

PoolKeeper::PoolKeeper(std::unique_ptr<PoolStore> store, KeeperSettings settings, SnapshotHolder& snapshot)
    : store_(std::move(store)), settings_(std::move(settings)), snapshot_(snapshot) {}

PoolKeeper::~PoolKeeper() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void PoolKeeper::publish() {
  seenVersion_ = store_->dataVersion();
  std::shared_ptr<PoolSnapshot> snapshot = buildSnapshot(store_->all(), settings_.checking);
  snapshot->rounds = rounds_;
  snapshot->lastRound = lastRound_;
  snapshot_.set(std::move(snapshot));
}

void PoolKeeper::start() {
  thread_ = std::thread([this] { run(); });
}

bool PoolKeeper::waitOrStop(int milliseconds) {
  std::unique_lock lock(mutex_);
  return wake_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return stop_.load(); });
}

void PoolKeeper::run() {
  while (!waitOrStop(kPollMilliseconds)) {
    std::int64_t now = std::time(nullptr);
    if (settings_.checking) {
      std::optional<std::int64_t> next = store_->nextDue(settings_.recheckEverySeconds);
      if (next && *next <= now) {
        // A long round shows its progress: the snapshot follows the outcomes every few seconds.
        std::int64_t published = now;
        RoundFigures figures = runCheckRound(*store_, store_->due(now, settings_.recheckEverySeconds), settings_.check,
                                             &stop_, [&](const DueProxy&, const CheckOutcome&) {
                                               if (std::time(nullptr) - published < kProgressSeconds) return;
                                               published = std::time(nullptr);
                                               publish();
                                             });
        if (stop_) return;
        ++rounds_;
        lastRound_ = figures;
        publish();
        continue;
      }
    }
    // Another process (an import) committed: serve what it added.
    if (store_->dataVersion() != seenVersion_) publish();
  }
}
