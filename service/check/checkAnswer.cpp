#include "service/check/checkAnswer.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <array>
#include <stdexcept>

namespace {

constexpr std::string_view kHead = "quorvelip-check 2\n";
constexpr std::string_view kMacName = "mac";
constexpr std::size_t kMacBytes = 32;
constexpr char kHex[] = "0123456789abcdef";

using Mac = std::array<unsigned char, kMacBytes>;

Mac macOf(const CheckKey& key, std::string_view signedPart) {
  Mac mac{};
  unsigned int length = 0;
  if (!HMAC(EVP_sha256(), key.bytes.data(), static_cast<int>(key.bytes.size()),
            reinterpret_cast<const unsigned char*>(signedPart.data()), signedPart.size(), mac.data(), &length) ||
      length != kMacBytes) {
    throw std::runtime_error("HMAC-SHA256 failed");
  }
  return mac;
}

bool validName(std::string_view name) {
  if (name.empty() || name.size() > kMaxAnswerNameLength) return false;
  for (char c : name) {
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-')) return false;
  }
  return true;
}

bool validValue(std::string_view value) {
  if (value.size() > kMaxAnswerValueLength) return false;
  for (char c : value) {
    if (c < 0x20 || c > 0x7e) return false;
  }
  return true;
}

// Lowercase hex only, so each MAC has exactly one spelling.
std::optional<Mac> macFromHex(std::string_view hex) {
  if (hex.size() != 2 * kMacBytes) return std::nullopt;
  Mac mac{};
  for (std::size_t at = 0; at < kMacBytes; ++at) {
    int value = 0;
    for (char c : hex.substr(2 * at, 2)) {
      int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
      if (digit < 0) return std::nullopt;
      value = value * 16 + digit;
    }
    mac[at] = static_cast<unsigned char>(value);
  }
  return mac;
}

// The lines between the head and the MAC, each "name value": names valid and distinct, the token first.
std::optional<std::vector<AnswerField>> fieldsOf(std::string_view lines) {
  std::vector<AnswerField> fields;
  while (!lines.empty()) {
    std::size_t end = lines.find('\n');  // every line ends with one: the MAC line follows
    std::string_view line = lines.substr(0, end);
    lines.remove_prefix(end + 1);
    std::size_t space = line.find(' ');
    if (space == std::string_view::npos || fields.size() == kMaxAnswerFields) return std::nullopt;
    AnswerField field{std::string(line.substr(0, space)), std::string(line.substr(space + 1))};
    if (!validName(field.name) || !validValue(field.value) || field.name == kMacName) return std::nullopt;
    for (const AnswerField& seen : fields) {
      if (seen.name == field.name) return std::nullopt;
    }
    fields.push_back(std::move(field));
  }
  if (fields.empty() || fields[0].name != kCheckTokenKey) return std::nullopt;
  return fields;
}

}  // namespace

std::string checkTargetAnswer(const CheckKey& key, std::string_view token, const std::vector<AnswerField>& facts) {
  if (key.empty()) throw std::invalid_argument("no check key");
  if (token.empty() || token.size() > kMaxCheckTokenLength || !validValue(token)) {
    throw std::invalid_argument("not a check token");
  }
  std::string answer(kHead);
  answer += kCheckTokenKey;
  answer += ' ';
  answer += token;
  answer += '\n';
  if (facts.size() + 1 > kMaxAnswerFields) throw std::invalid_argument("too many facts for a check answer");
  for (std::size_t at = 0; at < facts.size(); ++at) {
    const AnswerField& fact = facts[at];
    bool reserved = fact.name == kMacName || fact.name == kCheckTokenKey;
    for (std::size_t before = 0; before < at; ++before) reserved = reserved || facts[before].name == fact.name;
    if (!validName(fact.name) || !validValue(fact.value) || reserved) {
      throw std::invalid_argument("a check answer cannot carry the fact " + fact.name);
    }
    answer += fact.name + ' ' + fact.value + '\n';
  }
  Mac mac = macOf(key, answer);
  answer += kMacName;
  answer += ' ';
  for (unsigned char byte : mac) {
    answer += kHex[byte >> 4];
    answer += kHex[byte & 0xF];
  }
  answer += '\n';
  return answer;
}

std::optional<std::vector<AnswerField>> readCheckAnswer(std::string_view body, const CheckKey& key) {
  if (key.empty() || body.size() > kMaxCheckAnswerBytes || !body.starts_with(kHead) || !body.ends_with('\n')) {
    return std::nullopt;
  }
  // The MAC is the last line; what it signs is everything before it.
  std::size_t macLine = body.rfind('\n', body.size() - 2) + 1;
  if (macLine <= kHead.size()) return std::nullopt;
  std::string_view last = body.substr(macLine, body.size() - 1 - macLine);
  if (!last.starts_with(kMacName) || last.size() <= kMacName.size() || last[kMacName.size()] != ' ') {
    return std::nullopt;
  }
  std::optional<Mac> given = macFromHex(last.substr(kMacName.size() + 1));
  if (!given) return std::nullopt;
  Mac expected = macOf(key, body.substr(0, macLine));
  if (CRYPTO_memcmp(given->data(), expected.data(), kMacBytes) != 0) return std::nullopt;
  return fieldsOf(body.substr(kHead.size(), macLine - kHead.size()));
}

bool answersToken(std::string_view body, const CheckKey& key, std::string_view token) {
  std::optional<std::vector<AnswerField>> fields = readCheckAnswer(body, key);
  return fields && (*fields)[0].value == token;
}
