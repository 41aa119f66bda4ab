#include "service/sources/importCommand.h"

#include <ctime>

#include "service/sources/fetchSource.h"
#include "service/sources/proxyList.h"

bool importSource(PoolStore& store, const std::string& source, const IpRegionDb* regions, std::FILE* out,
                  std::FILE* errors, const ImportSettings& settings) {
  SourceContent content = readSource(source);
  if (!content.ok) {
    std::fprintf(errors, "%s: %s\n", source.c_str(), content.error.c_str());
    return false;
  }
  ProxyList list = parseProxyList(content.content, regions, {isWebSource(source), settings.allowPrivate});
  for (const std::string& problem : list.problems) std::fprintf(errors, "%s: %s\n", source.c_str(), problem.c_str());
  MergeCounts counts;
  std::string error;
  if (!store.add(list.proxies, source, std::time(nullptr), counts, error)) {
    std::fprintf(errors, "%s: not written: %s (0 of %zu entries)\n", source.c_str(), error.c_str(),
                 list.proxies.size());
    return false;
  }
  std::fprintf(out, "%s: added %zu, merged %zu, skipped %zu\n", source.c_str(), counts.added, counts.merged,
               list.problems.size());
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
