#pragma once
// Dotted IPv4 addresses, one spelling each: four parts 0 to 255 without leading zeros.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The address in host order, or empty when `text` is not exactly such a dotted quad.
std::optional<std::uint32_t> parseIpv4(std::string_view text);

std::string formatIpv4(std::uint32_t address);

// A decimal number of 1 to `maxDigits` ASCII digits.
std::optional<std::uint32_t> parseDecimal(std::string_view text, std::size_t maxDigits);
