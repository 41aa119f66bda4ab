#include "service/check/checkTarget.h"

#include <algorithm>
#include <vector>

#include "service/check/checkAnswer.h"

namespace {

// The token's line is one of the reader's lines; the peer's another.
constexpr std::size_t kMaxHeaderFacts = kMaxAnswerFields - 2;
static_assert(kMaxSeenValueBytes <= kMaxAnswerValueLength);

bool isHexToken(std::string_view value) {
  if (value.empty() || value.size() > kMaxCheckTokenLength) return false;
  for (char c : value) {
    bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex) return false;
  }
  return true;
}

bool sameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return lower(x) == lower(y);
  });
}

// A value the answer's format can carry: printable ASCII (anything else becomes '?'), spaces around it
// trimmed, cut at kMaxSeenValueBytes.
std::string printable(std::string_view value) {
  std::size_t first = value.find_first_not_of(" \t");
  std::size_t last = value.find_last_not_of(" \t");
  value = first == std::string_view::npos ? std::string_view() : value.substr(first, last - first + 1);
  std::string text;
  for (char c : value.substr(0, kMaxSeenValueBytes)) text += c >= 0x20 && c <= 0x7e ? c : '?';
  return text;
}

std::vector<AnswerField> factsOf(const CheckSight& sight) {
  std::vector<AnswerField> facts;
  if (!sight.peer.empty()) facts.push_back({kPeerFact, printable(sight.peer)});
  std::vector<AnswerField> seen;
  for (std::string_view name : kRevealingHeaders) {
    std::string joined;  // a header given more than once counts as one, its values joined as HTTP allows
    bool present = false;
    for (const SeenHeader& header : sight.headers) {
      if (!sameName(header.first, name)) continue;
      if (present) joined += ", ";
      joined += header.second;
      present = true;
      if (joined.size() > kMaxSeenValueBytes) break;
    }
    if (!present) continue;
    seen.push_back({std::string(name), name == "proxy-authorization" ? kHiddenValue : printable(joined)});
  }
  if (seen.size() > kMaxHeaderFacts) {
    std::size_t left = seen.size() - (kMaxHeaderFacts - 1);
    seen.resize(kMaxHeaderFacts - 1);
    seen.push_back({kMoreHeadersFact, std::to_string(left)});
  }
  facts.insert(facts.end(), seen.begin(), seen.end());
  return facts;
}

}  // namespace

std::optional<std::string> answerCheck(std::string_view rawQuery, const CheckKey& key, const CheckSight& sight) {
  // Read raw: a token is plain hex, so a percent-encoded one is as wrong as any other byte.
  std::optional<std::string_view> token;
  const std::string_view name = kCheckTokenKey;
  while (!rawQuery.empty()) {
    std::size_t end = rawQuery.find('&');
    std::string_view pair = rawQuery.substr(0, end);
    rawQuery.remove_prefix(end == std::string_view::npos ? rawQuery.size() : end + 1);
    if (pair.size() < name.size() + 1 || !pair.starts_with(name) || pair[name.size()] != '=') continue;
    if (token) return std::nullopt;  // given twice
    token = pair.substr(name.size() + 1);
  }
  if (!token || !isHexToken(*token)) return std::nullopt;
  return checkTargetAnswer(key, *token, factsOf(sight));
}
