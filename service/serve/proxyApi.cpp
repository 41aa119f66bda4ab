#include "service/serve/proxyApi.h"

#include <optional>
#include <set>

#include "service/serve/extractRequest.h"
#include "service/serve/htmlText.h"
#include "service/serve/jsonText.h"
#include "service/serve/percentDecode.h"
#include "service/store/ipv4.h"

namespace {

constexpr int kBadRequest = 400;

JsonReply problem(const std::string& message) {
  JsonReply reply{kBadRequest, "{\"error\":"};
  appendJsonString(reply.body, message);
  reply.body += '}';
  return reply;
}

// One entry, its keys in the order a JSON object's sorted keys come.
void appendProxy(std::string& json, const ServedFacts& facts, bool checked) {
  json += "{\"address\":";
  appendJsonString(json, facts.address);
  json += ",\"carrier\":";
  appendJsonString(json, facts.carrier);
  json += ",\"last_alive\":";
  if (facts.lastAlive) {
    appendJsonString(json, formatUtcTime(facts.lastAlive, "%Y-%m-%dT%H:%M:%SZ"));
  } else {
    json += "null";
  }
  json += ",\"latency_ms\":";
  if (checked) {
    appendJsonNumber(json, facts.latencyMs);
  } else {
    json += "null";
  }
  json += ",\"port\":";
  appendJsonNumber(json, facts.port);
  json += ",\"region\":{\"city\":";
  appendJsonString(json, facts.city);
  json += ",\"province\":";
  appendJsonString(json, facts.province);
  json += "}}";
}

}  // namespace

JsonReply answerProxyApi(const PoolSnapshot& snapshot, const std::multimap<std::string, std::string>& params) {
  static const std::set<std::string> kKeys = {"count", "region", "carrier", "port", "prefix"};
  for (const auto& [key, value] : params) {
    if (!kKeys.contains(key)) return problem("unknown parameter \"" + key + "\"");
    if (params.count(key) > 1) return problem("parameter \"" + key + "\" given more than once");
    if (!isUtf8(value)) return problem("parameter \"" + key + "\" is not UTF-8 text");
  }
  auto value = [&](const char* key) {
    auto found = params.find(key);
    return found == params.end() ? std::string() : found->second;
  };
  std::size_t count = kDefaultApiCount;
  if (std::string text = value("count"); !text.empty()) {
    std::optional<std::uint32_t> number = parseDecimal(text, 9);
    if (!number || *number > static_cast<std::uint32_t>(kMaxCount)) {
      return problem("count must be a whole number from 0 to " + std::to_string(kMaxCount));
    }
    count = *number;
  }
  std::optional<std::uint32_t> port;
  if (std::string text = value("port"); !text.empty()) {
    port = parseDecimal(text, 5);
    if (!port || *port < 1 || *port > 65535) return problem("port must be from 1 to 65535");
  }
  std::string region = value("region");
  std::string carrier = value("carrier");
  std::string prefix = value("prefix");

  std::string proxies;
  std::size_t listed = 0;
  // Well-formed UTF-8 never matches inside a character, so a plain search keeps to whole characters.
  for (std::size_t at = 0; at < snapshot.facts.size() && listed < count; ++at) {
    const ServedFacts& facts = snapshot.facts[at];
    if (port && facts.port != *port) continue;
    if (!facts.address.starts_with(prefix)) continue;
    if (!carrier.empty() && facts.carrier != carrier) continue;
    if (!region.empty() && facts.province.find(region) == std::string::npos &&
        facts.city.find(region) == std::string::npos) {
      continue;
    }
    if (listed++ > 0) proxies += ',';
    appendProxy(proxies, facts, snapshot.checked);
  }
  JsonReply reply{200, snapshot.checked ? "{\"checked\":true,\"count\":" : "{\"checked\":false,\"count\":"};
  reply.body.reserve(reply.body.size() + proxies.size() + 32);
  appendJsonNumber(reply.body, listed);
  reply.body += ",\"proxies\":[";
  reply.body += proxies;
  reply.body += "]}";
  return reply;
}

JsonReply answerProxyApiQuery(const PoolSnapshot& snapshot, std::string_view rawQuery) {
  std::multimap<std::string, std::string> params;
  while (!rawQuery.empty()) {
    std::size_t end = rawQuery.find('&');
    std::string_view pair = rawQuery.substr(0, end);
    rawQuery.remove_prefix(end == std::string_view::npos ? rawQuery.size() : end + 1);
    if (pair.empty()) continue;  // "a=1&&b=2" or a trailing "&"
    std::size_t equals = pair.find('=');
    std::optional<Text> key = percentDecode(pair.substr(0, equals));
    std::optional<Text> value = percentDecode(equals == std::string_view::npos ? "" : pair.substr(equals + 1));
    if (!key || !value) return problem("a \"%\" without two hex digits after it in \"" + std::string(pair) + "\"");
    params.emplace(std::move(*key), std::move(*value));
  }
  return answerProxyApi(snapshot, params);
}
