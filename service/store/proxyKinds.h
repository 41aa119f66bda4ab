#pragma once
// What kind of proxy an entry is and how much it gives its client away: the protocols it works as
// (a set of bits, stored as one integer) and its anonymity grade. Names are the ones the JSON answer,
// the status page and the import's schemes use.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

enum ProtocolBit : std::uint8_t {
  kHttp = 1,    // a plain forward proxy: GET with the absolute URL
  kHttps = 2,   // a CONNECT tunnel
  kSocks4 = 4,  // SOCKS4 (4a when the target is a host name)
  kSocks5 = 8,  // SOCKS5 (the proxy resolves a host name)
};
using ProtocolSet = std::uint8_t;

inline constexpr std::array<ProtocolBit, 4> kProtocols = {kHttp, kHttps, kSocks4, kSocks5};

inline constexpr std::string_view protocolName(ProtocolBit protocol) {
  switch (protocol) {
    case kHttp:
      return "http";
    case kHttps:
      return "https";
    case kSocks4:
      return "socks4";
    case kSocks5:
      return "socks5";
  }
  return "";
}

inline constexpr std::optional<ProtocolBit> protocolNamed(std::string_view name) {
  for (ProtocolBit protocol : kProtocols) {
    if (protocolName(protocol) == name) return protocol;
  }
  return std::nullopt;
}

enum class Anonymity : std::uint8_t {
  unknown = 0,      // never seen alive through the signed target, or checked before grades existed
  transparent = 1,  // the checker's own address shows in what the target saw
  anonymous = 2,    // no own address, but a header that tells a proxy is in between
  elite = 3,        // neither
};

inline constexpr std::array<Anonymity, 4> kAnonymities = {Anonymity::unknown, Anonymity::transparent,
                                                          Anonymity::anonymous, Anonymity::elite};

inline constexpr std::string_view anonymityName(Anonymity grade) {
  switch (grade) {
    case Anonymity::unknown:
      return "unknown";
    case Anonymity::transparent:
      return "transparent";
    case Anonymity::anonymous:
      return "anonymous";
    case Anonymity::elite:
      return "elite";
  }
  return "";
}

inline constexpr std::optional<Anonymity> anonymityNamed(std::string_view name) {
  for (Anonymity grade : kAnonymities) {
    if (grade != Anonymity::unknown && anonymityName(grade) == name) return grade;
  }
  return std::nullopt;
}
