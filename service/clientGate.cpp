#include "service/clientGate.h"

#include <arpa/inet.h>

#include <cstring>

namespace {

struct Address {
  std::array<std::uint8_t, 16> bytes{};  // IPv4 in the first four
  bool v6 = false;
  bool mapped = false;  // was ::ffff:a.b.c.d, now the IPv4 address
};

constexpr int kMappedPrefixBits = 96;

std::optional<Address> parseAddress(std::string_view text) {
  if (text.empty() || text.size() >= INET6_ADDRSTRLEN) return std::nullopt;
  std::string copy(text);
  Address address;
  if (inet_pton(AF_INET, copy.c_str(), address.bytes.data()) == 1) return address;
  if (inet_pton(AF_INET6, copy.c_str(), address.bytes.data()) != 1) return std::nullopt;
  static constexpr std::uint8_t kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
  if (std::memcmp(address.bytes.data(), kMapped, sizeof kMapped) == 0) {
    std::memmove(address.bytes.data(), address.bytes.data() + 12, 4);
    std::memset(address.bytes.data() + 4, 0, 12);
    address.mapped = true;
    return address;
  }
  address.v6 = true;
  return address;
}

bool sameNetwork(const std::array<std::uint8_t, 16>& a, const std::array<std::uint8_t, 16>& b, int bits) {
  auto whole = static_cast<std::size_t>(bits / 8);
  if (std::memcmp(a.data(), b.data(), whole) != 0) return false;
  int rest = bits % 8;
  if (rest == 0) return true;
  auto mask = static_cast<std::uint8_t>(0xff << (8 - rest));
  return (a[whole] & mask) == (b[whole] & mask);
}

bool isHostItself(const Address& address) {
  static constexpr std::array<std::uint8_t, 16> kLoopback4 = {127, 0, 0, 1};
  static constexpr std::array<std::uint8_t, 16> kLoopback6 = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  return address.bytes == (address.v6 ? kLoopback6 : kLoopback4);
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// The prefix length of "BITS", at most `most`; empty when it is not a plain decimal number in range.
std::optional<int> prefixBits(std::string_view text, int most) {
  if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string_view::npos) {
    return std::nullopt;
  }
  int bits = 0;
  for (char digit : text) bits = bits * 10 + (digit - '0');
  if (bits > most) return std::nullopt;
  return bits;
}

}  // namespace

std::optional<ClientGate> ClientGate::parse(std::string_view list, std::string& problem) {
  ClientGate gate;
  std::string_view rest = list;
  while (true) {
    std::size_t comma = rest.find(',');
    std::string_view item = trimmed(rest.substr(0, comma));
    auto refuse = [&](const std::string& why) {
      problem = "--allow: '" + std::string(item) + "' " + why;
      return std::nullopt;
    };
    if (item.empty()) {
      problem = "--allow: an empty item in '" + std::string(list) + "'";
      return std::nullopt;
    }
    std::size_t slash = item.find('/');
    std::optional<Address> address = parseAddress(item.substr(0, slash));
    if (!address) return refuse("is not an IPv4 or IPv6 address (ADDRESS or ADDRESS/BITS)");
    Network network{address->bytes, address->v6, address->v6 ? 128 : 32};
    if (slash != std::string_view::npos) {
      // ::ffff:a.b.c.d/BITS counts its bits over the whole IPv6 address; only the IPv4 part can be matched.
      int most = address->v6 || address->mapped ? 128 : 32;
      std::optional<int> bits = prefixBits(item.substr(slash + 1), most);
      if (!bits) return refuse("needs a prefix length of 0 to " + std::to_string(most) + " bits after the /");
      if (address->mapped && *bits < kMappedPrefixBits) {
        return refuse("is IPv4-mapped: its prefix must be 96 to 128 bits (or write the IPv4 network)");
      }
      network.bits = address->mapped ? *bits - kMappedPrefixBits : *bits;
    }
    gate.networks_.push_back(network);
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return gate;
}

bool ClientGate::admits(std::string_view text) const {
  // A link-local peer carries its interface ("fe80::1%eth0"): the address is what is judged.
  std::optional<Address> address = parseAddress(text.substr(0, text.find('%')));
  if (!address) return false;
  if (isHostItself(*address)) return true;
  for (const Network& network : networks_) {
    if (network.v6 == address->v6 && sameNetwork(network.bytes, address->bytes, network.bits)) return true;
  }
  return false;
}

bool isLoopbackListen(std::string_view text) {
  std::optional<Address> address = parseAddress(text);
  if (!address) return false;
  if (address->v6) return isHostItself(*address);
  return address->bytes[0] == 127;
}
