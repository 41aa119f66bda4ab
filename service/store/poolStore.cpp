#include "service/store/poolStore.h"

#include <unistd.h>

#include <algorithm>
#include <random>

#include "service/store/postgresStore.h"
#include "service/store/sqliteStore.h"
#include "service/store/storeTarget.h"

namespace {

// Runs `call` under the store's lock; false with its message when it failed.
template <class Call>
bool reported(std::recursive_mutex& mutex, std::string& error, Call&& call) {
  try {
    std::lock_guard lock(mutex);
    call();
    return true;
  } catch (const StoreError& failure) {
    error = failure.what();
    return false;
  }
}

std::string ownerName() {
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
  std::random_device random;
  char tail[16];
  std::snprintf(tail, sizeof tail, "%08x", static_cast<unsigned>(random()));
  return std::string(host) + ":" + std::to_string(getpid()) + ":" + tail;
}

}  // namespace

PoolStore::PoolStore(std::string name, StoreSettings settings)
    : name_(std::move(name)), owner_(ownerName()), settings_(settings) {}

PoolStore::~PoolStore() = default;

std::unique_ptr<PoolStore> PoolStore::open(const std::string& target, std::string& error, StoreSettings settings) {
  if (isPostgresTarget(target)) return openPostgresStore(target, error, settings);
  return openSqliteStore(target, error, settings);
}

StoreError PoolStore::overCap(std::size_t held, std::size_t added) const {
  return StoreError("the store would hold " + std::to_string(held + added) + " entries, over its cap of " +
                    std::to_string(settings_.maxEntries) + " (it holds " + std::to_string(held) + ", " +
                    std::to_string(added) + " would be new)");
}

MergeCounts PoolStore::add(const std::vector<NewProxy>& proxies, std::string_view source, std::int64_t now) {
  std::lock_guard lock(mutex_);
  std::unique_ptr<StoreImport> import = startImport(source, now);
  import->add(proxies);
  return import->commit();
}

bool PoolStore::add(const std::vector<NewProxy>& proxies, std::string_view source, std::int64_t now,
                    MergeCounts& counts, std::string& error) {
  return reported(mutex_, error, [&] { counts = add(proxies, source, now); });
}

PoolImport::PoolImport(PoolStore& store, std::string_view source, std::int64_t now) : lock_(store.mutex_) {
  try {
    import_ = store.startImport(source, now);
  } catch (const StoreError& failure) {
    failure_ = failure.what();
    lock_.unlock();
  }
}

PoolImport::~PoolImport() {
  import_.reset();  // rolled back under the lock when uncommitted
}

template <class Call>
bool PoolImport::attempt(std::string& error, Call&& call) {
  if (!import_) {
    error = failure_.empty() ? "the import is over" : failure_;
    return false;
  }
  try {
    call();
    return true;
  } catch (const StoreError& failure) {
    failure_ = error = failure.what();
    import_.reset();
    lock_.unlock();
    return false;
  }
}

bool PoolImport::add(const std::vector<NewProxy>& chunk, std::string& error) {
  return attempt(error, [&] { import_->add(chunk); });
}

bool PoolImport::commit(MergeCounts& counts, std::string& error) {
  bool committed = attempt(error, [&] { counts = import_->commit(); });
  if (committed) {
    import_.reset();
    lock_.unlock();
  }
  return committed;
}

std::vector<StoredProxy> PoolStore::all() {
  std::vector<StoredProxy> result;
  scan([&](const StoredProxy& proxy) { result.push_back(proxy); });
  return result;
}

bool PoolStore::all(std::vector<StoredProxy>& proxies, std::string& error) {
  return reported(mutex_, error, [&] { proxies = all(); });
}

void PoolStore::scan(const std::function<void(const StoredProxy&)>& visit) {
  std::lock_guard lock(mutex_);
  readAll(visit);
}

bool PoolStore::scan(const std::function<void(const StoredProxy&)>& visit, std::string& error) {
  return reported(mutex_, error, [&] { readAll(visit); });
}

std::size_t PoolStore::count() {
  std::lock_guard lock(mutex_);
  return countRows();
}

