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
constexpr int kForbidden = 403;

JsonReply problem(const std::string& message, int status = kBadRequest) {
  JsonReply reply{status, "{\"error\":"};
  appendJsonString(reply.body, message);
  reply.body += '}';
  return reply;
}

// The comma-separated names of `list` as a set of bits, by `named`; empty with the unknown name in `unknown`.
template <class Named>
std::optional<unsigned> namesIn(std::string_view list, Named named, std::string& unknown) {
  unsigned bits = 0;
  while (true) {
    std::size_t comma = list.find(',');
    std::string_view name = list.substr(0, comma);
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    std::optional<unsigned> bit = named(name);
    if (!bit) {
      unknown = name;
      return std::nullopt;
    }
    bits |= *bit;
    if (comma == std::string_view::npos) return bits;
    list.remove_prefix(comma + 1);
  }
}

std::optional<unsigned> protocolBit(std::string_view name) {
  std::optional<ProtocolBit> protocol = protocolNamed(name);
  return protocol ? std::optional<unsigned>(*protocol) : std::nullopt;
}

std::optional<unsigned> gradeBit(std::string_view name) {
  std::optional<Anonymity> grade = anonymityNamed(name);
  return grade ? std::optional<unsigned>(1u << static_cast<unsigned>(*grade)) : std::nullopt;
}

// What the check found, only where the pool is checked: an unchecked pool serves every entry as it
// stands, so facts from an earlier check would claim what nobody looked at now (as latency_ms does).
struct Checked {
  ProtocolSet protocols = 0;
  Anonymity grade = Anonymity::unknown;
  const std::string* exit = nullptr;
};

Checked checkedFacts(const ServedFacts& facts, bool checked) {
  if (!checked) return {};
  return {facts.protocols, facts.anonymity, facts.exit.address.empty() ? nullptr : &facts.exit.address};
}

// One entry, its keys in the order a JSON object's sorted keys come.
void appendProxy(std::string& json, const ServedFacts& facts, bool checked, bool credentials) {
  Checked found = checkedFacts(facts, checked);
  bool secrets = credentials && (!facts.username.empty() || !facts.password.empty());
  json += "{\"address\":";
  appendJsonString(json, facts.address);
  json += ",\"anonymity\":";
  if (found.grade == Anonymity::unknown) {
    json += "null";
  } else {
    appendJsonString(json, anonymityName(found.grade));
  }
  json += ",\"carrier\":";
  appendJsonString(json, facts.carrier);
  json += ",\"exit_address\":";
  if (found.exit) {
    appendJsonString(json, *found.exit);
  } else {
    json += "null";
  }
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
  if (secrets) {
    json += ",\"password\":";
    appendJsonString(json, facts.password);
  }
  json += ",\"port\":";
  appendJsonNumber(json, facts.port);
  json += ",\"protocols\":[";
  bool first = true;
  for (ProtocolBit protocol : kProtocols) {
    if (!(found.protocols & protocol)) continue;
    if (!first) json += ',';
    first = false;
    appendJsonString(json, protocolName(protocol));
  }
  json += "],\"region\":{\"city\":";
  appendJsonString(json, facts.city);
  json += ",\"province\":";
  appendJsonString(json, facts.province);
  json += '}';
  if (secrets) {
    json += ",\"username\":";
    appendJsonString(json, facts.username);
  }
  json += '}';
}

}  // namespace

JsonReply answerProxyApi(const PoolSnapshot& snapshot, const std::multimap<std::string, std::string>& params,
                         bool fromThisMachine) {
  static const std::set<std::string> kKeys = {"count",  "region",   "carrier",   "port",
                                              "prefix", "protocol", "anonymity", "credentials"};
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
  std::string unknown;
  unsigned protocols = 0;
  if (std::string text = value("protocol"); !text.empty()) {
    std::optional<unsigned> bits = namesIn(text, protocolBit, unknown);
    if (!bits) return problem("unknown protocol \"" + unknown + "\": the names are http, https, socks4 and socks5");
    protocols = *bits;
  }
  unsigned grades = 0;
  if (std::string text = value("anonymity"); !text.empty()) {
    std::optional<unsigned> bits = namesIn(text, gradeBit, unknown);
    if (!bits) {
      return problem("unknown anonymity \"" + unknown + "\": the names are transparent, anonymous and elite");
    }
    grades = *bits;
  }
  std::string credentials = value("credentials");
  if (!credentials.empty() && credentials != "0" && credentials != "1") return problem("credentials must be 0 or 1");
  if (credentials == "1" && !fromThisMachine) {
    return problem("credentials are shown only to requests from this machine (127.0.0.0/8, ::1)", kForbidden);
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
    Checked found = checkedFacts(facts, snapshot.checked);
    if (protocols && !(found.protocols & protocols)) continue;
    if (grades && !(grades & 1u << static_cast<unsigned>(found.grade))) continue;
    if (listed++ > 0) proxies += ',';
    appendProxy(proxies, facts, snapshot.checked, credentials == "1");
  }
  JsonReply reply{200, snapshot.checked ? "{\"checked\":true,\"count\":" : "{\"checked\":false,\"count\":"};
  reply.body.reserve(reply.body.size() + proxies.size() + 32);
  appendJsonNumber(reply.body, listed);
  reply.body += ",\"proxies\":[";
  reply.body += proxies;
  reply.body += "]}";
  return reply;
}

JsonReply answerProxyApiQuery(const PoolSnapshot& snapshot, std::string_view rawQuery, bool fromThisMachine) {
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
  return answerProxyApi(snapshot, params, fromThisMachine);
}

bool isLoopbackPeer(std::string_view peer) {
  if (peer == "::1") return true;
  if (peer.size() > 7 && (peer.starts_with("::ffff:") || peer.starts_with("::FFFF:"))) peer.remove_prefix(7);
  std::optional<std::uint32_t> address = parseIpv4(peer);
  return address && *address >> 24 == 127;
}
