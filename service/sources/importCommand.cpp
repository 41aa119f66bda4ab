#include "service/sources/importCommand.h"

#include <ctime>

#include "service/sources/fetchSource.h"
#include "service/sources/pageHarvest.h"
#include "service/sources/proxyList.h"

namespace {

// What a page gave: "SOURCE: found …" on `out`, the first skipped proxies by name on `errors`. The
// skipped ones are counted for the final line.
std::vector<NewProxy> readPage(const std::string& source, const std::string& content, const IpRegionDb* regions,
                               const AddressRule& rule, std::FILE* out, std::FILE* errors, std::size_t& skipped) {
  PageHarvest harvest = harvestPage(content, regions, rule);
  for (const std::string& skip : harvest.namedSkips) std::fprintf(errors, "%s: %s\n", source.c_str(), skip.c_str());
  if (harvest.skipped() > harvest.namedSkips.size()) {
    std::fprintf(errors, "%s: and %zu more skipped\n", source.c_str(), harvest.skipped() - harvest.namedSkips.size());
  }
  std::fprintf(out, "%s: %s\n", source.c_str(), harvest.summary().c_str());
  skipped = harvest.skipped();
  return std::move(harvest.proxies);
}

// A plain list: each bad line on `errors` with its number.
std::vector<NewProxy> readList(const std::string& source, const std::string& content, const IpRegionDb* regions,
                               const AddressRule& rule, std::FILE* errors, std::size_t& skipped) {
  ProxyList list = parseProxyList(content, regions, rule);
  for (const std::string& problem : list.problems) std::fprintf(errors, "%s: %s\n", source.c_str(), problem.c_str());
  skipped = list.problems.size();
  return std::move(list.proxies);
}

}  // namespace

bool importSource(PoolStore& store, const std::string& source, const IpRegionDb* regions, std::FILE* out,
                  std::FILE* errors, const ImportSettings& settings) {
  SourceContent content = readSource(source);
  if (!content.ok) {
    std::fprintf(errors, "%s: %s\n", source.c_str(), content.error.c_str());
    return false;
  }
  AddressRule rule{isWebSource(source), settings.allowPrivate};
  std::size_t skipped = 0;
  std::vector<NewProxy> proxies = isPage(content.content)
                                      ? readPage(source, content.content, regions, rule, out, errors, skipped)
                                      : readList(source, content.content, regions, rule, errors, skipped);
  MergeCounts counts;
  std::string error;
  if (!store.add(proxies, source, std::time(nullptr), counts, error)) {
    std::fprintf(errors, "%s: not written: %s (0 of %zu entries)\n", source.c_str(), error.c_str(), proxies.size());
    return false;
  }
  std::fprintf(out, "%s: added %zu, merged %zu, skipped %zu\n", source.c_str(), counts.added, counts.merged, skipped);
  return true;
}

int runImport(PoolStore& store, const std::vector<std::string>& sources, const IpRegionDb* regions, std::FILE* out,
              std::FILE* errors, const ImportSettings& settings) {
  int status = 0;
  for (const std::string& source : sources) {
    if (!importSource(store, source, regions, out, errors, settings)) status = 1;
  }
  std::size_t entries = 0;
  std::string error;
  if (store.count(entries, error)) {
    std::fprintf(out, "%zu entries in the pool\n", entries);
  } else {
    std::fprintf(errors, "cannot count the entries in the pool: %s\n", error.c_str());
    status = 1;
  }
  return status;
}
