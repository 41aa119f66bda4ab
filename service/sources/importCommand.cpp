#include "service/sources/importCommand.h"

#include <ctime>
#include <functional>
#include <string_view>

#include "service/sources/fetchSource.h"
#include "service/sources/localFile.h"
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

// Entries handed to the store at a time: enough that each chunk is one long stretch of work for the
// engine (one COPY on PostgreSQL), few enough that a chunk stays a few MB whatever the source holds.
constexpr std::size_t kImportChunk = 10000;

// Feeds each line of a source to `line`; false when the source could not be read to its end.
using LineFeed = std::function<bool(const std::function<void(std::string_view)>& line)>;

// A list's entries written in chunks as they are read, all in one transaction. After a failure the rest
// is still read, for its report and its count, and nothing more is written.
class ChunkedWrite {
 public:
  ChunkedWrite(PoolStore& store, std::string_view source) : import_(store.import(source, std::time(nullptr))) {
    chunk_.reserve(kImportChunk);
  }
  void take(NewProxy&& proxy) {
    ++entries_;
    if (failed_) return;
    chunk_.push_back(std::move(proxy));
    if (chunk_.size() == kImportChunk) flush();
  }
  bool commit(MergeCounts& counts) {
    flush();
    return !failed_ && import_.commit(counts, error_);
  }
  std::size_t entries() const { return entries_; }
  const std::string& error() const { return error_; }

 private:
  void flush() {
    if (!failed_ && !chunk_.empty()) failed_ = !import_.add(chunk_, error_);
    chunk_.clear();
  }

  PoolImport import_;
  std::vector<NewProxy> chunk_;
  std::size_t entries_ = 0;
  bool failed_ = false;
  std::string error_;
};

// A plain list, written as it is read: each bad line on `errors` with its number as it is met.
bool importList(PoolStore& store, const std::string& source, const LineFeed& lines, const IpRegionDb* regions,
                const AddressRule& rule, std::FILE* out, std::FILE* errors) {
  ChunkedWrite write(store, source);
  std::size_t skipped = 0;
  ProxyListReader list(
      regions, rule, [&](NewProxy&& proxy) { write.take(std::move(proxy)); },
      [&](const std::string& problem) {
        ++skipped;
        std::fprintf(errors, "%s: %s\n", source.c_str(), problem.c_str());
      });
  if (!lines([&](std::string_view line) { list.line(line); })) return false;
  list.finish();
  MergeCounts counts;
  if (!write.commit(counts)) {
    std::fprintf(errors, "%s: not written: %s (0 of %zu entries)\n", source.c_str(), write.error().c_str(),
                 write.entries());
    return false;
  }
  std::fprintf(out, "%s: added %zu, merged %zu, skipped %zu\n", source.c_str(), counts.added, counts.merged, skipped);
  return true;
}

// A page, harvested whole and written in one go.
bool importPage(PoolStore& store, const std::string& source, const std::string& content, const IpRegionDb* regions,
                const AddressRule& rule, std::FILE* out, std::FILE* errors) {
  std::size_t skipped = 0;
  std::vector<NewProxy> proxies = readPage(source, content, regions, rule, out, errors, skipped);
  MergeCounts counts;
  std::string error;
  if (!store.add(proxies, source, std::time(nullptr), counts, error)) {
    std::fprintf(errors, "%s: not written: %s (0 of %zu entries)\n", source.c_str(), error.c_str(), proxies.size());
    return false;
  }
  std::fprintf(out, "%s: added %zu, merged %zu, skipped %zu\n", source.c_str(), counts.added, counts.merged, skipped);
  return true;
}

// Fetched whole (a transfer cannot be looked over and then read again); a list in it is still written in
// chunks, so its entries are never held all at once beside it.
bool importWebSource(PoolStore& store, const std::string& source, const IpRegionDb* regions, const AddressRule& rule,
                     std::FILE* out, std::FILE* errors) {
  SourceContent content = readSource(source);
  if (!content.ok) {
    std::fprintf(errors, "%s: %s\n", source.c_str(), content.error.c_str());
    return false;
  }
  if (isPage(content.content)) return importPage(store, source, content.content, regions, rule, out, errors);
  LineFeed lines = [&](const std::function<void(std::string_view)>& line) {
    for (std::string_view text = content.content; !text.empty();) {
      std::size_t end = text.find('\n');
      line(text.substr(0, end));
      text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return true;
  };
  return importList(store, source, lines, regions, rule, out, errors);
}

// Looked over once for its shape, then read again from the start: a list in blocks, a page whole.
bool importLocalFile(PoolStore& store, const std::string& source, const IpRegionDb* regions, const AddressRule& rule,
                     std::FILE* out, std::FILE* errors) {
  LocalSource file =
      source == kStandardInput ? LocalSource::standardInput(kMaxSourceBytes) : LocalSource(source, kMaxSourceBytes);
  PageShape shape;
  bool read = file.lines([&](std::string_view line) { shape.line(line); });
  if (read && shape.isPage()) {
    std::string content;
    if (file.readAll(content)) return importPage(store, source, content, regions, rule, out, errors);
  } else if (read) {
    LineFeed lines = [&](const std::function<void(std::string_view)>& line) { return file.lines(line); };
    if (importList(store, source, lines, regions, rule, out, errors)) return true;
    if (file.ok()) return false;  // not written, and said so
  }
  std::fprintf(errors, "%s: %s\n", source.c_str(), file.error().c_str());
  return false;
}

}  // namespace

bool importSource(PoolStore& store, const std::string& source, const IpRegionDb* regions, std::FILE* out,
                  std::FILE* errors, const ImportSettings& settings) {
  AddressRule rule{isWebSource(source), settings.allowPrivate};
  if (rule.fromWeb) return importWebSource(store, source, regions, rule, out, errors);
  return importLocalFile(store, source, regions, rule, out, errors);
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
