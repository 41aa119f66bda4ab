#include "service/sources/proxyList.h"

#include <algorithm>
#include <cstdlib>

#include "service/sources/poolFile.h"
#include "service/store/ipv4.h"
#include "text/gbkToUtf8.h"

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool isProxyWordLine(std::string_view line) {
  return line.find_first_of(" \t") == std::string_view::npos && line.find(':') != std::string_view::npos;
}

// The reason a one-word line is unusable, or empty when `proxy` was filled.
std::string parseWord(std::string_view line, NewProxy& proxy, const IpRegionDb* regions, const AddressRule& rule) {
  ProxyForm form;
  std::uint32_t address = 0;
  std::string problem = readProxyWord(line, form);
  if (problem.empty()) problem = acceptProxy(form, rule, proxy, address);
  if (problem.empty()) locate(proxy, address, regions);
  return problem;
}

// The number of a "line N: ..." report.
long lineNumber(const std::string& problem) {
  return std::strtol(problem.c_str() + problem.find(' ') + 1, nullptr, 10);
}

}  // namespace

std::string acceptProxy(const ProxyForm& form, const AddressRule& rule, NewProxy& proxy, std::uint32_t& address) {
  std::optional<std::uint32_t> parsed = parseIpv4(form.address);
  if (!parsed) return "bad address";
  std::optional<std::uint32_t> port = parseDecimal(form.port, 5);
  if (!port || *port < 1 || *port > 65535) return "bad port";
  if (std::string refused = refusedAddress(*parsed, 1, rule); !refused.empty()) return refused;
  address = *parsed;
  proxy.address = formatIpv4(address);
  proxy.port = static_cast<std::uint16_t>(*port);
  proxy.scheme = form.scheme;
  proxy.username = form.username;
  proxy.password = form.password;
  return {};
}

void locate(NewProxy& proxy, std::uint32_t address, const IpRegionDb* regions) {
  if (!regions) return;
  std::optional<IpRegion> region = regions->lookup(address);
  if (!region) return;
  proxy.province = region->province;
  proxy.city = region->city;
  proxy.carrier = region->carrier;
}

ProxyList parseProxyList(std::string_view utf8Text, const IpRegionDb* regions, const AddressRule& rule) {
  ProxyList result;
  // Pool lines go through the pool file's own reader, the other lines blanked so that its line
  // numbers stay those of the whole text.
  std::string poolLines;
  poolLines.reserve(utf8Text.size());
  int number = 0;
  while (!utf8Text.empty()) {
    ++number;
    std::size_t end = utf8Text.find('\n');
    std::string_view raw = utf8Text.substr(0, end);
    utf8Text.remove_prefix(end == std::string_view::npos ? utf8Text.size() : end + 1);
    std::string_view line = trimmed(raw);
    if (number == 1 && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
    if (line.empty() || line.front() == '#' || !isProxyWordLine(line)) {
      poolLines += raw;
      poolLines += '\n';
      continue;
    }
    poolLines += '\n';
    NewProxy proxy;
    if (std::string problem = parseWord(line, proxy, regions, rule); !problem.empty()) {
      result.problems.push_back("line " + std::to_string(number) + ": " + problem);
      continue;
    }
    result.proxies.push_back(std::move(proxy));
  }
  PoolLoad pool = parsePool(poolLines, rule);
  result.problems.insert(result.problems.end(), pool.warnings.begin(), pool.warnings.end());
  std::stable_sort(result.problems.begin(), result.problems.end(),
                   [](const std::string& a, const std::string& b) { return lineNumber(a) < lineNumber(b); });
  for (const PoolEntry& entry : pool.entries) {
    result.proxies.push_back({entry.address, entry.port, gbkToUtf8(entry.region), "", gbkToUtf8(entry.carrier)});
  }
  return result;
}
