#include "service/store/ipv4.h"

std::optional<std::uint32_t> parseDecimal(std::string_view text, std::size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return value;
}

std::optional<std::uint32_t> parseIpv4(std::string_view text) {
  std::uint32_t address = 0;
  for (int part = 0; part < 4; ++part) {
    std::size_t dot = part < 3 ? text.find('.') : text.size();
    if (dot == std::string_view::npos) return std::nullopt;
    std::string_view digits = text.substr(0, dot);
    std::optional<std::uint32_t> octet = parseDecimal(digits, 3);
    if (!octet || *octet > 255 || (digits.size() > 1 && digits[0] == '0')) return std::nullopt;
    address = (address << 8) | *octet;
    text.remove_prefix(part < 3 ? dot + 1 : dot);
  }
  return address;
}

std::string formatIpv4(std::uint32_t address) {
  return std::to_string(address >> 24) + '.' + std::to_string((address >> 16) & 0xFF) + '.' +
         std::to_string((address >> 8) & 0xFF) + '.' + std::to_string(address & 0xFF);
}
