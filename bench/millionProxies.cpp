#include "millionProxies.h"

#include <array>
#include <cstdint>

namespace {

// First octets whose whole /8 is global unicast: 0, 10, 100 (100.64/10), 127, 169 (169.254/16),
// 172 (172.16/12), 192, 198 (198.18/15, 198.51.100/24), 203 (203.0.113/24) and 224 up left out.
constexpr std::array<std::uint8_t, 215> kFirstOctets = [] {
  std::array<std::uint8_t, 215> octets{};
  std::size_t at = 0;
  for (int octet = 1; octet <= 223; ++octet) {
    bool partlyOther = octet == 10 || octet == 100 || octet == 127 || octet == 169 || octet == 172 || octet == 192 ||
                       octet == 198 || octet == 203;
    if (!partlyOther) octets[at++] = static_cast<std::uint8_t>(octet);
  }
  return octets;
}();

}  // namespace

std::string generatedProxy(std::size_t i) {
  const std::size_t first = kFirstOctets[i % kFirstOctets.size()];
  // An odd multiplier is a bijection on 24 bits: distinct entries stay distinct, spread over the /8.
  const std::uint32_t rest = static_cast<std::uint32_t>(i / kFirstOctets.size() * 2654435761u) & 0xFFFFFFu;
  const unsigned port = i % 3 == 0 ? 18186u : 1024u + static_cast<unsigned>(i * 7919u % 64000u);
  return std::to_string(first) + "." + std::to_string(rest >> 16) + "." + std::to_string(rest >> 8 & 255) + "." +
         std::to_string(rest & 255) + ":" + std::to_string(port);
}

std::string generatedList(std::size_t count) {
  std::string text;
  text.reserve(count * 22);
  for (std::size_t i = 0; i < count; ++i) {
    text += generatedProxy(i);
    text += '\n';
  }
  return text;
}
