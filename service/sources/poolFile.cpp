#include "service/sources/poolFile.h"

#include <algorithm>
#include <iterator>
#include <optional>

#include "service/sources/localFile.h"
#include "service/store/ipv4.h"
#include "text/utf8ToGbk.h"

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr int kFieldCount = 4;
constexpr std::size_t kMaxPoolFileBytes = 64 * 1024 * 1024;

// One line of the file: a run of consecutive addresses sharing port, region and carrier.
struct PoolLine {
  std::uint32_t first = 0;
  std::uint32_t count = 0;
  std::uint16_t port = 0;
  Text region;
  Text carrier;
};

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (isBlank(text.front()) || text.front() == '\r')) text.remove_prefix(1);
  while (!text.empty() && (isBlank(text.back()) || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

// Splitting GBK at ASCII blanks is safe: trail bytes are never below 0x40.
std::vector<std::string_view> fields(std::string_view line) {
  std::vector<std::string_view> result;
  std::size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && isBlank(line[at])) ++at;
    std::size_t end = at;
    while (end < line.size() && !isBlank(line[end])) ++end;
    if (end > at) result.push_back(line.substr(at, end - at));
    at = end;
  }
  return result;
}

// "a.b.c.d" is one address; "a.b.c.d/n" every host address of the block.
bool parseAddresses(std::string_view text, PoolLine& line) {
  constexpr std::uint32_t kShortestPrefix = 16;
  constexpr std::uint32_t kLongestPrefixWithBroadcast = 30;
  std::size_t slash = text.find('/');
  std::optional<std::uint32_t> address = parseIpv4(text.substr(0, slash));
  if (!address) return false;
  if (slash == std::string_view::npos) {
    line.first = *address;
    line.count = 1;
    return true;
  }
  std::optional<std::uint32_t> prefix = parseDecimal(text.substr(slash + 1), 2);
  if (!prefix || *prefix < kShortestPrefix || *prefix > 32) return false;
  std::uint32_t size = std::uint32_t{1} << (32 - *prefix);
  if (*address & (size - 1)) return false;  // host bits set: probably a typo, not a block
  bool dropEnds = *prefix <= kLongestPrefixWithBroadcast;
  line.first = *address + (dropEnds ? 1 : 0);
  line.count = size - (dropEnds ? 2 : 0);
  return true;
}

// The reason a line is unusable, or empty when `line` was filled.
std::string parseLine(std::string_view gbkLine, PoolLine& line) {
  std::vector<std::string_view> parts = fields(gbkLine);
  if (parts.size() != kFieldCount) return "expected 4 fields: address port region carrier";
  if (!parseAddresses(parts[0], line)) return "bad address or block";
  std::optional<std::uint32_t> port = parseDecimal(parts[1], 5);
  if (!port || *port < 1 || *port > 65535) return "bad port";
  line.port = static_cast<std::uint16_t>(*port);
  if (std::find(std::begin(kCarriers), std::end(kCarriers), parts[3]) == std::end(kCarriers)) {
    return "unknown carrier";
  }
  line.region = Text(parts[2]);
  line.carrier = Text(parts[3]);
  return {};
}

std::vector<PoolEntry> interleave(const std::vector<PoolLine>& lines) {
  std::vector<PoolEntry> entries;
  std::vector<const PoolLine*> active;
  for (const PoolLine& line : lines) active.push_back(&line);
  for (std::uint32_t round = 0; !active.empty(); ++round) {
    for (const PoolLine* line : active) {
      entries.push_back({formatIpv4(line->first + round), line->port, line->region, line->carrier, {}});
    }
    std::erase_if(active, [round](const PoolLine* line) { return line->count <= round + 1; });
  }
  return entries;
}

}  // namespace

struct PoolReader::Lines {
  Utf8ToGbk toGbk;
  std::vector<PoolLine> kept;
};

PoolReader::PoolReader(const AddressRule& rule) : rule_(rule), lines_(std::make_unique<Lines>()) {
  if (!lines_->toGbk.valid()) unusable_ = "no UTF-8 to GBK converter on this system";
}

PoolReader::~PoolReader() = default;

std::string PoolReader::line(int number, std::string_view utf8Line) {
  std::string_view raw = trimmed(utf8Line);
  if (!unusable_.empty() || raw.empty() || raw.front() == '#') return {};
  std::string problem;
  PoolLine line;
  std::optional<Text> gbk = lines_->toGbk.convert(raw);
  if (!gbk) {
    problem = "not UTF-8, or a character GBK lacks";
  } else {
    problem = parseLine(*gbk, line);
  }
  if (problem.empty()) problem = refusedAddress(line.first, line.count, rule_);
  if (problem.empty() && total_ + line.count > kMaxPoolEntries) {
    problem = "pool full (" + std::to_string(kMaxPoolEntries) + " entries)";
  }
  if (!problem.empty()) return "line " + std::to_string(number) + ": " + problem;
  total_ += line.count;
  lines_->kept.push_back(std::move(line));
  return {};
}

std::vector<PoolEntry> PoolReader::entries() const {
  return interleave(lines_->kept);
}

PoolLoad parsePool(std::string_view utf8Text, const AddressRule& rule) {
  PoolLoad result;
  result.fileRead = true;
  if (utf8Text.starts_with(kUtf8Bom)) utf8Text.remove_prefix(kUtf8Bom.size());
  PoolReader reader(rule);
  if (!reader.unusable().empty()) {
    result.warnings.push_back(reader.unusable());
    return result;
  }
  int number = 0;
  while (!utf8Text.empty()) {
    std::size_t end = utf8Text.find('\n');
    if (std::string problem = reader.line(++number, utf8Text.substr(0, end)); !problem.empty()) {
      result.warnings.push_back(std::move(problem));
    }
    utf8Text.remove_prefix(end == std::string_view::npos ? utf8Text.size() : end + 1);
  }
  result.entries = reader.entries();
  return result;
}

PoolLoad loadPool(const std::string& path) {
  LocalFile file = readLocalFile(path, kMaxPoolFileBytes);
  if (!file.ok) {
    PoolLoad result;
    result.warnings.push_back("cannot read " + path + ": " + file.error);
    return result;
  }
  return parsePool(file.content);
}
