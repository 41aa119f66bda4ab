#pragma once
// Reading a list of proxies to import. Two kinds of line, mixed freely in one text (UTF-8):
//   address:port                          e.g. 1.45.3.7:8080; region and carrier from the region database
//   address port region carrier           the pool file's line (see proxyPool.h), blocks included
// Blank lines and lines starting with "#" are ignored; a bad line is reported and skipped.
#include <string>
#include <string_view>
#include <vector>

#include "service/sources/addressRule.h"
#include "service/sources/ipRegion.h"
#include "service/store/poolStore.h"

struct ProxyList {
  std::vector<NewProxy> proxies;      // address:port lines in file order, then the pool lines in pool order
  std::vector<std::string> problems;  // "line 12: bad port", one per skipped line
};

// `regions` may be null (or know nothing): address:port entries then have no region or carrier. A
// line holding an address `rule` refuses is reported and skipped.
ProxyList parseProxyList(std::string_view utf8Text, const IpRegionDb* regions, const AddressRule& rule = {});

// Fills in region and carrier from the database; an address it does not know keeps them empty.
void locate(NewProxy& proxy, std::uint32_t address, const IpRegionDb* regions);
