#include "service/store/addressPolicy.h"

#include <array>

namespace {

struct Block {
  std::uint32_t network;
  int prefix;
  AddressClass kind;
};

constexpr std::uint32_t ipv4(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
  return a << 24 | b << 16 | c << 8 | d;
}

using enum AddressReach;

// Longest prefixes first where blocks nest (255.255.255.255 inside 240/4).
constexpr std::array kBlocks = {
    Block{ipv4(255, 255, 255, 255), 32, {never, "broadcast", false}},
    Block{ipv4(0, 0, 0, 0), 8, {never, "this network", false}},
    Block{ipv4(224, 0, 0, 0), 4, {never, "multicast", false}},
    Block{ipv4(240, 0, 0, 0), 4, {never, "reserved", false}},
    Block{ipv4(10, 0, 0, 0), 8, {localOnly, "private", true}},
    Block{ipv4(172, 16, 0, 0), 12, {localOnly, "private", true}},
    Block{ipv4(192, 168, 0, 0), 16, {localOnly, "private", true}},
    Block{ipv4(100, 64, 0, 0), 10, {localOnly, "shared", true}},
    Block{ipv4(127, 0, 0, 0), 8, {localOnly, "loopback", true}},
    Block{ipv4(169, 254, 0, 0), 16, {localOnly, "link-local", true}},
    Block{ipv4(192, 0, 0, 0), 24, {localOnly, "protocol assignments", true}},
    Block{ipv4(192, 0, 2, 0), 24, {localOnly, "documentation", false}},
    Block{ipv4(198, 51, 100, 0), 24, {localOnly, "documentation", false}},
    Block{ipv4(203, 0, 113, 0), 24, {localOnly, "documentation", false}},
    Block{ipv4(198, 18, 0, 0), 15, {localOnly, "benchmarking", false}},
};

bool inside(std::uint32_t address, const Block& block) {
  std::uint32_t mask = block.prefix == 0 ? 0 : ~std::uint32_t{0} << (32 - block.prefix);
  return (address & mask) == block.network;
}

}  // namespace

AddressClass classifyIpv4(std::uint32_t address) {
  for (const Block& block : kBlocks) {
    if (inside(address, block)) return block.kind;
  }
  return {anywhere, "global", true};
}

bool mayImport(std::uint32_t address, bool fromWeb, bool allowPrivate) {
  switch (classifyIpv4(address).reach) {
    case anywhere:
      return true;
    case localOnly:
      return !fromWeb || allowPrivate;
    case never:
      return false;
  }
  return false;
}

bool mayContact(std::uint32_t address) {
  AddressClass kind = classifyIpv4(address);
  return kind.reach != never && kind.contactable;
}
