#pragma once
// The shipped sample pool file: lines of addresses, blocks, regions and carriers (UTF-8), expanded to
// the entries the service can list.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "service/sources/addressRule.h"
#include "service/store/poolEntry.h"

// A block line in the file expands to many entries; the pool never grows past this many.
inline constexpr std::size_t kMaxPoolEntries = 200000;

struct PoolLoad {
  std::vector<PoolEntry> entries;
  std::vector<std::string> warnings;  // one per skipped line, ASCII: "line 12: bad port"
  bool fileRead = false;              // false when the file could not be opened or read
};

// Parses the file's content (UTF-8). Entries come in pool order: the first address of every line in
// file order, then the second address of every block line, and so on, so that a list of any length
// mixes regions and carriers. A line holding an address `rule` refuses is skipped whole.
PoolLoad parsePool(std::string_view utf8Text, const AddressRule& rule = {});

PoolLoad loadPool(const std::string& path);
