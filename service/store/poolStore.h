#pragma once
// The durable proxy pool: one SQLite file in WAL mode, so readers (the one-shot commands, the
// server's snapshot rebuilds) never wait on the checker's writes. Texts are UTF-8. Times are Unix
// seconds, 0 for "never". Each check outcome is its own transaction: a crash loses at most the
// checks that were in flight.
#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct NewProxy {
  std::string address;  // dotted IPv4
  std::uint16_t port = 0;
  std::string province;  // UTF-8; empty when unknown
  std::string city;
  std::string carrier;
};

struct StoredProxy {
  std::int64_t id = 0;  // insertion order: the order an unchecked pool is served in
  std::string address;
  std::uint16_t port = 0;
  std::string province;
  std::string city;
  std::string carrier;
  std::string source;
  std::int64_t firstSeen = 0;
  std::int64_t lastChecked = 0;
  std::int64_t lastAlive = 0;
  int failures = 0;  // consecutive failed checks
  std::uint32_t latencyMs = 0;

  // Alive at its last check (a success resets the failure count).
  bool aliveAtLastCheck() const { return lastChecked != 0 && failures == 0; }
};

// Consecutive failures after which an entry counts as dead.
inline constexpr int kDeadAfterFailures = 3;

struct MergeCounts {
  std::size_t added = 0;
  std::size_t merged = 0;  // already present (same address and port): region, carrier, source refreshed
};

struct DueProxy {
  std::int64_t id = 0;
  std::string address;
  std::uint16_t port = 0;
};

// One check's outcome as the store keeps it.
struct CheckRecord {
  std::int64_t id = 0;
  bool alive = false;
  std::uint32_t latencyMs = 0;  // meaningful when alive
  std::int64_t checkedAt = 0;   // Unix seconds
};

class PoolStore {
 public:
  // Opens or creates the file (":memory:" for a private store); empty with `error` set on failure.
  static std::unique_ptr<PoolStore> open(const std::string& path, std::string& error);
  ~PoolStore();
  PoolStore(const PoolStore&) = delete;
  PoolStore& operator=(const PoolStore&) = delete;

  // One transaction for the whole batch. Duplicates inside the batch merge too.
  MergeCounts add(const std::vector<NewProxy>& proxies, std::string_view source, std::int64_t now);

  // Every entry, in insertion order.
  std::vector<StoredProxy> all();
  std::size_t count();

  // Entries never checked or last checked at least `everySeconds` before `now`.
  std::vector<DueProxy> due(std::int64_t now, std::int64_t everySeconds);
  // The earliest time an entry falls due, or empty for an empty store.
  std::optional<std::int64_t> nextDue(std::int64_t everySeconds);

  // One check's outcome, committed at once.
  void recordCheck(std::int64_t id, bool alive, std::uint32_t latencyMs, std::int64_t now);
  // Every record in one transaction. False when nothing was written, with the store's message in `error`.
  [[nodiscard]] bool recordChecks(const std::vector<CheckRecord>& records, std::string& error);

  // Changes whenever another connection commits to the file (SQLite's data_version).
  std::int64_t dataVersion();

 private:
  explicit PoolStore(sqlite3* db) : db_(db) {}
  sqlite3* db_;
};
