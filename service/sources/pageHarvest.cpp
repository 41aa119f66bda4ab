#include "service/sources/pageHarvest.h"

#include <cstdint>
#include <unordered_map>

#include "service/sources/htmlHarvest.h"
#include "service/sources/jsonHarvest.h"
#include "service/sources/proxyList.h"

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

bool isListLine(std::string_view line) {
  std::size_t fields = 0;
  for (std::size_t at = 0; at < line.size();) {
    while (at < line.size() && isBlank(line[at])) ++at;
    if (at == line.size()) break;
    ++fields;
    while (at < line.size() && !isBlank(line[at])) ++at;
  }
  if (fields == 1) return line.find(':') != std::string_view::npos;
  return fields == 4 && line.front() >= '0' && line.front() <= '9';
}

std::string counted(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

class Collector {
 public:
  Collector(PageHarvest& harvest, const IpRegionDb* regions, const AddressRule& rule)
      : harvest_(harvest), regions_(regions), rule_(rule) {}

  void take(ProxyForm& form, FoundIn where) {
    NewProxy proxy;
    std::uint32_t address = 0;
    std::string problem = acceptProxy(form, rule_, proxy, address);
    if (!problem.empty()) {
      skip(form, problem);
      return;
    }
    std::uint64_t key = std::uint64_t{address} << 16 | proxy.port;
    auto [seen, added] = index_.try_emplace(key, harvest_.proxies.size());
    if (!added) {
      ++harvest_.repeats;
      NewProxy& first = harvest_.proxies[seen->second];
      if (!first.scheme) first.scheme = proxy.scheme;
      if (first.username.empty() && first.password.empty()) {
        first.username = std::move(proxy.username);
        first.password = std::move(proxy.password);
      }
      return;
    }
    ++(where == FoundIn::tableRow     ? harvest_.tableRows
       : where == FoundIn::jsonObject ? harvest_.jsonObjects
                                      : harvest_.inlineText);
    locate(proxy, address, regions_);
    harvest_.proxies.push_back(std::move(proxy));
  }

 private:
  void skip(const ProxyForm& form, const std::string& problem) {
    if (problem == "bad address") {
      ++harvest_.badAddresses;
    } else if (problem == "bad port") {
      ++harvest_.badPorts;
    } else {
      ++harvest_.refused;
    }
    if (harvest_.namedSkips.size() < kNamedSkips) {
      harvest_.namedSkips.push_back(form.address + ":" + form.port + ": " + problem);
    }
  }

  PageHarvest& harvest_;
  const IpRegionDb* regions_;
  const AddressRule& rule_;
  std::unordered_map<std::uint64_t, std::size_t> index_;
};

}  // namespace

std::string PageHarvest::summary() const {
  std::string kinds;
  auto kind = [&](std::size_t count, const char* name) {
    if (count) kinds += (kinds.empty() ? "" : ", ") + std::string(name) + " " + std::to_string(count);
  };
  kind(tableRows, "html table rows");
  kind(jsonObjects, "json objects");
  kind(inlineText, "inline");
  std::string text = "found " + std::to_string(proxies.size());
  if (!kinds.empty() || repeats || notJson) {
    text += " (" + kinds;
    if (repeats) text += (kinds.empty() ? "" : "; ") + counted(repeats, "repeat", "repeats") + " left out";
    if (notJson) text += std::string(kinds.empty() && !repeats ? "" : "; ") + "not well-formed JSON: read as text";
    text += ")";
  }
  if (skipped()) {
    std::string reasons;
    auto reason = [&](std::size_t count, const char* one, const char* many) {
      if (count) reasons += (reasons.empty() ? "" : ", ") + counted(count, one, many);
    };
    reason(refused, "refused address", "refused addresses");
    reason(badAddresses, "bad address", "bad addresses");
    reason(badPorts, "bad port", "bad ports");
    text += ", skipped " + std::to_string(skipped()) + ": " + reasons;
  }
  return text;
}

bool isPage(std::string_view text) {
  PageShape shape;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    shape.line(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
  return shape.isPage();
}

void PageShape::line(std::string_view text) {
  if (first_ && text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  first_ = false;
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  if (!started_ && !text.empty()) {
    started_ = true;
    startsAsPage_ = text.front() == '<' || text.front() == '{' || text.front() == '[';
  }
  if (startsAsPage_ || text.empty() || text.front() == '#') return;
  ++lines_;
  if (isListLine(text)) ++listLines_;
}

PageHarvest harvestPage(std::string_view text, const IpRegionDb* regions, const AddressRule& rule) {
  PageHarvest harvest;
  Collector collector(harvest, regions, rule);
  FoundProxy found = [&](ProxyForm& form, FoundIn where) { collector.take(form, where); };
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::size_t first = text.find_first_not_of(" \t\r\n");
  bool json = first != std::string_view::npos && (text[first] == '{' || text[first] == '[');
  if (json && findInJson(text, found)) return harvest;
  harvest.notJson = json;
  findInHtml(text, found);
  return harvest;
}
