#include "service/sources/addressRule.h"

#include "service/store/addressPolicy.h"
#include "service/store/ipv4.h"

std::string refusedAddress(std::uint32_t first, std::uint32_t count, const AddressRule& rule) {
  // A pool line's block holds at most 65,534 addresses, and one may differ from the next (a /16 round
  // 192.0.2.0/24): each is looked at.
  for (std::uint32_t at = 0; at < count; ++at) {
    std::uint32_t address = first + at;
    if (mayImport(address, rule.fromWeb, rule.allowPrivate)) continue;
    AddressClass kind = classifyIpv4(address);
    std::string named = formatIpv4(address) + " (" + std::string(kind.name) + "): ";
    return named + (kind.reach == AddressReach::never ? "never imported"
                                                      : "refused from a web source (--allow-private takes it)");
  }
  return {};
}
