#pragma once
// The durable proxy pool: one SQLite file in WAL mode, so readers (the one-shot commands, the
// server's snapshot rebuilds) never wait on the checker's writes. Texts are UTF-8. Times are Unix
// seconds, 0 for "never".
//
// Failures: every call comes in a checked form, `[[nodiscard]] bool …(…, std::string& error)`, false
// with the store's message in `error` ("database or disk is full", "store busy: another process
// holds it", …); and, for callers with nothing to do on failure but stop, a form without the error
// parameter that throws StoreError with the same message. Either way a failed write is rolled back
// whole: nothing of it was written.
//
// A write waits for another writer once, at the start of its transaction, at most the busy timeout;
// nothing after that start waits.
#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "service/store/proxyKinds.h"
#include "service/store/storeError.h"

struct NewProxy {
  std::string address;  // dotted IPv4
  std::uint16_t port = 0;
  std::string province;  // UTF-8; empty when unknown
  std::string city;
  std::string carrier;
  ProtocolSet scheme = 0;     // the one protocol the source named ("socks5://…"), 0 for a bare address
  std::string username = {};  // as the source gave them; empty for none
  std::string password = {};
};

// Where a live proxy's requests come out, as the check target saw it; empty when it is the listed address.
struct ExitFacts {
  std::string address;   // dotted IPv4
  std::string province;  // UTF-8, from the region database
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
  ProtocolSet scheme = 0;
  std::string username;
  std::string password;
  ProtocolSet protocols = 0;        // those that worked at the entry's last successful check
  ProtocolSet failedProtocols = 0;  // those tried and failed then, retried on the checker's own schedule
  std::int64_t probedAt = 0;        // when every protocol was last tried
  Anonymity anonymity = Anonymity::unknown;
  ExitFacts exit;

  // Alive at its last check (a success resets the failure count).
  bool aliveAtLastCheck() const { return lastChecked != 0 && failures == 0; }
};

// Consecutive failures after which an entry counts as dead.
inline constexpr int kDeadAfterFailures = 3;

struct MergeCounts {
  std::size_t added = 0;
  std::size_t merged = 0;  // already present (same address and port): region, carrier, source refreshed
};

// What the checker needs to check an entry.
struct DueProxy {
  std::int64_t id = 0;
  std::string address;
  std::uint16_t port = 0;
  ProtocolSet scheme = 0;
  std::string username = {};
  std::string password = {};
  ProtocolSet protocols = 0;
  ProtocolSet failedProtocols = 0;
  std::int64_t probedAt = 0;
};

// One check's outcome as the store keeps it.
// A failed check counts one more failure and leaves what the entry was known to be; a live one records
// the protocols, the grade and the exit of this check.
struct CheckRecord {
  std::int64_t id = 0;
  bool alive = false;
  std::uint32_t latencyMs = 0;  // meaningful when alive
  std::int64_t checkedAt = 0;   // Unix seconds
  ProtocolSet protocols = kHttp;
  ProtocolSet failedProtocols = 0;
  bool probedAll = false;  // every protocol was tried: probed_at becomes checkedAt
  Anonymity anonymity = Anonymity::unknown;
  ExitFacts exit = {};
};

struct StoreSettings {
  int busyTimeoutMs = 10000;           // how long a write waits for another writer to finish
  std::size_t maxEntries = 5'000'000;  // an add that would take the store past this is refused whole
};

class PoolStore {
 public:
  // Opens or creates the file (":memory:" for a private store); empty with `error` set on failure. A
  // file that fails SQLite's quick check is refused ("the store is damaged: …"), never read in part.
  static std::unique_ptr<PoolStore> open(const std::string& path, std::string& error, StoreSettings settings = {});
  ~PoolStore();
  PoolStore(const PoolStore&) = delete;
  PoolStore& operator=(const PoolStore&) = delete;

  // One transaction for the whole batch. Duplicates inside the batch merge too. Refused whole when the
  // new entries would take the store past `maxEntries`.
  [[nodiscard]] bool add(const std::vector<NewProxy>& proxies, std::string_view source, std::int64_t now,
                         MergeCounts& counts, std::string& error);
  MergeCounts add(const std::vector<NewProxy>& proxies, std::string_view source, std::int64_t now);

  // Every entry, in insertion order.
  [[nodiscard]] bool all(std::vector<StoredProxy>& proxies, std::string& error);
  std::vector<StoredProxy> all();
  [[nodiscard]] bool count(std::size_t& entries, std::string& error);
  std::size_t count();

  // Entries never checked or last checked at least `everySeconds` before `now`.
  [[nodiscard]] bool due(std::int64_t now, std::int64_t everySeconds, std::vector<DueProxy>& proxies,
                         std::string& error);
  std::vector<DueProxy> due(std::int64_t now, std::int64_t everySeconds);
  // The earliest time an entry falls due, or empty for an empty store.
  [[nodiscard]] bool nextDue(std::int64_t everySeconds, std::optional<std::int64_t>& next, std::string& error);
  std::optional<std::int64_t> nextDue(std::int64_t everySeconds);

  // Every record in one transaction: all written, or none.
  [[nodiscard]] bool recordChecks(const std::vector<CheckRecord>& records, std::string& error);
  // One check's outcome in a transaction of its own (a batch of one).
  [[nodiscard]] bool recordCheck(std::int64_t id, bool alive, std::uint32_t latencyMs, std::int64_t now,
                                 std::string& error);
  void recordCheck(std::int64_t id, bool alive, std::uint32_t latencyMs, std::int64_t now);

  // Changes whenever another connection commits to the file (SQLite's data_version).
  [[nodiscard]] bool dataVersion(std::int64_t& version, std::string& error);
  std::int64_t dataVersion();

 private:
  PoolStore(sqlite3* db, StoreSettings settings) : db_(db), settings_(settings) {}
  void writeChecks(const std::vector<CheckRecord>& records);
  sqlite3* db_;
  StoreSettings settings_;
};
