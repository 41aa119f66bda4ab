#pragma once
// What the server answers from: an immutable picture of the store, rebuilt after imports and check
// rounds and swapped in whole, so a request never waits on the store or the checker.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "service/store/poolEntry.h"
#include "service/store/poolStore.h"
#include "service/store/roundFigures.h"

// A served entry as the JSON answer gives it: UTF-8, whatever GBK can hold.
struct ServedFacts {
  std::string address;
  std::uint16_t port = 0;
  std::string province;
  std::string city;
  std::string carrier;
  std::uint32_t latencyMs = 0;  // 0 when never checked
  std::int64_t lastAlive = 0;   // Unix seconds, 0 when never seen alive
  ProtocolSet protocols = 0;    // 0 when never checked
  Anonymity anonymity = Anonymity::unknown;
  ExitFacts exit;  // empty address: it leaves from the listed one, or it is not known
  // Secrets: shown only where the JSON answer is asked for them from this machine.
  std::string username;
  std::string password;
};

// Live entries at the end of one check round, for the status page's history.
struct RoundPoint {
  std::int64_t finishedAt = 0;  // Unix seconds
  std::size_t live = 0;
};
inline constexpr std::size_t kRoundHistory = 48;

// Live and dead counts under one name (a province, a carrier).
struct HealthCount {
  std::string name;  // UTF-8; empty for "unknown"
  std::size_t live = 0;
  std::size_t dead = 0;       // failed its last kDeadAfterFailures checks or more
  std::size_t failing = 0;    // failed its last one or two checks: not served, not yet dead
  std::size_t unchecked = 0;  // never checked
};

struct PoolSnapshot {
  bool checked = false;            // serving live entries only, fastest first
  std::vector<PoolEntry> served;   // GBK, in serving order: the entries the program's page can list
  std::vector<ServedFacts> facts;  // every served entry in the same order, those GBK cannot hold too
  HealthCount total;
  std::vector<HealthCount> byRegion;   // by province, largest first
  std::vector<HealthCount> byCarrier;  // largest first
  std::size_t rounds = 0;              // check rounds since the server started
  RoundFigures lastRound;              // valid when rounds > 0
  // Live entries by protocol (in kProtocols' order) and by anonymity grade (by its value).
  std::array<std::size_t, kProtocols.size()> liveByProtocol{};
  std::array<std::size_t, kAnonymities.size()> liveByAnonymity{};
  std::vector<RoundPoint> history;  // the last kRoundHistory rounds, oldest first
};

// Unchecked: every entry in insertion order. Checked: the entries alive at their last check,
// fastest first (insertion order among equals). `served` (the program's GBK page) leaves out an entry
// whose texts GBK cannot hold and, checked, one that does not work as an HTTP proxy; `facts` (the JSON
// answer, UTF-8) keeps them.
std::shared_ptr<PoolSnapshot> buildSnapshot(const std::vector<StoredProxy>& proxies, bool checked);

// The same, fed one entry at a time in insertion order (as PoolStore::scan hands them over): only what
// is served is kept, so a million entries are read without a copy of the store in memory.
class SnapshotBuilder {
 public:
  explicit SnapshotBuilder(bool checked);
  ~SnapshotBuilder();
  SnapshotBuilder(const SnapshotBuilder&) = delete;
  SnapshotBuilder& operator=(const SnapshotBuilder&) = delete;
  void add(const StoredProxy& proxy);
  std::shared_ptr<PoolSnapshot> finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// A snapshot of the store as it is, read in one pass (as buildSnapshot). Throws StoreError.
std::shared_ptr<PoolSnapshot> snapshotOfStore(PoolStore& store, bool checked);

// The current snapshot, swapped in whole; reading it takes a lock only to copy the pointer.
class SnapshotHolder {
 public:
  std::shared_ptr<const PoolSnapshot> get() const {
    std::lock_guard lock(mutex_);
    return current_;
  }
  void set(std::shared_ptr<const PoolSnapshot> snapshot) {
    std::lock_guard lock(mutex_);
    current_.swap(snapshot);
  }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<const PoolSnapshot> current_ = std::make_shared<const PoolSnapshot>();
};
