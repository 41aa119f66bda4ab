#pragma once
// The durable proxy pool, behind one interface with two engines: a SQLite file (sqliteStore.*, the
// embedded default) or a PostgreSQL database that any number of workers and front-ends share
// (postgresStore.*). The same layout on both (storeLayout.h). Texts are UTF-8. Times are Unix seconds,
// 0 for "never".
//
// Failures: every call comes in a checked form, `[[nodiscard]] bool …(…, std::string& error)`, false
// with the store's message in `error` ("database or disk is full", "store busy: another process
// holds it", …); and, for callers with nothing to do on failure but stop, a form without the error
// parameter that throws StoreError with the same message. Either way a failed write is rolled back
// whole: nothing of it was written.
//
// A write waits for another writer once, at the start of its transaction, at most the busy timeout;
// nothing after that start waits.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
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
  std::int64_t checks = 0;  // outcomes ever written for it

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

// One source's entries on their way into the store, in one transaction, as each engine writes them
// (handed over in chunks). Nothing is written until commit(); an import dropped uncommitted (or whose
// commit failed) wrote nothing.
class StoreImport {
 public:
  virtual ~StoreImport() = default;
  virtual void add(const std::vector<NewProxy>& chunk) = 0;
  // Duplicates inside the source merge too; refused whole when the new entries would take the store
  // past `maxEntries`.
  virtual MergeCounts commit() = 0;
};

class PoolStore;

// One source's entries written as they are read, for a source too large to hand over whole: chunks in
// turn, then commit(), all in one transaction (a StoreImport). The store serves this import alone until
// it is committed or dropped. Dropped uncommitted, or after a failure, it wrote nothing; after a failure
// every call is refused with the first message, and the store is free again at once.
class PoolImport {
 public:
  PoolImport(PoolImport&&) = default;
  PoolImport& operator=(PoolImport&&) = default;
  ~PoolImport();

  [[nodiscard]] bool add(const std::vector<NewProxy>& chunk, std::string& error);
  // Duplicates across chunks merge as inside one; refused whole when the new entries would take the
  // store past `maxEntries`.
  [[nodiscard]] bool commit(MergeCounts& counts, std::string& error);

 private:
  friend class PoolStore;
  PoolImport(PoolStore& store, std::string_view source, std::int64_t now);
  // Runs `call` on the open import; on a failure the import is rolled back and the store let go.
  template <class Call>
  bool attempt(std::string& error, Call&& call);

  std::unique_lock<std::recursive_mutex> lock_;
  std::unique_ptr<StoreImport> import_;
  std::string failure_;
};

// Shared checking. A worker claims due entries under a lease (its owner name and a deadline on the
// store's own clock), renews the lease while it checks them, and a written outcome releases that
// entry's lease. An entry leased by another worker is not due for anyone else until the lease runs out:
// a worker that dies loses only its checks in flight.
class PoolStore {
 public:
  // Opens or creates the store: a SQLite file (":memory:" for a private one), or a PostgreSQL database
  // named by a postgresql:// (or postgres://) URI, given to libpq as it is. Brings an older layout up to
  // date; empty with `error` set on failure (a newer layout, a damaged file, an unreachable server). The
  // error never holds the URI's password.
  static std::unique_ptr<PoolStore> open(const std::string& target, std::string& error, StoreSettings settings = {});
  virtual ~PoolStore();
  PoolStore(const PoolStore&) = delete;
  PoolStore& operator=(const PoolStore&) = delete;

  // The store as messages name it: the file, or the URI with its password masked.
  const std::string& name() const { return name_; }
  // This connection's name on leases: host, process and a random part.
  const std::string& owner() const { return owner_; }

  // One transaction for the whole batch. Duplicates inside the batch merge too. Refused whole when the
  // new entries would take the store past `maxEntries`.
  [[nodiscard]] bool add(const std::vector<NewProxy>& proxies, std::string_view source, std::int64_t now,
                         MergeCounts& counts, std::string& error);
  MergeCounts add(const std::vector<NewProxy>& proxies, std::string_view source, std::int64_t now);
  // The same, handed over in chunks as they are read (see PoolImport).
  PoolImport import(std::string_view source, std::int64_t now) { return PoolImport(*this, source, now); }

  // Every entry, in insertion order.
  [[nodiscard]] bool all(std::vector<StoredProxy>& proxies, std::string& error);
  std::vector<StoredProxy> all();
  // Every entry in insertion order, one at a time, read in pieces from one consistent view: `visit` is
  // handed the same object again and again, so a million entries cost no million allocations.
  [[nodiscard]] bool scan(const std::function<void(const StoredProxy&)>& visit, std::string& error);
  void scan(const std::function<void(const StoredProxy&)>& visit);
  [[nodiscard]] bool count(std::size_t& entries, std::string& error);
  std::size_t count();
  // Whether any entry was ever checked. Throws StoreError.
  bool holdsCheckResults();

