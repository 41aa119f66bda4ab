#pragma once
// quorvelip-service import: reads each source, reports its bad lines, merges its entries into the
// store and says what it added, merged and skipped.
#include <cstdio>
#include <string>
#include <vector>

#include "service/sources/ipRegion.h"
#include "service/store/poolStore.h"

struct ImportSettings {
  bool allowPrivate = false;  // take local-network addresses from web sources too (--allow-private)
};

// Imports one source. Reports "SOURCE: line N: reason" for each skipped line on `errors` and
// "SOURCE: added A, merged M, skipped S" on `out`. False when the source cannot be read.
bool importSource(PoolStore& store, const std::string& source, const IpRegionDb* regions, std::FILE* out,
                  std::FILE* errors, const ImportSettings& settings = {});

// Every source in turn; the exit status: 0, or 1 when a source could not be read.
int runImport(PoolStore& store, const std::vector<std::string>& sources, const IpRegionDb* regions, std::FILE* out,
              std::FILE* errors, const ImportSettings& settings = {});
