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

std::shared_ptr<PoolSnapshot> buildSnapshot(const std::vector<StoredProxy>& proxies, bool checked) {
  auto snapshot = std::make_shared<PoolSnapshot>();
  snapshot->checked = checked;
  std::map<std::string, HealthCount> byRegion;
  std::map<std::string, HealthCount> byCarrier;
  std::vector<std::size_t> order;
  for (std::size_t at = 0; at < proxies.size(); ++at) {
    const StoredProxy& proxy = proxies[at];
    count(snapshot->total, proxy);
    count(byRegion[proxy.province], proxy);
    count(byCarrier[proxy.carrier], proxy);
    if (!checked || proxy.aliveAtLastCheck()) order.push_back(at);
    if (proxy.aliveAtLastCheck()) {
      for (std::size_t bit = 0; bit < kProtocols.size(); ++bit) {
        if (proxy.protocols & kProtocols[bit]) ++snapshot->liveByProtocol[bit];
      }
      ++snapshot->liveByAnonymity[static_cast<std::size_t>(proxy.anonymity)];
    }
  }
  snapshot->byRegion = largestFirst(byRegion);
  snapshot->byCarrier = largestFirst(byCarrier);
  if (checked) {
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return proxies[a].latencyMs < proxies[b].latencyMs; });
  }

  GbkCache gbk;
  snapshot->served.reserve(order.size());
  snapshot->facts.reserve(order.size());
  for (std::size_t at : order) {
    const StoredProxy& proxy = proxies[at];
    const std::optional<Text>& province = gbk(proxy.province);
    const std::optional<Text>& city = gbk(proxy.city);
    const std::optional<Text>& carrier = gbk(proxy.carrier);
    snapshot->facts.push_back({proxy.address, proxy.port, proxy.province, proxy.city, proxy.carrier, proxy.latencyMs,
                               proxy.lastAlive, proxy.protocols, proxy.anonymity, proxy.exit, proxy.username,
                               proxy.password});
    // The program's page lists what its users set as an HTTP proxy; checked entries that work only as
    // another kind are for the JSON answer alone.
    if (checked && !(proxy.protocols & kHttp)) continue;
    if (!province || !city || !carrier) continue;
    snapshot->served.push_back({proxy.address, proxy.port, *province, *carrier, *city});
  }
  return snapshot;
}
