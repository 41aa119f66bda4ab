#pragma once
// One entry the service can list, held as GBK texts so it compares directly with the decoded query
// values.
#include <cstdint>
#include <string_view>

#include "toolkit/valueModel.h"

struct PoolEntry {
  Text address;  // dotted IPv4, ASCII
  std::uint16_t port = 0;
  Text region;     // GBK
  Text carrier;    // GBK: 电信, 联通 or 移动 in the pool file; the region database may name others
  Text city = {};  // GBK; empty when the region is one text, as in the pool file
};

inline constexpr std::string_view kCarriers[] = {"电信", "联通", "移动"};
