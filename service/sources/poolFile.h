#pragma once
// The shipped sample pool file: lines of addresses, blocks, regions and carriers (UTF-8), expanded to
// the entries the service can list.
#include <cstddef>
#include <cstdint>
#include <memory>
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

// parsePool a line at a time, for a source read in blocks: each line's problem as it is met; the entries
// once every line is in (pool order needs them all; kMaxPoolEntries bounds them).
class PoolReader {
 public:
  explicit PoolReader(const AddressRule& rule = {});
  ~PoolReader();
  PoolReader(const PoolReader&) = delete;
  PoolReader& operator=(const PoolReader&) = delete;

  // Why no line can be read at all ("no UTF-8 to GBK converter on this system"), or empty.
  const std::string& unusable() const { return unusable_; }
  // Line `number` of the file (UTF-8, without its "\n"; the first without its byte-order mark): why it is
  // skipped, "line N: reason", or empty (blank and "#" lines too).
  std::string line(int number, std::string_view utf8Line);
  std::vector<PoolEntry> entries() const;

 private:
  struct Lines;
  AddressRule rule_;
  std::unique_ptr<Lines> lines_;
  std::size_t total_ = 0;
  std::string unusable_;
};

PoolLoad loadPool(const std::string& path);
