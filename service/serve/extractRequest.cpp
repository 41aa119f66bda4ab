#include "service/serve/extractRequest.h"

#include <array>

#include "service/serve/percentDecode.h"

namespace {

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool isDecimal(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// Saturates instead of overflowing, so "99999999999999999999" is simply "more than the limit".
long long decimalAtMost(std::string_view digits, long long limit) {
  long long value = 0;
  for (char c : digits) {
    value = value * 10 + (c - '0');
    if (value > limit) return limit + 1;
  }
  return value;
}

ParsedQuery failed(QueryProblem problem, std::string_view key) {
  ParsedQuery result;
  result.problem = problem;
  result.key = Text(key);
  return result;
}

}  // namespace

ParsedQuery parseExtractQuery(std::string_view rawQuery) {
  if (rawQuery.size() > kMaxQueryBytes) return failed(QueryProblem::kTooLong, {});
  if (rawQuery.empty()) return {};

  enum Field { kRegion, kCount, kPort, kAddressPrefix, kCarrier, kSubmit, kFieldCount };
  constexpr std::array<std::string_view, kFieldCount> kKeys = {protocol::kKeyRegion,  protocol::kKeyCount,
                                                               protocol::kKeyPort,    protocol::kKeyAddressPrefix,
                                                               protocol::kKeyCarrier, protocol::kKeySubmit};
  std::array<std::optional<Text>, kFieldCount> values;
  while (!rawQuery.empty()) {
    std::size_t end = rawQuery.find('&');
    std::string_view pair = rawQuery.substr(0, end);
    rawQuery.remove_prefix(end == std::string_view::npos ? rawQuery.size() : end + 1);
    if (pair.empty()) continue;  // "a=1&&b=2" or a trailing "&"

    std::size_t equals = pair.find('=');
    std::string_view rawKey = pair.substr(0, equals);
    std::optional<Text> key = percentDecode(rawKey);
    std::optional<Text> value = percentDecode(equals == std::string_view::npos ? "" : pair.substr(equals + 1));
    if (!key || !value) return failed(QueryProblem::kMalformedEscape, key ? *key : rawKey);

    std::size_t field = 0;
    while (field < kFieldCount && kKeys[field] != *key) ++field;
    if (field == kFieldCount) return failed(QueryProblem::kUnknownKey, *key);
    if (values[field]) return failed(QueryProblem::kDuplicateKey, *key);
    values[field] = Text(trimmed(*value));
  }

  ParsedQuery result;
  ExtractRequest& request = result.request;
  const std::optional<Text>& count = values[kCount];
  if (!count || !isDecimal(*count)) return failed(QueryProblem::kBadCount, protocol::kKeyCount);
  long long wanted = decimalAtMost(*count, kMaxCount);
  request.countCapped = wanted > kMaxCount;
  request.count = static_cast<int>(request.countCapped ? kMaxCount : wanted);

  if (const std::optional<Text>& port = values[kPort]; port && !port->empty()) {
    long long number = isDecimal(*port) ? decimalAtMost(*port, 65535) : 0;
    if (number < 1 || number > 65535) return failed(QueryProblem::kBadPort, protocol::kKeyPort);
    request.port = static_cast<std::uint16_t>(number);
  }
  request.addressPrefix = values[kAddressPrefix].value_or(Text());
  request.region = values[kRegion].value_or(Text());
  request.carrier = values[kCarrier].value_or(Text());
  return result;
}
