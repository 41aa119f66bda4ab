#include "service/serve/filterPool.h"

#include <algorithm>

namespace {

// 2 at a GBK lead byte with a byte after it, otherwise 1.
std::size_t characterLength(std::string_view text, std::size_t at) {
  auto byte = static_cast<unsigned char>(text[at]);
  return byte >= 0x81 && byte <= 0xFE && at + 1 < text.size() ? 2 : 1;
}

bool passes(const PoolEntry& entry, const ExtractRequest& request) {
  if (request.port && entry.port != *request.port) return false;
  if (!entry.address.starts_with(request.addressPrefix)) return false;
  if (!request.carrier.empty() && entry.carrier != request.carrier) return false;
  return request.region.empty() || containsGbk(entry.region, request.region) || containsGbk(entry.city, request.region);
}

}  // namespace

bool containsGbk(std::string_view text, std::string_view needle) {
  if (needle.empty()) return true;
  for (std::size_t at = 0; at + needle.size() <= text.size(); at += characterLength(text, at)) {
    if (text.compare(at, needle.size(), needle) != 0) continue;
    std::size_t end = at;
    while (end < at + needle.size()) end += characterLength(text, end);
    if (end == at + needle.size()) return true;  // else the match stops after a lead byte
  }
  return false;
}

std::vector<const PoolEntry*> filterPool(const std::vector<PoolEntry>& pool, const ExtractRequest& request) {
  std::vector<const PoolEntry*> chosen;
  if (request.count <= 0) return chosen;
  chosen.reserve(std::min(pool.size(), static_cast<std::size_t>(request.count)));
  for (const PoolEntry& entry : pool) {
    if (!passes(entry, request)) continue;
    chosen.push_back(&entry);
    if (chosen.size() == static_cast<std::size_t>(request.count)) break;
  }
  return chosen;
}
