#pragma once
// The server's background work: keeps the served snapshot in step with the store (after imports by
// another process, after outcomes written by any worker) and, with a check URL, checks the entries that
// fall due: a front-end with a worker inside. `check --forever` is the same worker without the snapshot.
// Two threads. The checking thread does nothing but the network (checkRound.h). The store thread owns
// the store and does the rest: it commits the outcomes in batches (checkWriter.h), claims a batch of
// what falls due within the next few seconds under a lease and hands it to the checking thread as one
// round, renews the lease while the round is out, gives back what it did not check, and rebuilds the
// snapshot at most once a second. Requests only ever read the snapshot.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "service/check/checkRound.h"
#include "service/check/checkWriter.h"
#include "service/check/checker.h"
#include "service/store/poolSnapshot.h"
#include "service/store/poolStore.h"

struct KeeperSettings {
  bool checking = false;  // check the entries that fall due (what is served follows the store: see publish)
  bool serving = true;    // keep the snapshot; a worker alone does not
  CheckSettings check;
  std::int64_t recheckEverySeconds = 600;
  std::int64_t leaseMs = 60000;  // how long a claimed entry stays ours without a renewal
  std::size_t claimMost = 0;     // entries claimed at once; 0: four times check.parallel, at least 256
  // Each round once all its outcomes are written, on the store thread.
  std::function<void(const RoundFigures&)> onRound;
  // Where the keeper's own troubles go (a store refusing outcomes, a failed round), each said once,
  // a lasting one again at most once a minute. Empty: standard error.
  std::function<void(const std::string&)> report;
};

class PoolKeeper {
 public:
  // `store` is the keeper's own connection; the keeper owns it from here on.
  PoolKeeper(std::unique_ptr<PoolStore> store, KeeperSettings settings, SnapshotHolder& snapshot);
  // Stops the round in flight and joins the checking thread, then lets the store thread write what
  // arrived (a few seconds at most, should the store refuse) and joins it: in that order.
  ~PoolKeeper();
  PoolKeeper(const PoolKeeper&) = delete;
  PoolKeeper& operator=(const PoolKeeper&) = delete;

  // Publishes a snapshot of the store as it is now: on the calling thread before start(), by the
  // store thread at its next turn after. It serves the live entries once the store holds any check
  // result, every entry while it holds none.
  void publish();
  void start();
  // Snapshots built so far, the first publish included.
  std::size_t snapshotsBuilt() const { return built_; }

 private:
  using Clock = std::chrono::steady_clock;
  void storeLoop();
  void storeTurn();
  void checkLoop();
  void settle(const std::vector<SettledCheck>& settled);
  void takeEndedRound();
  void handOutRound();
  void publishNow();
  void report(const std::string& message);
  void reportOnce(const std::string& message);
  void sayTrouble(const std::string& what);
  void renewLeases(Clock::time_point now);
  void release(const std::vector<std::int64_t>& ids);
  std::size_t claimMost() const;

  std::unique_ptr<PoolStore> store_;
  KeeperSettings settings_;
  SnapshotHolder& snapshot_;
  CheckWriter writer_;
  std::atomic<bool> stop_{false};    // ends the round in flight and the checking thread
  std::atomic<bool> finish_{false};  // ends the store thread, after its last writes
  std::atomic<bool> publishAsked_{false};
  std::atomic<std::size_t> built_{0};
  bool started_ = false;

  // The hand-over between the two threads.
  std::mutex mutex_;
  std::condition_variable handed_;
  std::optional<std::vector<DueProxy>> next_;  // a round for the checking thread
  bool roundOut_ = false;                      // handed and not yet taken back
  std::optional<RoundResult> ended_;           // for the store thread

  // The store thread's own.
  std::unordered_set<std::int64_t> inHand_;  // in a round or its outcome waiting: not handed out again
  std::optional<RoundResult> toCount_;       // a round that ended, counted once its outcomes are written
  std::size_t rounds_ = 0;
  RoundFigures lastRound_;
  std::vector<RoundPoint> history_;  // live entries after each of the last rounds
  // Rounds counted since the last snapshot: each gets its point in history_ from the next one. Snapshots
  // come at most once a second, so rounds that end within that second share its live count.
  std::vector<std::int64_t> unchartedRounds_;
  std::int64_t seenVersion_ = -1;
  bool dirty_ = false;  // the store changed since the last snapshot
  Clock::time_point publishedAt_;
  Clock::time_point versionSeenAt_;
  Clock::time_point nextLook_;  // when to look for due entries again
  Clock::time_point renewedAt_;
  std::string lastReport_;
  Clock::time_point lastReportAt_;
  bool troubled_ = false;  // a turn failed on the store: its end is said once
  Clock::time_point troubleSaidAt_;

  std::thread storeThread_;
  std::thread checkThread_;
};
