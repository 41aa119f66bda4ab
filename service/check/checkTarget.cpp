#include "service/check/checkTarget.h"

#include "service/check/checkAnswer.h"
#include "service/check/checker.h"

namespace {

bool isHexToken(std::string_view value) {
  if (value.empty() || value.size() > kMaxCheckTokenLength) return false;
  for (char c : value) {
    bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex) return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> answerCheck(std::string_view rawQuery, const CheckKey& key) {
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
  return checkTargetAnswer(key, *token);
}
