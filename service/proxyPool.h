#pragma once
// The service's proxy pool: the entries it can list, loaded once at start from a UTF-8 data file and
// held as GBK texts so they compare directly with the decoded query values.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/valueModel.h"

struct PoolEntry {
  Text address;  // dotted IPv4, ASCII
  std::uint16_t port = 0;
  Text region;     // GBK
  Text carrier;    // GBK: 电信, 联通 or 移动 in the pool file; the region database may name others
  Text city = {};  // GBK; empty when the region is one text, as in the pool file
};

inline constexpr std::string_view kCarriers[] = {"电信", "联通", "移动"};

// A block line in the file expands to many entries; the pool never grows past this many.
inline constexpr std::size_t kMaxPoolEntries = 200000;

struct PoolLoad {
  std::vector<PoolEntry> entries;
  std::vector<std::string> warnings;  // one per skipped line, ASCII: "line 12: bad port"
  bool fileRead = false;              // false when the file could not be opened or read
};

// Parses the file's content (UTF-8). Entries come in pool order: the first address of every line in
// file order, then the second address of every block line, and so on, so that a list of any length
// mixes regions and carriers.
PoolLoad parsePool(std::string_view utf8Text);

PoolLoad loadPool(const std::string& path);
