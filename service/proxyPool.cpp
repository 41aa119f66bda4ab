#include "service/proxyPool.h"

#include <iconv.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr int kFieldCount = 4;

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

// A decimal number of 1 to `maxDigits` ASCII digits.
std::optional<std::uint32_t> decimal(std::string_view text, std::size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return value;
}

// Dotted quad, each part 0 to 255 without leading zeros (so every address has one spelling).
std::optional<std::uint32_t> parseAddress(std::string_view text) {
  std::uint32_t address = 0;
  for (int part = 0; part < 4; ++part) {
    std::size_t dot = part < 3 ? text.find('.') : text.size();
    if (dot == std::string_view::npos) return std::nullopt;
    std::string_view digits = text.substr(0, dot);
    std::optional<std::uint32_t> octet = decimal(digits, 3);
    if (!octet || *octet > 255 || (digits.size() > 1 && digits[0] == '0')) return std::nullopt;
    address = (address << 8) | *octet;
    text.remove_prefix(part < 3 ? dot + 1 : dot);
  }
  return address;
}

Text formatAddress(std::uint32_t address) {
  return std::to_string(address >> 24) + '.' + std::to_string((address >> 16) & 0xFF) + '.' +
         std::to_string((address >> 8) & 0xFF) + '.' + std::to_string(address & 0xFF);
}

// "a.b.c.d" is one address; "a.b.c.d/n" every host address of the block.
bool parseAddresses(std::string_view text, PoolLine& line) {
  constexpr std::uint32_t kShortestPrefix = 16;
  constexpr std::uint32_t kLongestPrefixWithBroadcast = 30;
  std::size_t slash = text.find('/');
  std::optional<std::uint32_t> address = parseAddress(text.substr(0, slash));
  if (!address) return false;
  if (slash == std::string_view::npos) {
    line.first = *address;
    line.count = 1;
    return true;
  }
  std::optional<std::uint32_t> prefix = decimal(text.substr(slash + 1), 2);
  if (!prefix || *prefix < kShortestPrefix || *prefix > 32) return false;
  std::uint32_t size = std::uint32_t{1} << (32 - *prefix);
  if (*address & (size - 1)) return false;  // host bits set: probably a typo, not a block
  bool dropEnds = *prefix <= kLongestPrefixWithBroadcast;
  line.first = *address + (dropEnds ? 1 : 0);
  line.count = size - (dropEnds ? 2 : 0);
  return true;
}

class Utf8ToGbk {
 public:
  Utf8ToGbk() : converter_(iconv_open("GBK", "UTF-8")) {}
  ~Utf8ToGbk() {
    if (valid()) iconv_close(converter_);
  }
  Utf8ToGbk(const Utf8ToGbk&) = delete;
  Utf8ToGbk& operator=(const Utf8ToGbk&) = delete;

  bool valid() const { return converter_ != reinterpret_cast<iconv_t>(-1); }

  // Empty when the text is not UTF-8 or holds a character GBK lacks.
  std::optional<Text> convert(std::string_view text) {
    if (!valid()) return std::nullopt;
    iconv(converter_, nullptr, nullptr, nullptr, nullptr);
    // GBK never needs more bytes than UTF-8 for the same characters.
    Text result(text.size(), '\0');
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* out = result.data();
    std::size_t outLeft = result.size();
    if (iconv(converter_, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1)) return std::nullopt;
    result.resize(result.size() - outLeft);
    return result;
  }

 private:
  iconv_t converter_;
};

// The reason a line is unusable, or empty when `line` was filled.
std::string parseLine(std::string_view gbkLine, PoolLine& line) {
  std::vector<std::string_view> parts = fields(gbkLine);
  if (parts.size() != kFieldCount) return "expected 4 fields: address port region carrier";
  if (!parseAddresses(parts[0], line)) return "bad address or block";
  std::optional<std::uint32_t> port = decimal(parts[1], 5);
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
      entries.push_back({formatAddress(line->first + round), line->port, line->region, line->carrier});
    }
    std::erase_if(active, [round](const PoolLine* line) { return line->count <= round + 1; });
  }
  return entries;
}

}  // namespace

PoolLoad parsePool(std::string_view utf8Text) {
  PoolLoad result;
  result.fileRead = true;
  if (utf8Text.starts_with(kUtf8Bom)) utf8Text.remove_prefix(kUtf8Bom.size());
  Utf8ToGbk toGbk;
  if (!toGbk.valid()) {
    result.warnings.push_back("no UTF-8 to GBK converter on this system");
    return result;
  }
  std::vector<PoolLine> lines;
  std::size_t total = 0;
  int number = 0;
  while (!utf8Text.empty()) {
    ++number;
    std::size_t end = utf8Text.find('\n');
    std::string_view raw = trimmed(utf8Text.substr(0, end));
    utf8Text.remove_prefix(end == std::string_view::npos ? utf8Text.size() : end + 1);
    if (raw.empty() || raw.front() == '#') continue;

    std::string problem;
    PoolLine line;
    std::optional<Text> gbk = toGbk.convert(raw);
    if (!gbk) {
      problem = "not UTF-8, or a character GBK lacks";
    } else {
      problem = parseLine(*gbk, line);
    }
    if (problem.empty() && total + line.count > kMaxPoolEntries) {
      problem = "pool full (" + std::to_string(kMaxPoolEntries) + " entries)";
    }
    if (!problem.empty()) {
      result.warnings.push_back("line " + std::to_string(number) + ": " + problem);
      continue;
    }
    total += line.count;
    lines.push_back(std::move(line));
  }
  result.entries = interleave(lines);
  return result;
}

PoolLoad loadPool(const std::string& path) {
  std::error_code error;
  std::ifstream file;
  if (std::filesystem::is_regular_file(path, error)) file.open(path, std::ios::binary);
  std::string content(std::istreambuf_iterator<char>(file), {});
  if (!file.is_open() || file.bad()) {
    PoolLoad result;
    result.warnings.push_back("cannot read " + path);
    return result;
  }
  return parsePool(content);
}
