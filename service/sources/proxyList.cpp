#include "service/sources/proxyList.h"

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

ProxyListReader::ProxyListReader(const IpRegionDb* regions, const AddressRule& rule, Take take, Skip skip)
    : regions_(regions), rule_(rule), take_(std::move(take)), skip_(std::move(skip)), pool_(rule) {
  if (!pool_.unusable().empty()) skip_(pool_.unusable());
}

void ProxyListReader::line(std::string_view raw) {
  std::string_view line = trimmed(raw);
  if (++number_ == 1) {
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    if (line.starts_with(kBom)) line.remove_prefix(kBom.size());
    if (raw.starts_with(kBom)) raw.remove_prefix(kBom.size());
  }
  if (line.empty() || line.front() == '#' || !isProxyWordLine(line)) {
    // The pool file's own reader, which numbers lines as this one does.
    if (std::string problem = pool_.line(number_, raw); !problem.empty()) skip_(problem);
    return;
  }
  NewProxy proxy;
  if (std::string problem = parseWord(line, proxy, regions_, rule_); !problem.empty()) {
    skip_("line " + std::to_string(number_) + ": " + problem);
    return;
  }
  take_(std::move(proxy));
}

void ProxyListReader::finish() {
  for (PoolEntry& entry : pool_.entries()) {
    take_({entry.address, entry.port, gbkToUtf8(entry.region), "", gbkToUtf8(entry.carrier)});
  }
}

ProxyList parseProxyList(std::string_view utf8Text, const IpRegionDb* regions, const AddressRule& rule) {
  ProxyList result;
  ProxyListReader reader(
      regions, rule, [&](NewProxy&& proxy) { result.proxies.push_back(std::move(proxy)); },
      [&](const std::string& problem) { result.problems.push_back(problem); });
  while (!utf8Text.empty()) {
    std::size_t end = utf8Text.find('\n');
    reader.line(utf8Text.substr(0, end));
    utf8Text.remove_prefix(end == std::string_view::npos ? utf8Text.size() : end + 1);
  }
  reader.finish();
  return result;
}
