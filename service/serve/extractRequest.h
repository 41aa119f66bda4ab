#pragma once
// The extraction query as the program sends it:
//   sxb=<region>&tqsl=<count>&ports[]2=<port>&ktip=<leading part>&sxa=<carrier>&submit=<button text>
// every value percent-encoded GBK. Keys may come in any order and may themselves be percent-encoded
// (a browser sends "ports%5B%5D2"); "+" stands for a space.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "protocol/extractPage.h"
#include "toolkit/valueModel.h"

// Larger counts are served as this many entries.
inline constexpr int kMaxCount = 10000;
// Longer query strings (the raw text after "?") are refused. The program's longest realistic query is
// a few hundred bytes; this leaves room for long typed fields without letting a client make us decode
// megabytes.
inline constexpr std::size_t kMaxQueryBytes = 2048;

// Decoded values (GBK), each trimmed of surrounding ASCII spaces and tabs. Empty means "any".
struct ExtractRequest {
  int count = 0;  // 0 to kMaxCount
  bool countCapped = false;
  std::optional<std::uint16_t> port;
  Text addressPrefix;
  Text region;
  Text carrier;
};

enum class QueryProblem {
  kNone,
  kTooLong,          // more than kMaxQueryBytes
  kMalformedEscape,  // "%" without two hex digits after it
  kUnknownKey,
  kDuplicateKey,
  kBadCount,  // tqsl missing, empty or not a decimal number
  kBadPort,   // ports[]2 not empty and not a number from 1 to 65535
};

struct ParsedQuery {
  QueryProblem problem = QueryProblem::kNone;
  Text key;  // the key the problem is about (decoded when possible), for the reply's message
  ExtractRequest request;
};

// `rawQuery` is the text after "?" exactly as received. An empty query (a browser opening the bare
// page) is valid and asks for nothing; otherwise tqsl is required and every other key is optional.
ParsedQuery parseExtractQuery(std::string_view rawQuery);
