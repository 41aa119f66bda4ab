#include "service/store/poolSnapshot.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <optional>
#include <unordered_map>

#include "text/utf8ToGbk.h"

namespace {

// Regions and carriers repeat across the pool: convert each text once.
class GbkCache {
 public:
  const std::optional<Text>& operator()(const std::string& utf8) {
    auto found = cache_.find(utf8);
    if (found == cache_.end()) found = cache_.emplace(utf8, converter_.convert(utf8)).first;
    return found->second;
  }

 private:
  Utf8ToGbk converter_;
  std::unordered_map<std::string, std::optional<Text>> cache_;
};

void count(HealthCount& health, const StoredProxy& proxy) {
  if (proxy.lastChecked == 0) {
    ++health.unchecked;
  } else if (proxy.failures == 0) {
    ++health.live;
  } else if (proxy.failures >= kDeadAfterFailures) {
    ++health.dead;
  } else {
    ++health.failing;
  }
}

std::vector<HealthCount> largestFirst(std::map<std::string, HealthCount>& counts) {
  std::vector<HealthCount> result;
  for (auto& [name, health] : counts) {
    health.name = name;
    result.push_back(health);
  }
  auto size = [](const HealthCount& h) { return h.live + h.dead + h.failing + h.unchecked; };
  std::stable_sort(result.begin(), result.end(),
                   [&](const HealthCount& a, const HealthCount& b) { return size(a) > size(b); });
  return result;
}

}  // namespace

struct SnapshotBuilder::State {
  std::shared_ptr<PoolSnapshot> snapshot = std::make_shared<PoolSnapshot>();
  std::map<std::string, HealthCount> byRegion;
  std::map<std::string, HealthCount> byCarrier;
  GbkCache gbk;
  // Served entries in insertion order; the program's page leaves out some of the JSON answer's.
  std::vector<std::uint32_t> latency;  // of each of facts, to sort checked ones fastest first
  std::vector<std::optional<PoolEntry>> served;
};

SnapshotBuilder::SnapshotBuilder(bool checked) : state_(std::make_unique<State>()) {
  state_->snapshot->checked = checked;
}

SnapshotBuilder::~SnapshotBuilder() = default;

void SnapshotBuilder::add(const StoredProxy& proxy) {
  State& state = *state_;
  PoolSnapshot& snapshot = *state.snapshot;
  count(snapshot.total, proxy);
  count(state.byRegion[proxy.province], proxy);
  count(state.byCarrier[proxy.carrier], proxy);
  if (proxy.aliveAtLastCheck()) {
    for (std::size_t bit = 0; bit < kProtocols.size(); ++bit) {
      if (proxy.protocols & kProtocols[bit]) ++snapshot.liveByProtocol[bit];
    }
    ++snapshot.liveByAnonymity[static_cast<std::size_t>(proxy.anonymity)];
  }
  if (snapshot.checked && !proxy.aliveAtLastCheck()) return;
  snapshot.facts.push_back({proxy.address, proxy.port, proxy.province, proxy.city, proxy.carrier, proxy.latencyMs,
                            proxy.lastAlive, proxy.protocols, proxy.anonymity, proxy.exit, proxy.username,
                            proxy.password});
  state.latency.push_back(proxy.latencyMs);
  const std::optional<Text>& province = state.gbk(proxy.province);
  const std::optional<Text>& city = state.gbk(proxy.city);
  const std::optional<Text>& carrier = state.gbk(proxy.carrier);
  // The program's page lists what its users set as an HTTP proxy; checked entries that work only as
  // another kind are for the JSON answer alone.
  if ((snapshot.checked && !(proxy.protocols & kHttp)) || !province || !city || !carrier) {
    state.served.emplace_back();
  } else {
    state.served.push_back(PoolEntry{proxy.address, proxy.port, *province, *carrier, *city});
  }
}

std::shared_ptr<PoolSnapshot> SnapshotBuilder::finish() {
  State& state = *state_;
  PoolSnapshot& snapshot = *state.snapshot;
  snapshot.byRegion = largestFirst(state.byRegion);
  snapshot.byCarrier = largestFirst(state.byCarrier);
  std::vector<std::size_t> order(snapshot.facts.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  if (snapshot.checked) {
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return state.latency[a] < state.latency[b]; });
  }
  std::vector<ServedFacts> facts;
  facts.reserve(order.size());
  snapshot.served.reserve(order.size());
  for (std::size_t at : order) {
    facts.push_back(std::move(snapshot.facts[at]));
    if (state.served[at]) snapshot.served.push_back(std::move(*state.served[at]));
  }
  snapshot.facts = std::move(facts);
  return std::move(state.snapshot);
}

std::shared_ptr<PoolSnapshot> buildSnapshot(const std::vector<StoredProxy>& proxies, bool checked) {
  SnapshotBuilder builder(checked);
  for (const StoredProxy& proxy : proxies) builder.add(proxy);
  return builder.finish();
}

std::shared_ptr<PoolSnapshot> snapshotOfStore(PoolStore& store, bool checked) {
  SnapshotBuilder builder(checked);
  store.scan([&](const StoredProxy& proxy) { builder.add(proxy); });
  return builder.finish();
}