std::vector<DueProxy> PoolStore::inDueOrder(std::vector<std::pair<std::int64_t, DueProxy>> claimed) {
  std::sort(claimed.begin(), claimed.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first < b.first : a.second.id < b.second.id;
  });
  std::vector<DueProxy> result;
  result.reserve(claimed.size());
  for (auto& [lastChecked, proxy] : claimed) result.push_back(std::move(proxy));
  return result;
}

bool PoolStore::holdsCheckResults() {
  std::lock_guard lock(mutex_);
  return anyChecked();
}

bool PoolStore::count(std::size_t& entries, std::string& error) {
  return reported(mutex_, error, [&] { entries = countRows(); });
}

std::vector<DueProxy> PoolStore::due(std::int64_t now, std::int64_t everySeconds) {
  std::lock_guard lock(mutex_);
  return readDue(now, everySeconds);
}

bool PoolStore::due(std::int64_t now, std::int64_t everySeconds, std::vector<DueProxy>& proxies, std::string& error) {
  return reported(mutex_, error, [&] { proxies = readDue(now, everySeconds); });
}

std::optional<std::int64_t> PoolStore::nextDue(std::int64_t everySeconds) {
  std::lock_guard lock(mutex_);
  return earliestDue(everySeconds);
}

bool PoolStore::nextDue(std::int64_t everySeconds, std::optional<std::int64_t>& next, std::string& error) {
  return reported(mutex_, error, [&] { next = earliestDue(everySeconds); });
}

std::vector<DueProxy> PoolStore::claimDue(std::int64_t now, std::int64_t everySeconds, std::size_t most,
                                          std::int64_t leaseMs) {
  std::lock_guard lock(mutex_);
  if (most == 0) return {};
  return leaseDue(now, everySeconds, most, leaseMs);
}

bool PoolStore::claimDue(std::int64_t now, std::int64_t everySeconds, std::size_t most, std::int64_t leaseMs,
                         std::vector<DueProxy>& proxies, std::string& error) {
  return reported(mutex_, error, [&] { proxies = claimDue(now, everySeconds, most, leaseMs); });
}

std::size_t PoolStore::renewLeases(std::int64_t leaseMs) {
  std::lock_guard lock(mutex_);
  return extendLeases(leaseMs);
}

bool PoolStore::renewLeases(std::int64_t leaseMs, std::size_t& held, std::string& error) {
  return reported(mutex_, error, [&] { held = extendLeases(leaseMs); });
}

void PoolStore::releaseLeases(const std::vector<std::int64_t>& ids) {
  std::lock_guard lock(mutex_);
  if (!ids.empty()) dropLeases(&ids);
}

bool PoolStore::releaseLeases(const std::vector<std::int64_t>& ids, std::string& error) {
  return reported(mutex_, error, [&] { releaseLeases(ids); });
}

void PoolStore::releaseAllLeases() {
  std::lock_guard lock(mutex_);
  dropLeases(nullptr);
}

bool PoolStore::releaseAllLeases(std::string& error) {
  return reported(mutex_, error, [&] { dropLeases(nullptr); });
}

bool PoolStore::recordChecks(const std::vector<CheckRecord>& records, std::string& error) {
  return reported(mutex_, error, [&] {
    if (!records.empty()) writeChecks(records);
  });
}

void PoolStore::recordCheck(std::int64_t id, bool alive, std::uint32_t latencyMs, std::int64_t now) {
  CheckRecord record;
  record.id = id;
  record.alive = alive;
  record.latencyMs = latencyMs;
  record.checkedAt = now;
  std::lock_guard lock(mutex_);
  writeChecks({record});
}

bool PoolStore::recordCheck(std::int64_t id, bool alive, std::uint32_t latencyMs, std::int64_t now,
                            std::string& error) {
  return reported(mutex_, error, [&] { recordCheck(id, alive, latencyMs, now); });
}

std::int64_t PoolStore::dataVersion() {
  std::lock_guard lock(mutex_);
  return changes();
}

bool PoolStore::dataVersion(std::int64_t& version, std::string& error) {
  return reported(mutex_, error, [&] { version = changes(); });
}
