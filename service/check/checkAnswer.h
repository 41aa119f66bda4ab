#pragma once
// What the check target answers, and how the checker reads it. The answer is a few lines of text:
//
//   quorvelip-check 2
//   token <the check's token>
//   <name> <value>          facts the target reports (what it saw: checkTarget.h), each covered by the MAC
//   mac <HMAC-SHA256 of every byte above, 64 lowercase hex digits>
//
// keyed with the secret the checker and its target share (checkKey.h). A proxy sees the token in the
// request line, so an answer that merely echoed it could be made up; this one cannot be without the
// key, and an answer to an earlier token is found out because the token is inside what the MAC covers.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "service/check/checkKey.h"

// The query key the checker adds to the check URL, and the path the service answers it on.
inline constexpr char kCheckTokenKey[] = "token";
inline constexpr char kCheckPath[] = "/check";
// Tokens are hex digits; the checker sends 32, a check target takes up to this many.
inline constexpr std::size_t kMaxCheckTokenLength = 64;
// An answer is small: at most 16 lines of a bounded length (the token's among them); anything longer is
// no answer.
inline constexpr std::size_t kMaxAnswerFields = 16;
inline constexpr std::size_t kMaxAnswerNameLength = 32;
inline constexpr std::size_t kMaxAnswerValueLength = 256;
inline constexpr std::size_t kMaxCheckAnswerBytes = 5120;
// The head, every line at its longest and the MAC line fit.
static_assert(kMaxCheckAnswerBytes >= 18 + kMaxAnswerFields * (kMaxAnswerNameLength + kMaxAnswerValueLength + 2) + 69);

// One line of the answer: a name of lowercase letters, digits and '-', and a value of printable ASCII.
struct AnswerField {
  std::string name;
  std::string value;
  bool operator==(const AnswerField&) const = default;
};

// The answer to `token` with these facts after it. Throws std::invalid_argument for a token or fact the
// format cannot carry (a bad name, a name used twice or reserved, a value with a line break...).
std::string checkTargetAnswer(const CheckKey& key, std::string_view token, const std::vector<AnswerField>& facts = {});

// The fields of `body` (the token first, then the facts) when it is exactly one well-formed answer
// whose MAC holds under `key`; empty for anything else, a single byte before or after included.
std::optional<std::vector<AnswerField>> readCheckAnswer(std::string_view body, const CheckKey& key);

// Whether `body` is a genuine answer to this very token.
bool answersToken(std::string_view body, const CheckKey& key, std::string_view token);
