#include "service/serve/proxyApi.h"

#include <nlohmann/json.hpp>
#include <optional>
#include <set>

#include "service/serve/extractRequest.h"
#include "service/serve/htmlText.h"
#include "service/store/ipv4.h"

namespace {

constexpr int kBadRequest = 400;

JsonReply problem(const std::string& message) {
  return {kBadRequest,
          nlohmann::json{{"error", message}}.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)};
}

nlohmann::json describe(const PoolEntry& entry, const ServedFacts& facts, bool checked) {
  nlohmann::json proxy = {{"address", entry.address},
                          {"port", entry.port},
                          {"region", {{"province", facts.province}, {"city", facts.city}}},
                          {"carrier", facts.carrier}};
  proxy["latency_ms"] = checked ? nlohmann::json(facts.latencyMs) : nlohmann::json(nullptr);
  proxy["last_alive"] =
      facts.lastAlive ? nlohmann::json(formatUtcTime(facts.lastAlive, "%Y-%m-%dT%H:%M:%SZ")) : nlohmann::json(nullptr);
  return proxy;
}

}  // namespace

JsonReply answerProxyApi(const PoolSnapshot& snapshot, const std::multimap<std::string, std::string>& params) {
  static const std::set<std::string> kKeys = {"count", "region", "carrier", "port", "prefix"};
  for (const auto& [key, value] : params) {
    if (!kKeys.contains(key)) return problem("unknown parameter \"" + key + "\"");
    if (params.count(key) > 1) return problem("parameter \"" + key + "\" given more than once");
  }
  auto value = [&](const char* key) {
    auto found = params.find(key);
    return found == params.end() ? std::string() : found->second;
  };
  std::size_t count = kDefaultApiCount;
  if (std::string text = value("count"); !text.empty()) {
    std::optional<std::uint32_t> number = parseDecimal(text, 9);
    if (!number) return problem("count must be a whole number from 0 to " + std::to_string(kMaxCount));
    count = std::min<std::size_t>(*number, kMaxCount);
  }
  std::optional<std::uint32_t> port;
  if (std::string text = value("port"); !text.empty()) {
    port = parseDecimal(text, 5);
    if (!port || *port < 1 || *port > 65535) return problem("port must be from 1 to 65535");
  }
  std::string region = value("region");
  std::string carrier = value("carrier");
  std::string prefix = value("prefix");

  nlohmann::json proxies = nlohmann::json::array();
  // UTF-8 never matches inside a character, so a plain search keeps to whole characters.
  for (std::size_t at = 0; at < snapshot.served.size() && proxies.size() < count; ++at) {
    const PoolEntry& entry = snapshot.served[at];
    const ServedFacts& facts = snapshot.facts[at];
    if (port && entry.port != *port) continue;
    if (!entry.address.starts_with(prefix)) continue;
    if (!carrier.empty() && facts.carrier != carrier) continue;
    if (!region.empty() && facts.province.find(region) == std::string::npos &&
        facts.city.find(region) == std::string::npos) {
      continue;
    }
    proxies.push_back(describe(entry, facts, snapshot.checked));
  }
  nlohmann::json answer = {{"checked", snapshot.checked}, {"count", proxies.size()}, {"proxies", std::move(proxies)}};
  return {200, answer.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)};
}
