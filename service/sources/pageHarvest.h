#pragma once
// Reading a source that is a page rather than a plain list: HTML, JSON or any text, with proxies in
// tables, objects or prose (htmlHarvest.h, jsonHarvest.h, proxyForm.h). Each proxy found is checked as a
// plain list's line is (its address, its port, the address rule) and located in the region database;
// a proxy found twice is kept once, the second sighting filling in a scheme or credentials the first
// lacked.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "service/sources/addressRule.h"
#include "service/sources/ipRegion.h"
#include "service/store/poolStore.h"

// The skipped proxies a report names one by one; the rest are counted.
inline constexpr std::size_t kNamedSkips = 10;

struct PageHarvest {
  std::vector<NewProxy> proxies;  // each address and port once, in the order first found
  std::size_t tableRows = 0;      // found in an HTML table's row, address and port in cells of their own
  std::size_t jsonObjects = 0;    // found as a JSON object's fields
  std::size_t inlineText = 0;     // written inline: prose, code, a cell, a JSON string
  std::size_t repeats = 0;        // found again after the first time
  std::size_t badAddresses = 0;
  std::size_t badPorts = 0;
  std::size_t refused = 0;  // by the address rule
  // "1.2.3.4:99999: bad port", the first kNamedSkips; an address, never credentials.
  std::vector<std::string> namedSkips;
  bool notJson = false;  // it began as JSON does but is not JSON: read as text

  std::size_t skipped() const { return badAddresses + badPorts + refused; }
  // "found 37 (html table rows 30, inline 7), skipped 3: 2 refused addresses, 1 bad port"
  std::string summary() const;
};

// A source is a page when it begins (after a byte-order mark and blanks) with "<", "{" or "[", or when
// fewer than half of its lines (blank and "#" lines aside) are a plain list's lines in shape: one word
// holding a ":" (address:port and the other ways one proxy is written), or four fields the first of
// which starts with a digit (a pool file line). Anything else is a plain list, read line by line.
bool isPage(std::string_view text);

// isPage's judgement made a line at a time, for a source read in blocks: each line without its "\n".
class PageShape {
 public:
  void line(std::string_view text);
  bool isPage() const { return startsAsPage_ || listLines_ * 2 < lines_; }

 private:
  bool first_ = true;     // the byte-order mark counts on the first line only
  bool started_ = false;  // the first byte that is no blank was seen
  bool startsAsPage_ = false;
  std::size_t lines_ = 0;
  std::size_t listLines_ = 0;
};

PageHarvest harvestPage(std::string_view text, const IpRegionDb* regions, const AddressRule& rule = {});
