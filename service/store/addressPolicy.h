#pragma once
// Which IPv4 addresses the pool may hold and the checker may contact. A list from the web must not
// turn the checker into a scanner of the operator's own network, nor make it send to addresses that
// are no host at all.
#include <cstdint>
#include <string_view>

enum class AddressReach {
  anywhere,   // a global address: imported from any source, checked
  localOnly,  // private, loopback, link-local, shared, documentation, benchmarking: only from local files
              // (the operator wrote them) or with --allow-private
  never,      // "this network" 0/8, multicast, reserved 240/4, broadcast: neither imported nor contacted
};

struct AddressClass {
  AddressReach reach = AddressReach::anywhere;
  std::string_view name;    // "global", "private", "loopback", … for reports
  bool contactable = true;  // documentation and benchmarking blocks name no real host: listed, never checked
};

// `address` in host order.
AddressClass classifyIpv4(std::uint32_t address);

// Whether an import may take the address: `fromWeb` for http(s) sources.
bool mayImport(std::uint32_t address, bool fromWeb, bool allowPrivate);

// Whether the checker may connect to the address (defence in depth: the import decided first).
bool mayContact(std::uint32_t address);
