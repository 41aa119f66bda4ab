#pragma once
// quorvelip-service import: reads each source (a plain list, or a page: see pageHarvest.h), reports what
// it skipped, merges its entries into the store and says what it added, merged and skipped, or that it
// wrote nothing and why.
#include <cstdio>
#include <string>
#include <vector>

#include "service/sources/ipRegion.h"
#include "service/store/poolStore.h"

// The source that names standard input, read as a local file is.
inline constexpr char kStandardInput[] = "-";

struct ImportSettings {
  bool allowPrivate = false;  // take local-network addresses from web sources too (--allow-private)
};

// Imports one source in one transaction: all its entries or none. A plain list in a file is read in
// blocks and written in chunks as it is read (one from the web is fetched whole first); a page is
// harvested whole. A plain list reports "SOURCE: line N: reason" for each skipped line on `errors`; a
// page "SOURCE: found …" on `out` (PageHarvest::summary) and its first skipped proxies by address on
// `errors`. Then, once committed, "SOURCE: added A, merged M, skipped S" on `out`, or, when the store
// refused, "SOURCE: not written: MESSAGE (0 of N entries)" on `errors`.
// False when the source could not be read or was not written.
bool importSource(PoolStore& store, const std::string& source, const IpRegionDb* regions, std::FILE* out,
                  std::FILE* errors, const ImportSettings& settings = {});

// Every source in turn, each on its own, then "N entries in the pool". The exit status: 0, or 1 when
// a source could not be read or was not written.
int runImport(PoolStore& store, const std::vector<std::string>& sources, const IpRegionDb* regions, std::FILE* out,
              std::FILE* errors, const ImportSettings& settings = {});