  // Entries never checked or last checked at least `everySeconds` before `now`, leased or not.
  [[nodiscard]] bool due(std::int64_t now, std::int64_t everySeconds, std::vector<DueProxy>& proxies,
                         std::string& error);
  std::vector<DueProxy> due(std::int64_t now, std::int64_t everySeconds);
  // The earliest time an entry falls due, or empty for an empty store.
  [[nodiscard]] bool nextDue(std::int64_t everySeconds, std::optional<std::int64_t>& next, std::string& error);
  std::optional<std::int64_t> nextDue(std::int64_t everySeconds);

  // Leases up to `most` entries that are due as due() says and leased by no one (or whose lease ran
  // out), oldest check first, for `leaseMs` from now on the store's clock; one transaction.
  [[nodiscard]] bool claimDue(std::int64_t now, std::int64_t everySeconds, std::size_t most, std::int64_t leaseMs,
                              std::vector<DueProxy>& proxies, std::string& error);
  std::vector<DueProxy> claimDue(std::int64_t now, std::int64_t everySeconds, std::size_t most, std::int64_t leaseMs);
  // Moves every lease this connection holds to `leaseMs` from now; how many it holds.
  [[nodiscard]] bool renewLeases(std::int64_t leaseMs, std::size_t& held, std::string& error);
  std::size_t renewLeases(std::int64_t leaseMs);
  // Gives these entries' leases up (entries not checked after all), or every lease this connection holds.
  [[nodiscard]] bool releaseLeases(const std::vector<std::int64_t>& ids, std::string& error);
  void releaseLeases(const std::vector<std::int64_t>& ids);
  [[nodiscard]] bool releaseAllLeases(std::string& error);
  void releaseAllLeases();

  // Every record in one transaction: all written, or none. Each releases its entry's lease when this
  // connection holds it (a lease that passed to another worker stays theirs).
  [[nodiscard]] bool recordChecks(const std::vector<CheckRecord>& records, std::string& error);
  // One check's outcome in a transaction of its own (a batch of one).
  [[nodiscard]] bool recordCheck(std::int64_t id, bool alive, std::uint32_t latencyMs, std::int64_t now,
                                 std::string& error);
  void recordCheck(std::int64_t id, bool alive, std::uint32_t latencyMs, std::int64_t now);

  // Changes whenever another connection commits entries or outcomes (SQLite's data_version; on
  // PostgreSQL the notifications of other connections, or a change counter where those cannot be had),
  // and after the connection was made again. Cheap: looked at several times a second.
  [[nodiscard]] bool dataVersion(std::int64_t& version, std::string& error);
  std::int64_t dataVersion();

 protected:
  // Claimed entries (each with its last check) in the order they fell due, oldest first, then by id:
  // UPDATE … RETURNING hands them over in no order of its own.
  static std::vector<DueProxy> inDueOrder(std::vector<std::pair<std::int64_t, DueProxy>> claimed);
  PoolStore(std::string name, StoreSettings settings);
  const StoreSettings& settings() const { return settings_; }
  // The cap's refusal.
  StoreError overCap(std::size_t held, std::size_t added) const;

  // Each engine's work; every one throws StoreError on failure, its transaction rolled back.
  virtual std::unique_ptr<StoreImport> startImport(std::string_view source, std::int64_t now) = 0;
  virtual void readAll(const std::function<void(const StoredProxy&)>& visit) = 0;
  virtual std::size_t countRows() = 0;
  virtual bool anyChecked() = 0;
  virtual std::vector<DueProxy> readDue(std::int64_t now, std::int64_t everySeconds) = 0;
  virtual std::optional<std::int64_t> earliestDue(std::int64_t everySeconds) = 0;
  virtual std::vector<DueProxy> leaseDue(std::int64_t now, std::int64_t everySeconds, std::size_t most,
                                         std::int64_t leaseMs) = 0;
  virtual std::size_t extendLeases(std::int64_t leaseMs) = 0;
  virtual void dropLeases(const std::vector<std::int64_t>* ids) = 0;  // null: every one held
  virtual void writeChecks(const std::vector<CheckRecord>& records) = 0;
  virtual std::int64_t changes() = 0;

 private:
  friend class PoolImport;
  // One call at a time: the keeper's threads and the check command share a connection.
  std::recursive_mutex mutex_;
  std::string name_;
  std::string owner_;
  StoreSettings settings_;
};
