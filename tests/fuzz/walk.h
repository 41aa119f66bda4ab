#pragma once
// The plain character walk the fast searches must agree with (fuzz targets and host tests), and
// the fuzz targets' check macro.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (false)

namespace walk {

inline bool isHigh(char c) {
  return static_cast<unsigned char>(c) >= 0x80;
}
inline unsigned char fold(char c) {
  auto b = static_cast<unsigned char>(c);
  return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b + 32) : b;
}

// Whether 0-based `pos` starts a character when the text is read one character at a time from `origin`.
inline bool startsCharacter(std::string_view text, std::size_t origin, std::size_t pos) {
  std::size_t i = origin;
  while (i < pos) i += isHigh(text[i]) ? 2 : 1;
  return i == pos;
}

// Compares the search character by character: pairs exactly, one-byte letters folded when asked.
inline bool matchesAt(std::string_view text, std::size_t pos, std::string_view search, bool ignoreCase) {
  for (std::size_t i = 0; i < search.size();) {
    std::size_t len = (isHigh(search[i]) && i + 1 < search.size()) ? 2 : 1;
    if (len == 1 && !isHigh(search[i]) && ignoreCase) {
      if (fold(text[pos + i]) != fold(search[i])) return false;
    } else if (text.substr(pos + i, len) != search.substr(i, len)) {
      return false;
    }
    i += len;
  }
  return true;
}

inline int find(std::string_view text, std::string_view search, int start = 1, bool ignoreCase = false) {
  std::size_t pos = start < 1 ? 0 : static_cast<std::size_t>(start) - 1;
  if (pos >= text.size()) return -1;
  if (search.empty()) return 1;
  while (pos <= text.size() && text.size() - pos >= search.size()) {
    if (matchesAt(text, pos, search, ignoreCase)) return static_cast<int>(pos) + 1;
    pos += isHigh(text[pos]) ? 2 : 1;
  }
  return -1;
}

inline int findLast(std::string_view text, std::string_view search) {
  if (search.empty()) return find(text, search);
  int last = -1;
  for (int p = find(text, search); p != -1; p = find(text, search, p + (isHigh(text[p - 1]) ? 2 : 1))) last = p;
  return last;
}

inline std::string replaceExact(std::string_view text, std::string_view search, std::string_view replacement) {
  std::string out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    int p = find(text, search, static_cast<int>(pos) + 1);
    if (p == -1) break;
    out.append(text.substr(pos, p - 1 - pos));
    out.append(replacement);
    pos = p - 1 + search.size();
  }
  out.append(text.substr(std::min(pos, text.size())));
  return out;
}

}  // namespace walk
