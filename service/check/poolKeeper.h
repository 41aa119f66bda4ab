#pragma once
// The server's background thread: keeps the served snapshot in step with the store (after imports
// by another process, after each check round) and, with a check URL, checks the entries that fall
// due. Requests only ever read the snapshot.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "service/check/checker.h"
#include "service/store/poolSnapshot.h"
#include "service/store/poolStore.h"

struct KeeperSettings {
  bool checking = false;  // serve only live entries and check them
  CheckSettings check;
  std::int64_t recheckEverySeconds = 600;
};

class PoolKeeper {
 public:
  // `store` is the keeper's own connection; the keeper owns it from here on.
  PoolKeeper(std::unique_ptr<PoolStore> store, KeeperSettings settings, SnapshotHolder& snapshot);
  ~PoolKeeper();  // stops the thread, dropping a round's outcomes still in flight
  PoolKeeper(const PoolKeeper&) = delete;
  PoolKeeper& operator=(const PoolKeeper&) = delete;

  // Publishes a snapshot of the store as it is now (on the calling thread).
  void publish();
  void start();

 private:
  void run();
  bool waitOrStop(int milliseconds);

  std::unique_ptr<PoolStore> store_;
  KeeperSettings settings_;
  SnapshotHolder& snapshot_;
  std::int64_t seenVersion_ = -1;
  std::size_t rounds_ = 0;
  RoundFigures lastRound_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable wake_;
  std::thread thread_;
};
